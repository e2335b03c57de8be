#include "platform/system/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcInstance, "kotobane.instance", QtWarningMsg)

// The desktop is identified by the display, so that two sessions of one
// user (say, a nested test server) each get their own running copy. A
// Wayland session by its compositor: its XWayland display may be started
// on demand, and be missing from a shortcut's environment.
QString DesktopTag()
{
    QString display = qEnvironmentVariable("WAYLAND_DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("DISPLAY");
    }
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return display;
}

// Why path is no folder of ours that only we may enter; empty when it is.
// lstat, so that a link planted by someone else is not followed.
QString NotPrivate(const QString& path)
{
    struct stat st { };
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!S_ISDIR(st.st_mode)) {
        return QStringLiteral("it is not a folder");
    }
    if (st.st_uid != ::getuid()) {
        return QStringLiteral("it belongs to user %1").arg(st.st_uid);
    }
    if ((st.st_mode & 07777) != 0700) {
        return QStringLiteral("its mode is %1, not 700").arg(st.st_mode & 07777, 0, 8);
    }
    return {};
}

// The folder for the lock and the socket: the session's runtime folder, or
// else one of our own in the temporary folder; empty (and said why) when
// neither is private, since in a shared folder another user could take the
// socket's name first and receive everything sent to the running copy.
QString PrivateFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && NotPrivate(runtime).isEmpty()) {
        return runtime;
    }
    QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("kotobane-%1").arg(::getuid()));
    if (::mkdir(QFile::encodeName(own).constData(), 0700) != 0 && errno != EEXIST) {
        qCWarning(lcInstance).noquote() << "no control channel: cannot create" << own << ":" << std::strerror(errno);
        return {};
    }
    if (const QString why = NotPrivate(own); !why.isEmpty()) {
        qCWarning(lcInstance).noquote() << "no control channel:" << own << "is not a private folder (" + why + ")";
        return {};
    }
    return own;
}

// Whether the process at the other end of a connected socket runs as us.
bool PeerIsUs(qintptr descriptor)
{
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent)
{
    if (const QString folder = PrivateFolder(); !folder.isEmpty()) {
        m_socketName = QDir(folder).filePath(QStringLiteral("%1-%2-%3").arg(name).arg(::getuid()).arg(DesktopTag()));
    }
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::IsRunning() const
{
    if (m_lock || m_socketName.isEmpty()) {
        return false;  // we are the running copy, or there is no channel
    }
    QLockFile lock(m_socketName + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return true;
}

bool SingleInstance::BecomePrimary()
{
    if (m_socketName.isEmpty()) {
        return true;  // runs on, unreachable; the reason has been told
    }
    m_lock = std::make_unique<QLockFile>(m_socketName + QStringLiteral(".lock"));
    // A lock left by a copy that crashed is taken over once its process is gone.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    Listen();
    return true;
}

void SingleInstance::Listen()
{
    // The socket file of a crashed copy, or of the server that closed, would
    // make listen() fail.
    QLocalServer::removeServer(m_socketName);
    const bool failed = !m_server->listen(m_socketName);
    if (failed && !m_listenFailed) {
        qCWarning(lcInstance) << "cannot listen on" << m_socketName << ":" << m_server->errorString();
    }
    m_listenFailed = failed;
    if (failed) {
        // Descriptors may be short for a while: try again, only while failing.
        QTimer::singleShot(kRelistenMs, this, [this] {
            if (!m_server->isListening()) {
                Listen();
            }
        });
        return;
    }
    // QLocalServer closes itself for good when an accept fails (as when
    // descriptors run out) and emits nothing. The accept runs on its
    // notifier's activation: look right after it, so that nothing has to
    // wake the idle program to poll.
    for (QSocketNotifier* notifier : m_server->findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        // A notifier of a listener that closed stays until its deferred
        // deletion, disabled.
        if (notifier->isEnabled() && notifier->socket() == m_server->socketDescriptor()) {
            connect(notifier, &QSocketNotifier::activated, this, &SingleInstance::AfterAccept, Qt::UniqueConnection);
            return;
        }
    }
    // A Qt that accepts otherwise: look now and then.
    if (m_poll == nullptr) {
        qCDebug(lcInstance) << "no accept notifier to watch; polling the listener";
        m_poll = new QTimer(this);
        connect(m_poll, &QTimer::timeout, this, &SingleInstance::AfterAccept);
        m_poll->start(kRelistenMs);
    }
}

void SingleInstance::AfterAccept()
{
    if (m_server->isListening() || m_relistenPending) {
        return;
    }
    // The accept failed for want of descriptors, which are still short right
    // now: listen (and say so) a moment later, once some may be free again.
    m_relistenPending = true;
    QTimer::singleShot(kRelistenMs, this, [this] {
        m_relistenPending = false;
        if (!m_server->isListening()) {
            qCWarning(lcInstance).noquote()
                << "the listener closed after a failed accept (" + m_server->errorString() + "); listening again";
            Listen();
        }
    });
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (m_served >= kMaxConnections || !PeerIsUs(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        Serve(socket);
    }
}

void SingleInstance::Serve(QLocalSocket* socket)
{
    ++m_served;
    connect(socket, &QObject::destroyed, this, [this] { --m_served; });
    const auto drop = [socket] {
        socket->abort();
        socket->deleteLater();
    };
    // A peer that sends nothing, or never ends its line, holds a descriptor.
    auto* idle = new QTimer(socket);
    idle->setSingleShot(true);
    connect(idle, &QTimer::timeout, socket, drop);
    idle->start(kIdleTimeoutMs);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, idle, drop] {
        // One message per line; a message may be split across reads.
        while (socket->canReadLine()) {
            const QByteArray line = socket->readLine();
            if (line.size() > kMaxMessageBytes + 1) {
                drop();
                return;
            }
            idle->start(kIdleTimeoutMs);
            Q_EMIT MessageReceived(QString::fromUtf8(line.chopped(1)));
        }
        if (socket->bytesAvailable() > kMaxMessageBytes) {
            drop();
        }
    });
}

bool SingleInstance::Send(const QString& message, int timeoutMs) const
{
    QByteArray data = message.toUtf8();
    if (m_socketName.isEmpty()) {
        return false;
    }
    if (data.size() > kMaxMessageBytes) {
        qCWarning(lcInstance) << "a message of" << data.size() << "bytes is longer than the running copy takes";
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    QLocalSocket socket;
    // The running copy may have taken the lock a moment ago and not be
    // listening yet: try again until the time is up.
    while (true) {
        socket.connectToServer(m_socketName);
        if (socket.waitForConnected(qMax(1, int(timeoutMs - clock.elapsed())))) {
            break;
        }
        if (clock.elapsed() >= timeoutMs) {
            return false;
        }
        QThread::msleep(50);
    }
    // Whoever else listens here must not hear what we say.
    if (!PeerIsUs(socket.socketDescriptor())) {
        qCWarning(lcInstance) << "the socket" << m_socketName << "is held by another user; nothing sent";
        socket.abort();
        return false;
    }
    data.replace('\n', ' ');
    data.append('\n');
    socket.write(data);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) {
        socket.waitForDisconnected(timeoutMs);
    }
    return true;
}

}  // namespace kotobane
