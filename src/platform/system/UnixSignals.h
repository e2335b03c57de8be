#pragma once

#include <QObject>

namespace kotobane {

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so
// that logging out or `kill` ends the program in order (settings saved).
class UnixSignals final : public QObject {
    Q_OBJECT
public:
    explicit UnixSignals(QObject* parent = nullptr);
    ~UnixSignals() override;

Q_SIGNALS:
    void TerminationRequested();
};

}  // namespace kotobane
