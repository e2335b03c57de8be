#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QTimer;

namespace kotobane {

// One running copy per user and desktop. The first copy holds a lock file
// and listens on a local socket that only its user may open; a later copy
// finds the lock held and passes its command to the first one. Taking the
// lock before listening closes the window in which two copies starting at
// once could both become the first. Both live in a folder no other user may
// enter, and each end checks that the other runs as the same user.
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

    // The socket's full path; empty when there is no private folder for it.
    QString SocketName() const { return m_socketName; }

    // What the running copy serves, so that a flood of connections or one
    // endless line cannot use up its descriptors or memory.
    static constexpr int kMaxConnections = 16;
    static constexpr int kMaxMessageBytes = 4096;
    static constexpr int kIdleTimeoutMs = 2000;
    // How soon a listen that failed is tried again.
    static constexpr int kRelistenMs = 1000;

Q_SIGNALS:
    void MessageReceived(const QString& message);

private:
    void OnConnection();
    void Serve(QLocalSocket* socket);
    void Listen();
    // Listens again, a moment later, when the accept just made closed the
    // listener.
    void AfterAccept();

    QString m_socketName;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    int m_served = 0;
    bool m_listenFailed = false;
    QTimer* m_poll = nullptr;  // only where Qt's accept cannot be watched
    bool m_relistenPending = false;
};

}  // namespace kotobane
