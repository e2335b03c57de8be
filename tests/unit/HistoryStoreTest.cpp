#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <thread>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"
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

TEST_F(HistoryAppenderTest, WriteFailureNamesTheFullPath)
{
    if (!QFile::exists(QStringLiteral("/dev/full"))) {
        GTEST_SKIP() << "no /dev/full";
    }
    Appender(QStringLiteral("/dev/full")).AppendHistory(QStringLiteral("漢字"), QStringLiteral("かんじ"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error on write /dev/full\n") + SystemErrorText(ENOSPC));
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
