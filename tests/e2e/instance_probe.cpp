// The control channel from outside the program, for instance-test.sh:
//   instance_probe primary        becomes the running copy, prints each message
//                                 it gets; ends on the message "quit"
//   instance_probe path           prints the socket's path
//   instance_probe send TEXT      sends TEXT as a later copy does; exit 1 when refused
//   instance_probe listen PATH    a bare listener anyone may reach (a squatter)
//   instance_probe connect PATH N MS [TEXT]
//                                 opens N bare connections, writes TEXT on each,
//                                 holds them MS milliseconds; prints how many opened
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTextStream>
#include <QThread>

#include <memory>
#include <vector>

#include "platform/system/SingleInstance.h"

namespace {

const QString kName = QStringLiteral("Kotobane_mirel");

void Print(const QString& line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

QString FullPath(const QString& name)
{
    return QDir::isAbsolutePath(name) ? name : QDir(QDir::tempPath()).filePath(name);
}

int Primary(QCoreApplication& app)
{
    kotobane::SingleInstance instance(kName);
    if (!instance.BecomePrimary()) {
        Print(QStringLiteral("secondary"));
        return 1;
    }
    QObject::connect(&instance, &kotobane::SingleInstance::MessageReceived, &app, [](const QString& message) {
        Print(QStringLiteral("got ") + message);
        if (message == QLatin1String("quit")) {
            QCoreApplication::exit(0);
        }
    });
    Print(QStringLiteral("primary ") + FullPath(instance.SocketName()));
    return app.exec();
}

int Listen(QCoreApplication& app, const QString& path)
{
    QLocalServer::removeServer(path);
    QLocalServer server;
    server.setSocketOptions(QLocalServer::WorldAccessOption);
    if (!server.listen(path)) {
        Print(QStringLiteral("cannot listen: ") + server.errorString());
        return 1;
    }
    QObject::connect(&server, &QLocalServer::newConnection, &app, [&server] {
        while (QLocalSocket* socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] {
                while (socket->canReadLine()) {
                    Print(QStringLiteral("squatter got ") + QString::fromUtf8(socket->readLine()).trimmed());
                }
            });
        }
    });
    Print(QStringLiteral("listening"));
    return app.exec();
}

int Connect(const QString& path, int count, int holdMs, const QByteArray& text)
{
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(path);
        if (!socket->waitForConnected(1000)) {
            break;
        }
        if (!text.isEmpty()) {
            socket->write(text + '\n');
            socket->waitForBytesWritten(1000);
        }
        sockets.push_back(std::move(socket));
    }
    Print(QStringLiteral("opened %1").arg(sockets.size()));
    QThread::msleep(holdMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("primary")) {
        return Primary(app);
    }
    if (mode == QLatin1String("path")) {
        Print(FullPath(kotobane::SingleInstance(kName).SocketName()));
        return 0;
    }
    if (mode == QLatin1String("send") && args.size() == 2) {
        return kotobane::SingleInstance(kName).Send(args[1]) ? 0 : 1;
    }
    if (mode == QLatin1String("listen") && args.size() == 2) {
        return Listen(app, args[1]);
    }
    if (mode == QLatin1String("connect") && args.size() >= 4) {
        return Connect(args[1], args[2].toInt(), args[3].toInt(), args.value(4).toUtf8());
    }
    Print(QStringLiteral("usage: instance_probe primary|path|send TEXT|listen PATH|connect PATH N MS [TEXT]"));
    return 2;
}
