#include "platform/system/SingleInstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kotobane;

namespace {

// Runs the event loop (both ends of the socket live in this thread) until
// done() holds or ms milliseconds have passed.
bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

bool IsPrivateFolder(const QString& path)
{
    struct stat st { };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid()
           && (st.st_mode & 07777) == 0700;
}

struct SingleInstanceTest : ::testing::Test {
    QTemporaryDir tmp;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    QByteArray savedTmp = qgetenv("TMPDIR");
    QString runtime = tmp.filePath(QStringLiteral("run"));
    std::unique_ptr<SingleInstance> instance;
    QStringList received;

    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char arg0[] = "unit_tests";
        static char* argv[] = {arg0, nullptr};
        if (!QCoreApplication::instance()) {
            new QCoreApplication(argc, argv);
        }
    }

    SingleInstanceTest()
    {
        // The fallback folder goes under TMPDIR: one of the test's own.
        QDir(tmp.path()).mkdir(QStringLiteral("tmp"));
        qputenv("TMPDIR", QFile::encodeName(tmp.filePath(QStringLiteral("tmp"))));
        ::mkdir(QFile::encodeName(runtime).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
    ~SingleInstanceTest() override
    {
        instance.reset();
        savedRuntime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", savedRuntime);
        savedTmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", savedTmp);
    }

    static SingleInstance Other() { return SingleInstance(QStringLiteral("KotobaneTest")); }
    void BecomePrimary()
    {
        instance = std::make_unique<SingleInstance>(QStringLiteral("KotobaneTest"));
        ASSERT_TRUE(instance->BecomePrimary());
        QObject::connect(instance.get(), &SingleInstance::MessageReceived,
                         [this](const QString& message) { received << message; });
    }
    std::unique_ptr<QLocalSocket> Connect() const
    {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(instance->SocketName());
        EXPECT_TRUE(socket->waitForConnected(1000));
        return socket;
    }
    bool Delivered(const QString& message)
    {
        return Other().Send(message) && WaitFor([&] { return received.contains(message); }, 2000);
    }
};

// Where the runtime folder will not do, a folder of our own is used; never
// /tmp itself, where another user could take the name first.
struct FolderCase {
    const char* name;
    std::function<void(const QString& runtime)> prepare;
    bool inRuntime;
};

void PrintTo(const FolderCase& c, std::ostream* os)
{
    *os << c.name;
}

class SocketFolderTest : public SingleInstanceTest, public ::testing::WithParamInterface<FolderCase> { };

TEST_P(SocketFolderTest, SocketLivesInAFolderOnlyWeMayEnter)
{
    GetParam().prepare(runtime);
    BecomePrimary();
    const QString folder = QFileInfo(instance->SocketName()).path();
    ASSERT_TRUE(QDir::isAbsolutePath(instance->SocketName())) << qPrintable(instance->SocketName());
    EXPECT_TRUE(QFile::exists(instance->SocketName()));
    EXPECT_TRUE(IsPrivateFolder(folder)) << qPrintable(folder);
    EXPECT_NE(QDir(folder), QDir(QDir::tempPath()));
    EXPECT_EQ(folder == runtime, GetParam().inRuntime) << qPrintable(folder);
    EXPECT_TRUE(Delivered(QStringLiteral("hello")));
}

INSTANTIATE_TEST_SUITE_P(
    Folders, SocketFolderTest,
    ::testing::Values(FolderCase{"RuntimeOfOurs", [](const QString&) {}, true},
                      FolderCase{"RuntimeOpenToOthers",
                                 [](const QString& r) { ::chmod(QFile::encodeName(r).constData(), 0755); }, false},
                      FolderCase{"RuntimeIsALink",
                                 [](const QString& r) {
                                     QDir().rename(r, r + QStringLiteral(".real"));
                                     QFile::link(r + QStringLiteral(".real"), r);
                                 },
                                 false},
                      FolderCase{"NoRuntime", [](const QString&) { qunsetenv("XDG_RUNTIME_DIR"); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SingleInstanceTest, RefusesAFallbackFolderOthersMayEnter)
{
    qunsetenv("XDG_RUNTIME_DIR");
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("kotobane-%1").arg(::getuid()));
    ASSERT_EQ(::mkdir(QFile::encodeName(own).constData(), 0755), 0);
    ::chmod(QFile::encodeName(own).constData(), 0755);
    BecomePrimary();
    EXPECT_EQ(instance->SocketName(), QString());
    EXPECT_EQ(QDir(own).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System), QStringList());
    EXPECT_FALSE(Other().Send(QStringLiteral("hello"), 200));
}

TEST_F(SingleInstanceTest, ListensAgainAfterAcceptRanOutOfDescriptors)
{
    BecomePrimary();
    auto waiting = Connect();
    // No new descriptor can be had while the connection is accepted.
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    const int lowestFree = ::dup(0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    // Only static calls here: the sanitizer's checks of virtual calls need a
    // descriptor of their own.
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 100) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    ::setrlimit(RLIMIT_NOFILE, &saved);

    EXPECT_TRUE(WaitFor([&] { return QFile::exists(instance->SocketName()); }, 3000));
    EXPECT_TRUE(Delivered(QStringLiteral("after")));
}

TEST_F(SingleInstanceTest, ServesAFewConnectionsAtOnceAndClosesTheRest)
{
    BecomePrimary();
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i < SingleInstance::kMaxConnections + 4; ++i) {
        sockets.push_back(Connect());
    }
    const auto open = [&] {
        return std::count_if(sockets.begin(), sockets.end(),
                             [](const auto& s) { return s->state() == QLocalSocket::ConnectedState; });
    };
    WaitFor([&] { return open() <= SingleInstance::kMaxConnections; }, 1000);
    EXPECT_EQ(open(), SingleInstance::kMaxConnections);
    sockets.front()->write("served\n");
    EXPECT_TRUE(WaitFor([&] { return received.contains(QStringLiteral("served")); }, 1000));
}

TEST_F(SingleInstanceTest, DropsAnOversizedLineAndItsConnection)
{
    BecomePrimary();
    auto socket = Connect();
    socket->write(QByteArray(1 << 20, 'x'));
    // Well before a silent connection would time out.
    EXPECT_TRUE(WaitFor([&] { return socket->state() == QLocalSocket::UnconnectedState; }, 1000));
    EXPECT_TRUE(Delivered(QStringLiteral("after")));
    EXPECT_EQ(received, QStringList{QStringLiteral("after")});
}

TEST_F(SingleInstanceTest, ClosesAConnectionThatSendsNothing)
{
    BecomePrimary();
    auto socket = Connect();
    EXPECT_TRUE(WaitFor([&] { return socket->state() == QLocalSocket::UnconnectedState; },
                        SingleInstance::kIdleTimeoutMs + 1500));
}

}  // namespace
