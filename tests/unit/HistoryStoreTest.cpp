#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <functional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"
#include "fakes/FifoGuard.h"
#include "history/HistoryStore.h"

using namespace kotobane;
using namespace kotobane::test;

namespace {

QByteArray Utf16Le(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

QByteArray Contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

// The exit status of body run in a child process.
int InChild(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class HistoryAppenderTest : public ::testing::Test {
protected:
    HistoryAppenderTest() : ui(log) { }

    QString Path() const { return dir.filePath(QStringLiteral("Kotobane.txt")); }
    HistoryAppender Appender(QString path = {})
    {
        return HistoryAppender(path.isEmpty() ? Path() : path, ui, [this] { return now; });
    }

    QTemporaryDir dir;
    Recorder log;
    FakeMessageBox ui;
    QDateTime now{QDate(2007, 3, 5), QTime(9, 4, 31)};
};

TEST(HistoryDate, NineteenCharactersWithLeadingZeros)
{
    EXPECT_EQ(HistoryDate(QDateTime(QDate(2007, 3, 5), QTime(9, 4, 31))), QStringLiteral("2007/03/05 09:04:31"));
    EXPECT_EQ(HistoryDate(QDateTime(QDate(987, 12, 31), QTime(23, 59, 59))), QStringLiteral("0987/12/31 23:59:59"));
}

TEST_F(HistoryAppenderTest, WritesUtf16LeLinesWithoutByteOrderMarkAndSkipsTheLastPhrase)
{
    HistoryAppender h = Appender();
    h.AppendHistory(QString(), QStringLiteral("x"));  // an empty phrase is never appended
    EXPECT_FALSE(QFile::exists(Path()));

    h.AppendHistory(QStringLiteral("漢字の読み方"), QStringLiteral("かんじのよみかた"));
    h.AppendHistory(QStringLiteral("漢字の読み方"), QStringLiteral("かんじのよみかた"));
    now = now.addSecs(61);
    // Tabs and line breaks inside a phrase are written as they are.
    h.AppendHistory(QStringLiteral("東京\t特許\n"), QStringLiteral("とうきょう"));
    h.AppendHistory(QStringLiteral("漢字の読み方"), QStringLiteral("かんじのよみかた"));

    const QByteArray expected = Utf16Le(QStringLiteral("漢字の読み方\tかんじのよみかた\t2007/03/05 09:04:31\r\n"
                                                       "東京\t特許\n\tとうきょう\t2007/03/05 09:05:32\r\n"
                                                       "漢字の読み方\tかんじのよみかた\t2007/03/05 09:05:32\r\n"));
    EXPECT_EQ(Contents(Path()), expected);
    EXPECT_EQ(h.LastAppendedPhrase(), QStringLiteral("漢字の読み方"));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(HistoryAppenderTest, AppendsToAnExistingFileAndCreatesAMissingFolder)
{
    {
        QFile f(Path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(Utf16Le(QStringLiteral("old\tおーるど\t2001/01/01 00:00:00\r\n")));
    }
    Appender().AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_EQ(Contents(Path()), Utf16Le(QStringLiteral("old\tおーるど\t2001/01/01 00:00:00\r\n"
                                                       "新\tしん\t2007/03/05 09:04:31\r\n")));

    const QString nested = dir.filePath(QStringLiteral("a/b/Kotobane.txt"));
    Appender(nested).AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_EQ(Contents(nested), Utf16Le(QStringLiteral("新\tしん\t2007/03/05 09:04:31\r\n")));
}

TEST_F(HistoryAppenderTest, OpenFailureIsShownOnceAndThePhraseIsNotRetried)
{
    // A folder where the file should be cannot be opened for writing.
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Kotobane.txt")));
    HistoryAppender h = Appender();
    h.AppendHistory(QStringLiteral("漢字"), QStringLiteral("かんじ"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error on open ") + Path() + u'\n' + SystemErrorText(EISDIR));
    EXPECT_EQ(h.LastAppendedPhrase(), QStringLiteral("漢字"));

    h.AppendHistory(QStringLiteral("漢字"), QStringLiteral("かんじ"));
    EXPECT_EQ(ui.boxes.size(), 1u);
}

TEST_F(HistoryAppenderTest, AFifoInPlaceOfTheFileIsRefusedAtOnce)
{
    FifoGuard fifo(Path());
    ASSERT_TRUE(fifo.Made());
    Appender().AppendHistory(QStringLiteral("漢字"), QStringLiteral("かんじ"));
    EXPECT_FALSE(fifo.Finish()) << "the append waited on the FIFO";
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first,
              QStringLiteral("error on open ") + Path() + u'\n' + SystemErrorText(kErrorNotRegularFile));
}

// A full disk in earnest: the file may not grow more than a few bytes.
TEST_F(HistoryAppenderTest, ALineCutShortIsTakenBackAndTheFullPathShown)
{
    const QByteArray before = Utf16Le(QStringLiteral("old\tおーるど\t2001/01/01 00:00:00\r\n"));
    WriteAll(Path(), before);
    const int status = InChild([&] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = rlim_t(before.size() + 20);
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
            return 2;
        }
        QDir::setCurrent(dir.path());
        Appender(QStringLiteral("Kotobane.txt")).AppendHistory(QStringLiteral("漢字"), QStringLiteral("かんじ"));
        const QString expected = QStringLiteral("error on write ") + Path() + u'\n' + SystemErrorText(EFBIG);
        return ui.boxes.size() == 1 && ui.boxes[0].first == expected ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the write error was not shown as expected";
    EXPECT_EQ(Contents(Path()), before);

    Appender().AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_EQ(Contents(Path()), before + Utf16Le(QStringLiteral("新\tしん\t2007/03/05 09:04:31\r\n")));
}

TEST_F(HistoryAppenderTest, AfterAFileOfOddLengthTheLineStartsOnAUnitAndALineOfItsOwn)
{
    const QByteArray damaged = Utf16Le(QStringLiteral("old\tおーるど\t2001/01/01 00:00:00\r\n")) + 'X';
    WriteAll(Path(), damaged);
    Appender().AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_EQ(Contents(Path()), damaged + '\0' + Utf16Le(QStringLiteral("\r\n新\tしん\t2007/03/05 09:04:31\r\n")));
}

// A copy stopped while it holds the lock does not hold up the others.
TEST_F(HistoryAppenderTest, ALockNeverLetGoOnlyDelaysTheAppend)
{
    QFile other(Path());
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(other.handle(), LOCK_EX), 0);
    Appender().AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_EQ(Contents(Path()), Utf16Le(QStringLiteral("新\tしん\t2007/03/05 09:04:31\r\n")));
    EXPECT_TRUE(ui.boxes.empty());
}

// Two copies of the program appending at once keep every line whole.
TEST_F(HistoryAppenderTest, ConcurrentAppendersNeverInterleave)
{
    constexpr int kLines = 400;
    const QString longReading(900, QChar(u'あ'));
    const auto run = [&](QChar mark) {
        Recorder quiet;
        FakeMessageBox box(quiet);
        HistoryAppender h(Path(), box, [this] { return now; });
        for (int i = 0; i < kLines; ++i) {
            h.AppendHistory(QString(mark) + QString::number(i), longReading);
        }
    };
    std::thread a(run, QChar(u'A'));
    std::thread b(run, QChar(u'B'));
    a.join();
    b.join();

    const QByteArray bytes = Contents(Path());
    ASSERT_EQ(bytes.size() % 2, 0);
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
    QStringList lines = text.split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), 2 * kLines);
    int a_count = 0;
    for (const QString& line : lines) {
        const QStringList fields = line.split(u'\t');
        ASSERT_EQ(fields.size(), 3) << line.left(20).toStdString();
        EXPECT_EQ(fields[1], longReading);
        a_count += fields[0].startsWith(u'A');
    }
    EXPECT_EQ(a_count, kLines);
}

}  // namespace
