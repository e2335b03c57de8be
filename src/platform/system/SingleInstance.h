#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace kotobane {

// One running copy per user and desktop. The first copy holds a lock file
// and listens on a local socket that only its user may open; a later copy
// finds the lock held and passes its command to the first one. Taking the
// lock before listening closes the window in which two copies starting at
// once could both become the first.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    // name: the base of the lock and socket names (made per user).
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is now the running copy.
    bool BecomePrimary();
    // Whether another process holds the running copy's lock.
    bool IsRunning() const;
    // Sends one message to the running copy; false when none answers.
    bool Send(const QString& message, int timeoutMs = 3000) const;

    QString SocketName() const { return m_socketName; }

Q_SIGNALS:
    void MessageReceived(const QString& message);

private:
    void OnConnection();
    QString LockPath() const;

    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

}  // namespace kotobane
