#include "platform/system/SingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcInstance, "kotobane.instance")

// The desktop is identified by the display, so that two sessions of one
// user (say, a nested test server) each get their own running copy.
QString DesktopTag()
{
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]")), QStringLiteral("_"));
    return display;
}

QString RuntimeDir()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty()) {
        dir = QDir::tempPath();
    }
    return dir;
}

}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent),
      m_socketName(QStringLiteral("%1-%2-%3").arg(name).arg(::getuid()).arg(DesktopTag()))
{ }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::LockPath() const
{
    return QDir(RuntimeDir()).filePath(m_socketName + QStringLiteral(".lock"));
}

bool SingleInstance::IsRunning() const
{
    if (m_lock) {
        return false;  // we are the running copy
    }
    QLockFile lock(LockPath());
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        lock.unlock();
        return false;
    }
    return true;
}

bool SingleInstance::BecomePrimary()
{
    m_lock = std::make_unique<QLockFile>(LockPath());
    // A lock left by a copy that crashed is taken over once its process is gone.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        m_lock.reset();
        return false;
    }
    // The socket file of a crashed copy would make listen() fail.
    QLocalServer::removeServer(m_socketName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketName)) {
        qCWarning(lcInstance) << "cannot listen on" << m_socketName << ":" << m_server->errorString();
        return true;  // still the running copy, just unreachable
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    return true;
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One message per line; a message may be split across reads.
            while (socket->canReadLine()) {
                const QString line = QString::fromUtf8(socket->readLine()).chopped(1);
                Q_EMIT MessageReceived(line);
            }
        });
    }
}

bool SingleInstance::Send(const QString& message, int timeoutMs) const
{
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
    QByteArray data = message.toUtf8();
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
