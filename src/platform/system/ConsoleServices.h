#pragma once

#include <QTextStream>

#include "platform/SystemServices.h"

namespace kotobane {

// Message boxes of a run without windows: each text goes to standard error
// as one line, and the box counts as confirmed.
class ConsoleMessageBox final : public MessageBoxService {
public:
    explicit ConsoleMessageBox(QTextStream& err) : m_err(err) { }
    int MessageBox(const QString& text, unsigned type) override;

private:
    QTextStream& m_err;
};

class ThreadClock final : public Clock {
public:
    void Sleep(int milliseconds) override;
};

}  // namespace kotobane
