#include "core/RegularFile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "core/ErrorCodes.h"
#include "fakes/FifoGuard.h"

using namespace kotobane;

namespace {

TEST(RegularFileTest, OpensRegularFilesOnlyAndNeverWaits)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("file"));
    const QString missing = dir.filePath(QStringLiteral("missing"));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("abc");
    }
    test::FifoGuard fifo(dir.filePath(QStringLiteral("fifo")));
    ASSERT_TRUE(fifo.Made());
    struct Case {
        const char* what;
        QString path;
        int flags;
        int error;
    };
    const Case cases[] = {
        {"file", file, O_RDONLY, 0},
        {"file to append to", file, O_WRONLY | O_APPEND, 0},
        {"FIFO to read", dir.filePath(QStringLiteral("fifo")), O_RDONLY, int(kErrorNotRegularFile)},
        {"FIFO to write", dir.filePath(QStringLiteral("fifo")), O_WRONLY, int(kErrorNotRegularFile)},
        {"directory", dir.path(), O_RDONLY, EISDIR},
        {"device", QStringLiteral("/dev/null"), O_WRONLY, int(kErrorNotRegularFile)},
        {"missing", missing, O_RDONLY, ENOENT},
        {"missing, created", missing, O_WRONLY | O_CREAT, 0},
    };
    for (const Case& c : cases) {
        const int fd = OpenRegularFile(c.path, c.flags);
        EXPECT_EQ(fd < 0 ? errno : 0, c.error) << c.what;
        if (fd >= 0) {
            EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0) << c.what << ": still non-blocking";
            EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << c.what << ": inherited by children";
            ::close(fd);
        }
    }
    QFile onFifo(dir.filePath(QStringLiteral("fifo")));
    EXPECT_FALSE(OpenRegularFile(onFifo));
    EXPECT_EQ(errno, int(kErrorNotRegularFile));
    EXPECT_FALSE(fifo.Finish()) << "an open waited on the FIFO";

    QFile onFile(file);
    ASSERT_TRUE(OpenRegularFile(onFile));
    EXPECT_EQ(onFile.readAll(), "abc");
}

}  // namespace
