#include "history/HistoryStore.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <thread>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"
#include "fakes/FifoGuard.h"

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

// ---- reading and writing the list ----

QString Joined(const HistoryRows& rows)
{
    QStringList out;
    for (int r = 0; r < rows.Count(); ++r) {
        out << rows.Cell(r, 0).toString() + u'|' + rows.Cell(r, 1).toString() + u'|' + rows.Cell(r, 2).toString();
    }
    return out.join(u'/');
}

TEST(SplitFields, HasTokenizerSemantics)
{
    struct Case {
        QString line;
        QChar separator;
        QStringList fields;
    };
    // clang-format off
    const Case cases[] = {
        {QString(), u'\t', {}},
        {QStringLiteral("abc"), u'\t', {QStringLiteral("abc")}},
        {QStringLiteral("a\t\tb"), u'\t', {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("\ta\tb\t"), u'\t', {QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("\t\t\t"), u'\t', {}},
        {QStringLiteral("a,\"b,c\""), u',', {QStringLiteral("a"), QStringLiteral("\"b"), QStringLiteral("c\"")}},
        {QStringLiteral("a\tb,c"), u',', {QStringLiteral("a\tb"), QStringLiteral("c")}},
    };
    // clang-format on
    for (const Case& c : cases) {
        QStringList got;
        for (QStringView f : SplitFields(c.line, c.separator)) {
            got << f.toString();
        }
        EXPECT_EQ(got, c.fields) << qPrintable(c.line);
    }
}

TEST(SeparatorForFile, OnlyALowerCaseCsvExtensionGivesTheComma)
{
    const std::pair<const char*, char> cases[] = {{"/t/a.csv", ','},     {"/t/a.CSV", '\t'}, {"/t/a.txt", '\t'},
                                                  {"/t/a", '\t'},        {"/t.csv/a", '\t'}, {"/t/a.b.csv", ','},
                                                  {"/t/a.csv.txt", '\t'}};
    for (const auto& [path, separator] : cases) {
        EXPECT_EQ(SeparatorForFile(QString::fromLatin1(path)), QChar(separator)) << path;
    }
}

class HistoryFileTest : public ::testing::Test {
protected:
    HistoryFileTest() : ui(log) { }
    QString Path() const { return dir.filePath(QStringLiteral("Kotobane.txt")); }
    bool Load(const QByteArray& bytes, QChar separator = u'\t')
    {
        WriteAll(Path(), bytes);
        return LoadHistory(rows, Path(), separator, false, ui, &mark);
    }

    QTemporaryDir dir;
    Recorder log;
    FakeMessageBox ui;
    HistoryRows rows;
    HistoryFileMark mark;
};

TEST_F(HistoryFileTest, LinesBecomeRowsAsTheFormatGivesThem)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        QString rows;
    };
    const QString bom(QChar(0xFEFF));
    const QString lone(QChar(0xD800));
    // clang-format off
    const Case cases[] = {
        {"two lines", Utf16Le(u"漢字\tかんじ\t2007/03/05 09:04:31\r\nb\tB\td\r\n"_qs), u"漢字|かんじ|2007/03/05 09:04:31/b|B|d"_qs},
        {"LF only is one line", Utf16Le(u"a\tb\tc\nd\te\tf\n"_qs), u"a|b|c\nd"_qs},
        {"blank lines and lone CR", Utf16Le(u"\r\n\r\na\rx\tb\tc\r\n\r\n"_qs), u"a\rx|b|c"_qs},
        {"no final CR LF", Utf16Le(u"a\tb\tc\r\nd\te\tf"_qs), u"a|b|c/d|e|f"_qs},
        {"one field, four fields", Utf16Le(u"alone\r\na\tb\tc\td\r\n"_qs), u"alone||/a|b|c"_qs},
        {"only separators", Utf16Le(u"\t\t\r\n"_qs), u"||"_qs},
        {"byte-order mark kept", Utf16Le(bom + u"a\tb\tc"_qs), bom + u"a|b|c"_qs},
        {"odd trailing byte", Utf16Le(u"a\tb\tc"_qs) + 'X', u"a|b|c"_qs},
        {"lone surrogate", Utf16Le(lone + u"\tb\tc"_qs), lone + u"|b|c"_qs},
        {"empty file", QByteArray(), QString()},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_TRUE(Load(c.bytes)) << c.what;
        EXPECT_EQ(Joined(rows), c.rows) << c.what;
        EXPECT_EQ(mark.length, c.bytes.size()) << c.what;
    }
    EXPECT_TRUE(ui.boxes.empty());

    const QString huge(5 * 1024 * 1024, QChar(u'字'));  // a 10 MB line
    EXPECT_TRUE(Load(Utf16Le(huge + u"\tx\ty"_qs)));
    ASSERT_EQ(rows.Count(), 1);
    EXPECT_EQ(rows.Cell(0, 0), huge);
}

TEST_F(HistoryFileTest, AppendAddsToTheRowsAndAMissingFileFailsSilentlyButEmptiesTheList)
{
    ASSERT_TRUE(Load(Utf16Le(u"a\tb\tc\r\n"_qs)));
    WriteAll(dir.filePath(QStringLiteral("x.csv")), Utf16Le(u"p,q,r\r\n"_qs));
    EXPECT_TRUE(LoadHistory(rows, dir.filePath(QStringLiteral("x.csv")), u',', true, ui));
    EXPECT_EQ(Joined(rows), u"a|b|c/p|q|r"_qs);

    EXPECT_FALSE(LoadHistory(rows, dir.filePath(QStringLiteral("none.txt")), u'\t', false, ui, &mark));
    EXPECT_EQ(rows.Count(), 0);
    EXPECT_FALSE(mark.valid);
    EXPECT_TRUE(ui.boxes.empty());

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.txt")));
    EXPECT_FALSE(LoadHistory(rows, dir.filePath(QStringLiteral("folder.txt")), u'\t', false, ui));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error on open ") + dir.filePath(QStringLiteral("folder.txt")) + u'\n'
                                     + SystemErrorText(EISDIR));
}

TEST_F(HistoryFileTest, RandomBytesNeverCrashAndSaveBackWhatWasRead)
{
    std::srand(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(std::rand() % 400, Qt::Uninitialized);
        for (char& b : bytes) {
            // Mostly separators, CR and LF, so that the line walk is busy.
            const char pick[] = {'\t', '\r', '\n', '\0', ','};
            b = std::rand() % 2 ? pick[std::rand() % 5] : char(std::rand());
        }
        ASSERT_TRUE(Load(bytes));
        ASSERT_TRUE(SaveHistory(rows, Path(), u'\t', ui));
        HistoryRows again;
        ASSERT_TRUE(LoadHistory(again, Path(), u'\t', false, ui));
        EXPECT_EQ(Joined(again), Joined(rows)) << "round " << round;
    }
}

TEST_F(HistoryFileTest, SavingWritesTheRowsInOrderAndAnEmptyListAsAnEmptyFile)
{
    rows.AddRow({u"東京"_qs, u"とうきょう"_qs, u"2007/03/05 09:04:31"_qs});
    rows.AddRow({u"a,b"_qs, u"x"_qs, u"d"_qs});
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(SaveHistory(rows, csv, SeparatorForFile(csv), ui));
    EXPECT_EQ(Contents(csv), Utf16Le(u"東京,とうきょう,2007/03/05 09:04:31\r\na,b,x,d\r\n"_qs));
    // The comma inside the phrase splits it on the way back.
    ASSERT_TRUE(LoadHistory(rows, csv, u',', false, ui));
    EXPECT_EQ(Joined(rows), u"東京|とうきょう|2007/03/05 09:04:31/a|b|x"_qs);

    rows.DeleteAllRows();
    ASSERT_TRUE(SaveHistory(rows, csv, u',', ui));
    EXPECT_EQ(QFileInfo(csv).size(), 0);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).contains(u"out.csv"_qs));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 1) << "a temporary file was left";
}

// A failed save must leave the user's history as it was.
TEST_F(HistoryFileTest, AFailedSaveKeepsTheOldFileByteForByte)
{
    const QByteArray before = Utf16Le(u"old\tおーるど\t2001/01/01 00:00:00\r\n"_qs);
    ASSERT_TRUE(Load(before));
    for (int i = 0; i < 2000; ++i) {
        rows.AddRow({QString::number(i), u"よみ"_qs, u"2007/03/05 09:04:31"_qs});
    }
    // A full disk: the new file may not grow past a few bytes.
    const int status = InChild([&] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 100;
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0 || std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR) {
            return 2;
        }
        const bool saved = SaveHistoryFile(rows, Path(), mark, ui, nullptr);
        const QString expected = QStringLiteral("error on write ") + Path() + u'\n' + SystemErrorText(EFBIG);
        return !saved && ui.boxes.size() == 1 && ui.boxes[0].first == expected ? 0 : 1;
    });
    EXPECT_EQ(status, 0) << "the failure was not reported as expected";
    EXPECT_EQ(Contents(Path()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).size(), 1) << "a temporary file was left";

    if (::geteuid() != 0) {  // root writes into any folder
        ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        EXPECT_FALSE(SaveHistory(rows, Path(), u'\t', ui));
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error on open ") + Path() + u'\n' + SystemErrorText(EACCES));
        EXPECT_EQ(Contents(Path()), before);
    }
}

TEST_F(HistoryFileTest, SaveKeepsTheFileModeAndWritesThroughALink)
{
    ASSERT_TRUE(Load(Utf16Le(u"a\tb\tc\r\n"_qs)));
    ASSERT_TRUE(QFile::setPermissions(Path(), QFile::ReadOwner | QFile::WriteOwner));
    const QString link = dir.filePath(QStringLiteral("link.txt"));
    ASSERT_TRUE(QFile::link(Path(), link));
    rows.AddRow({u"d"_qs, u"e"_qs, u"f"_qs});
    ASSERT_TRUE(SaveHistory(rows, link, u'\t', ui));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(Contents(Path()), Utf16Le(u"a\tb\tc\r\nd\te\tf\r\n"_qs));
    const QFile::Permissions mode = QFile::permissions(Path());
    EXPECT_TRUE(mode.testFlag(QFile::WriteOwner));
    EXPECT_FALSE(mode & (QFile::ReadGroup | QFile::ReadOther)) << "the save widened who may read the history";
}

// Two copies, or a look-up while the window is open: nothing lost, nothing
// written twice, a deleted row stays deleted.
TEST_F(HistoryFileTest, TheHistorySaveMergesWhatOthersAppendedSinceTheLoad)
{
    QDateTime now(QDate(2007, 3, 5), QTime(9, 4, 31));
    ASSERT_TRUE(Load(Utf16Le(u"a\tA\t2001/01/01 00:00:00\r\nb\tB\t2001/01/01 00:00:01\r\n"_qs) + 'X'));
    HistoryAppender mine(Path(), ui, [&] { return now; });
    mine.SetAppendedHandler([&](const HistoryRecord& r, ByteRange range) {
        mark.own.append(range);
        rows.InsertRow(rows.SortedPosition({r.phrase, r.reading, r.date}, 2, false), {r.phrase, r.reading, r.date});
    });
    HistoryAppender other(Path(), ui, [&] { return now; });
    rows.SortBy(2, false);
    mine.AppendHistory(u"m1"_qs, u"M"_qs);
    other.AppendHistory(u"o1"_qs, u"O"_qs);
    now = now.addSecs(1);
    mine.AppendHistory(u"m2"_qs, u"M"_qs);
    other.AppendHistory(u"o2"_qs, u"O"_qs);
    EXPECT_EQ(Joined(rows),
              u"m2|M|2007/03/05 09:04:32/m1|M|2007/03/05 09:04:31/b|B|2001/01/01 00:00:01/a|A|2001/01/01 00:00:00"_qs);
    rows.DeleteRows({0, 3});  // m2 and a

    QList<HistoryRecord> foreign;
    ASSERT_TRUE(SaveHistoryFile(rows, Path(), mark, ui, [&](const HistoryRecord& r) {
        foreign.append(r);
        rows.AddRow({r.phrase, r.reading, r.date});
    }));
    EXPECT_EQ(foreign, (QList<HistoryRecord>{{u"o1"_qs, u"O"_qs, u"2007/03/05 09:04:31"_qs},
                                             {u"o2"_qs, u"O"_qs, u"2007/03/05 09:04:32"_qs}}));
    EXPECT_EQ(Contents(Path()), Utf16Le(u"m1\tM\t2007/03/05 09:04:31\r\nb\tB\t2001/01/01 00:00:01\r\n"
                                        u"o1\tO\t2007/03/05 09:04:31\r\no2\tO\t2007/03/05 09:04:32\r\n"_qs));
    EXPECT_EQ(mark.length, QFileInfo(Path()).size());
    EXPECT_TRUE(mark.own.isEmpty());

    // The other copy still has the old file open by name: its next line
    // goes to the new file, and the next save takes it once.
    other.AppendHistory(u"o3"_qs, u"O"_qs);
    foreign.clear();
    ASSERT_TRUE(SaveHistoryFile(rows, Path(), mark, ui, [&](const HistoryRecord& r) { foreign.append(r); }));
    ASSERT_EQ(foreign.size(), 1);
    EXPECT_EQ(foreign[0].phrase, u"o3"_qs);
    EXPECT_TRUE(ui.boxes.empty());
}

// A file rewritten in place (an editor, `cat new > file`) or replaced by
// another copy's save since the load: what follows the old end need not
// start a line, so the records are compared whole. Lines this window never
// held survive its save, once each as often as they were added; rows it
// deleted stay deleted.
TEST_F(HistoryFileTest, ARewrittenOrReplacedFileIsMergedByWholeRecords)
{
    const QString a = u"a\tA\t2001/01/01 00:00:00\r\n"_qs, b = u"b\tB\t2001/01/01 00:00:01\r\n"_qs;
    const QString c = u"c\tC\t2001/01/01 00:00:02\r\n"_qs, n = u"new\tN\t2001/01/01 00:00:03\r\n"_qs;
    const struct {
        const char* what;
        bool replace;  // a new file renamed over the old, or the old one rewritten
        QString after;  // the file when the window saves
        QString saved;  // b and c are the window's rows; it deleted a
    } cases[] = {
        {"rewritten longer", false, n + a + b + c + n, b + c + n + n},
        {"rewritten shorter", false, c, b + c},
        {"replaced, then a line appended", true, a + b + c + n, b + c + n},
        {"replaced with a line twice", true, b + b + c, b + c + b},
    };
    for (const auto& t : cases) {
        ASSERT_TRUE(Load(Utf16Le(a + b + c)));
        rows.DeleteRows({0});
        if (t.replace) {
            const QString other = dir.filePath(QStringLiteral("other"));
            WriteAll(other, Utf16Le(t.after));
            ASSERT_TRUE(QFile::remove(Path()) && QFile::rename(other, Path()));
        } else {
            WriteAll(Path(), Utf16Le(t.after));
        }
        ASSERT_TRUE(SaveHistoryFile(rows, Path(), mark, ui, [&](const HistoryRecord& r) {
            rows.AddRow({r.phrase, r.reading, r.date});
        })) << t.what;
        EXPECT_EQ(QString::fromUtf16(reinterpret_cast<const char16_t*>(Contents(Path()).constData()),
                                     Contents(Path()).size() / 2),
                  t.saved)
            << t.what;
    }
    EXPECT_TRUE(ui.boxes.empty());
}

// ---- comparing and sorting ----

TEST(CompareRows, TheFirstOperandChoosesTheComparison)
{
    struct Case {
        const char16_t* x;
        const char16_t* y;
        int ascending;
    };
    // clang-format off
    const Case cases[] = {
        {u"9", u"10", -1}, {u"1.5", u"1.9", 0}, {u"", u"0", 0}, {u"12", u"12abc", 0},
        {u"05/03/2007", u"01/04/2007", -1}, {u"01/01/2008", u"31/12/2007", 1}, {u"05/03/2007", u"05/03/2007x", 0},
        {u"05/03/2007", u"ab", 1},  // y's parts are empty: 0
        {u"abc", u"abd", -1}, {u"a", u"A", -1}, {u"A", u"a", 1}, {u"x", u"9", 1},
        {u"2007/03/05 09:04:31", u"2007/03/05 09:04:32", -1},
    };
    // clang-format on
    for (const Case& c : cases) {
        const QString x = QString::fromUtf16(c.x);
        const QString y = QString::fromUtf16(c.y);
        EXPECT_EQ(CompareRows(x, y, true), c.ascending) << qPrintable(x) << " " << qPrintable(y);
        EXPECT_EQ(CompareRows(x, y, false), -c.ascending) << qPrintable(x) << " " << qPrintable(y);
    }
    // Not symmetric: "9" compares as a number against "x" (value 0).
    EXPECT_EQ(CompareRows(u"9", u"x", true), 1);
    EXPECT_EQ(CompareRows(u"x", u"9", true), 1);
    // A huge cell is compared by its start, cut whole characters.
    const QString stem(kCollatedUnits - 1, u'a');
    EXPECT_EQ(CompareRows(stem + u"aa"_qs, stem + u"ab"_qs, true), 0);
    EXPECT_EQ(CompareRows(stem + u"b"_qs, stem + u"a"_qs, true), 1);
    EXPECT_EQ(Leading(stem + QChar(0xD83D) + QChar(0xDE00), kCollatedUnits), stem);
}

TEST(IntegerPrefix, ReadsLikeTheCLibrary)
{
    const std::pair<const char*, int> cases[] = {{"", 0},
                                                 {"  -12x", -12},
                                                 {"+7", 7},
                                                 {"1.9", 1},
                                                 {"abc", 0},
                                                 {"99999999999", INT_MAX},
                                                 {"-99999999999", INT_MIN}};
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(IntegerPrefix(QString::fromLatin1(text)), value) << text;
    }
}

TEST(HistoryRows, SortsBothWaysAndPlacesNewRowsInTheOrder)
{
    HistoryRows rows;
    for (const char16_t* phrase : {u"10", u"9", u"100", u"1"}) {
        rows.AddRow({QString::fromUtf16(phrase), QString(), QString()});
    }
    rows.SortBy(0, true);
    EXPECT_EQ(Joined(rows), u"1||/9||/10||/100||"_qs);
    rows.SortBy(0, false);
    EXPECT_EQ(Joined(rows), u"100||/10||/9||/1||"_qs);
    EXPECT_EQ(rows.SortedPosition({u"50"_qs}, 0, false), 1);
    EXPECT_EQ(rows.SortedPosition({u"1000"_qs}, 0, false), 0);
    EXPECT_EQ(rows.SortedPosition({u"0"_qs}, 0, false), 4);
    rows.SortBy(7, true);  // no such column: nothing moves
    EXPECT_EQ(Joined(rows), u"100||/10||/9||/1||"_qs);

    rows.DeleteRows({3, 0, 0});
    EXPECT_EQ(Joined(rows), u"10||/9||"_qs);
}

// A column that mixes numbers and words makes the comparison inconsistent;
// the sort must stay inside the array (run under the sanitizers).
TEST(HistoryRows, AMixedColumnSortsWithoutFault)
{
    HistoryRows rows;
    std::srand(3);
    const char16_t* words[] = {u"", u"12", u"1.5", u"abc", u"05/03/2007", u"漢字", u"x9", u"3"};
    QStringList before;
    for (int i = 0; i < 5000; ++i) {
        before << QString::fromUtf16(words[std::rand() % 8]) + (std::rand() % 3 ? QString() : QString::number(i));
        rows.AddRow({before.last()});
    }
    before.sort();
    for (bool ascending : {true, false}) {
        rows.SortBy(0, ascending);
        QStringList after;
        for (int r = 0; r < rows.Count(); ++r) {
            after << rows.Cell(r, 0).toString();
        }
        after.sort();
        EXPECT_EQ(after, before) << "rows lost or doubled by the sort";
    }
}

// The sort's shortcuts (keys made once, dates by their digits) must order
// rows as the comparison itself does.
TEST(HistoryRows, SortedRowsAgreeWithTheComparison)
{
    std::srand(11);
    const auto date = [] {
        return QString::asprintf("%.4d/%.2d/%.2d %.2d:%.2d:%.2d", 2000 + std::rand() % 30, 1 + std::rand() % 12,
                                 1 + std::rand() % 28, std::rand() % 24, std::rand() % 60, std::rand() % 60);
    };
    const auto phrase = [] {
        const char16_t pool[] = u"漢字かなカナ한국中国aAbB -_";  // never all digits: one shape
        QString text;
        for (int i = 1 + std::rand() % 6; i > 0; --i) {
            text += QChar(pool[std::rand() % (std::size(pool) - 1)]);
        }
        return text;
    };
    for (const auto& make : {std::function<QString()>(date), std::function<QString()>(phrase)}) {
        HistoryRows rows;
        for (int i = 0; i < 3000; ++i) {
            rows.AddRow({make()});
        }
        for (bool ascending : {true, false}) {
            rows.SortBy(0, ascending);
            for (int r = 1; r < rows.Count(); ++r) {
                ASSERT_LE(CompareRows(rows.Cell(r - 1, 0), rows.Cell(r, 0), ascending), 0)
                    << qPrintable(rows.Cell(r - 1, 0).toString()) << " before "
                    << qPrintable(rows.Cell(r, 0).toString());
            }
        }
    }
}

}  // namespace
