#include "core/ReplaceFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/ErrorCodes.h"

using namespace kotobane;

namespace {

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

mode_t ModeOf(const QString& path, bool follow = true)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    return (follow ? ::stat(name.constData(), &st) : ::lstat(name.constData(), &st)) == 0 ? st.st_mode : 0;
}

QStringList Hidden(const QTemporaryDir& dir)
{
    QStringList names = QDir(dir.path()).entryList(QDir::Hidden | QDir::Files | QDir::System);
    names.removeIf([](const QString& name) { return !name.startsWith(u'.'); });
    return names;
}

TEST(ReplaceFileTest, KeepsTheModeAndTheLinkAndNewFilesFollowTheUmask)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.txt"));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_EQ(ReplaceFile(file, "old"), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0604), 0);
    ASSERT_TRUE(QFile::link(file, link));
    EXPECT_EQ(ReplaceFile(link, "new"), 0);
    EXPECT_EQ(Contents(file), "new");
    EXPECT_TRUE(S_ISLNK(ModeOf(link, false))) << "the link was replaced by a file";
    EXPECT_EQ(ModeOf(file) & 07777, 0604u);

    const mode_t mask = ::umask(027);
    const QString fresh = dir.filePath(QStringLiteral("fresh"));
    const int error = ReplaceFile(fresh, "x");
    ::umask(mask);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ModeOf(fresh) & 07777, 0640u);
    EXPECT_EQ(Hidden(dir), QStringList());
}

// What is not a regular file is never renamed over, and a failure at any
// step leaves the target as it was and no temporary file.
TEST(ReplaceFileTest, FailuresKeepTheTargetAndLeaveNoTemporaryFile)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("t.txt"));
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(ReplaceFile(file, "old"), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(ReplaceFile(dir.path(), "x"), EISDIR);
    EXPECT_EQ(ReplaceFile(fifo, "x"), int(kErrorNotRegularFile));
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));
    EXPECT_EQ(ReplaceFile(dir.filePath(QStringLiteral("none/t.txt")), "x"), ENOENT);

    {
        FileReplacer abandoned(file);
        ASSERT_TRUE(abandoned.Open());
        ASSERT_TRUE(abandoned.Write("half"));
        EXPECT_EQ(Hidden(dir).size(), 1);
    }
    EXPECT_EQ(Contents(file), "old");

    // The rename fails: the target became a directory that is not empty.
    FileReplacer late(file);
    ASSERT_TRUE(late.Open());
    ASSERT_TRUE(late.Write("new"));
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("t.txt/inside")));
    EXPECT_FALSE(late.Commit());
    EXPECT_TRUE(late.Error() == EISDIR || late.Error() == ENOTEMPTY || late.Error() == EEXIST) << late.Error();
    EXPECT_FALSE(late.Write("more")) << "a write after a failure";
    EXPECT_EQ(Hidden(dir), QStringList());
}

// A writer killed with -9 cannot remove its temporary file; the next
// replace of the same target does, but never one a running writer fills.
TEST(ReplaceFileTest, TheNextReplaceRemovesOnlyLeftoversOfWritersThatAreGone)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Kotobane.txt"));
    const pid_t dead = ::fork();
    if (dead == 0) {
        ::_exit(0);
    }
    ASSERT_GT(dead, 0);
    ::waitpid(dead, nullptr, 0);
    const QString gone = QStringLiteral(".Kotobane.txt.%1.aB3dE9").arg(dead);
    const QString locked = QStringLiteral(".Kotobane.txt.%1.lOcKed").arg(dead);  // a writer on another machine
    const QStringList kept = {
        QStringLiteral(".Kotobane.txt.%1.xY7zQ1").arg(::getppid()),  // a running writer
        QStringLiteral(".Kotobane.txt.%1.xY7zQ1").arg(::getpid()),  // this one, on another thread
        QStringLiteral(".Kotobane.txt.%1.short").arg(dead),  // not one of ours
        QStringLiteral(".Other.txt.%1.aB3dE9").arg(dead),  // another target's
        locked,
    };
    for (const QString& name : kept + QStringList{gone}) {
        QFile leftover(dir.filePath(name));
        ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    }
    const int holder = ::open(QFile::encodeName(dir.filePath(locked)).constData(), O_RDONLY | O_CLOEXEC);
    // flock treats two opens as two owners, like two processes.
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);

    EXPECT_EQ(ReplaceFile(file, "new"), 0);
    ::close(holder);
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(Hidden(dir), expected);
}

// A FIFO or character device gets the bytes, with its own errors; waiting
// for a FIFO's reader and a reader that leaves end in errors, not a hang or
// a SIGPIPE.
TEST(ReplaceFileTest, FifosAndDevicesAreWrittenThrough)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    const QByteArray name = QFile::encodeName(fifo);
    ASSERT_EQ(::mkfifo(name.constData(), 0600), 0);
    // A reader that is there before the writer: the bytes wait in the pipe.
    const int reader = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    EXPECT_EQ(ReplaceFile(fifo, "RIFF....", OtherTargets::WriteThrough), 0);
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 8);
    EXPECT_STREQ(got, "RIFF....");
    ::close(reader);
    EXPECT_TRUE(S_ISFIFO(ModeOf(fifo)));

    FileReplacer unread(fifo, OtherTargets::WriteThrough);
    unread.SetReaderWaitMs(200);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(unread.Open());
    EXPECT_EQ(unread.Error(), int(kErrorNoReader));
    EXPECT_LT(clock.elapsed(), 5000);

    const int early = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FileReplacer left(fifo, OtherTargets::WriteThrough);
    ASSERT_TRUE(left.Open());
    ::close(early);
    EXPECT_FALSE(left.Write("RIFF"));
    EXPECT_EQ(left.Error(), EPIPE);

    // A node of its own rather than /dev/full, which a fault would replace.
    const QString full = dir.filePath(QStringLiteral("full"));
    if (::mknod(QFile::encodeName(full).constData(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
        EXPECT_EQ(ReplaceFile(full, "RIFF", OtherTargets::WriteThrough), ENOSPC);
        EXPECT_TRUE(S_ISCHR(ModeOf(full)));
    } else {
        std::printf("no device node may be made here; its row is left out\n");
    }
    EXPECT_EQ(ReplaceFile(dir.path(), "RIFF", OtherTargets::WriteThrough), EISDIR);
}

}  // namespace
