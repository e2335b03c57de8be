#include "settings/IniProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <thread>

#include <unistd.h>

#include "fakes/FifoGuard.h"

using namespace kotobane;

namespace {

const QString kAbsent = QStringLiteral("<absent>");

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

struct IniProfileTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("k.ini"));
    IniProfile ini{path};

    void Put(const QByteArray& bytes) { WriteAll(path, bytes); }
    QByteArray Bytes() const { return ReadAll(path); }
    QString Get(const char* section, const char* key) const
    {
        return ini.GetString(QString::fromUtf8(section), QString::fromUtf8(key), kAbsent);
    }
    bool Write(const char* section, const char* key, const char* value) const
    {
        return bool(ini.WriteString(QString::fromUtf8(section), QString::fromUtf8(key), QString::fromUtf8(value)));
    }
};

// Collects what is logged while it lives.
struct LogCapture {
    static inline QStringList lines;
    QtMessageHandler previous;
    LogCapture()
    {
        lines.clear();
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& c, const QString& m) {
            lines.append(QString::fromUtf8(c.category) + QStringLiteral(": ") + m);
        });
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
};

TEST_F(IniProfileTest, ReadsAFileWrittenOnAnotherPlatform)
{
    Put("; written elsewhere\r\n"
        "Orphan=1\r\n"
        "[Settings]\r\n"
        "KeyLayout = E0010411 \r\n"
        "\tBackground\t=\t255\r\n"
        "garbage without an equals sign\r\n"
        "[Settings\\HotKeys\\Get Text]\r\n"
        "Modifiers=6\r\n"
        "Key =  71\r\n"
        "[ Spaced Out ]\r\n"
        "Empty=\r\n"
        "Last=x y");
    EXPECT_EQ(Get("settings", "keylayout"), u"E0010411");
    EXPECT_EQ(ini.GetInt(QStringLiteral("SETTINGS"), QStringLiteral("background"), -1), 255);
    EXPECT_EQ(Get("Settings\\HotKeys\\Get Text", "KEY"), u"71");
    EXPECT_EQ(ini.GetInt(QStringLiteral("settings\\hotkeys\\get text"), QStringLiteral("Modifiers"), -1), 6);
    EXPECT_EQ(Get("Spaced Out", "Empty"), u"");
    EXPECT_EQ(ini.GetInt(QStringLiteral("Spaced Out"), QStringLiteral("Empty"), -1), 0);
    EXPECT_EQ(Get("Spaced Out", "Last"), u"x y");
    // Neither a key before any section nor a line without '=' is found.
    EXPECT_EQ(Get("", "Orphan"), kAbsent);
    EXPECT_EQ(Get("Settings", "Orphan"), kAbsent);
    EXPECT_EQ(Get("Settings", "garbage without an equals sign"), kAbsent);
    EXPECT_EQ(ini.GetInt(QStringLiteral("Settings"), QStringLiteral("Missing"), 42), 42);
}

TEST_F(IniProfileTest, IgnoresCaseAndTheFirstDuplicateWins)
{
    Put("[Sec]\nKey=first\nkey=second\n[sec]\nKey=third\nOnly=in the second\n[Äther]\nk=1\n");
    EXPECT_EQ(Get("SEC", "KEY"), u"first");
    EXPECT_EQ(Get("sec", "only"), kAbsent) << "only the first section of a name counts";
    EXPECT_EQ(Get("äTHER", "K"), u"1");

    ASSERT_TRUE(Write("SEC", "KEY", "new"));
    EXPECT_EQ(Bytes(), "[Sec]\nKey=new\nkey=second\n[sec]\nKey=third\nOnly=in the second\n[Äther]\nk=1\n");
    ASSERT_TRUE(Write("SEC", "only", "1"));
    EXPECT_EQ(Bytes(), "[Sec]\nKey=new\nkey=second\nonly=1\n[sec]\nKey=third\nOnly=in the second\n[Äther]\nk=1\n");
}

TEST_F(IniProfileTest, StringsAreCutTo4095Units)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
    const QString exact(4095, u'e');
    const QString pairAcrossTheCut = QString(4094, u'p') + smile;
    Put(QByteArray("[s]\nlong=") + QByteArray(5000, 'v') + "\nexact=" + exact.toUtf8()
        + "\npair=" + pairAcrossTheCut.toUtf8() + "\n");
    EXPECT_EQ(Get("s", "long"), QString(4095, u'v'));
    EXPECT_EQ(Get("s", "exact"), exact);
    EXPECT_EQ(Get("s", "pair"), QString(4094, u'p')) << "no half surrogate pair";
    EXPECT_EQ(ini.GetString(QStringLiteral("s"), QStringLiteral("none"), QString(5000, u'd')), QString(4095, u'd'));
}

TEST(IniProfileInt, ParsesLikeTheProfileFunctions)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"  -12abc", -12},
        {"+7", 7},
        {"\t 42 7", 42},
        {"007", 7},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"- 5", 0},
        {"+-5", 0},
        {"0x1F", 0},
        {"2147483647", INT_MAX},
        // Longer numbers wrap modulo 2^32.
        {"2147483648", INT_MIN},
        {"-2147483648", INT_MIN},
        {"4294967297", 1},
        {"-12345678901", 539222987},
        {"99999999999999999999999", -159383553},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseProfileInt(QString::fromUtf8(c.text)), c.value) << '"' << c.text << '"';
    }
    // 10^n is a multiple of 2^32 from n = 32 on, so n nines are -1 modulo 2^32.
    EXPECT_EQ(ParseProfileInt(QString(100000, u'9')), -1);
    EXPECT_EQ(ParseProfileInt(u'-' + QString(100000, u'9')), 1);
}

TEST_F(IniProfileTest, MissingOrUnusableFilesReadAsEmpty)
{
    EXPECT_EQ(Get("s", "k"), kAbsent);
    EXPECT_EQ(ini.GetInt(QStringLiteral("s"), QStringLiteral("k"), 9), 9);
    const IniProfile directory(dir.path());
    EXPECT_EQ(directory.GetString(QStringLiteral("s"), QStringLiteral("k"), kAbsent), kAbsent);

    // Invalid UTF-8 and binary junk decode with replacement characters.
    QByteArray junk;
    for (int b = 0; b < 256; ++b) {
        junk.append(static_cast<char>(b));
    }
    Put("[s]\nbad=a\xFF\xC3(\nk=v\n" + junk + "\n[t]\nk=2\n");
    EXPECT_EQ(Get("s", "bad"), QStringLiteral("a\uFFFD\uFFFD("));
    EXPECT_EQ(Get("s", "k"), u"v");
    EXPECT_EQ(Get("t", "k"), u"2");
}

// The file turns into a FIFO and back all the time, so that some reads find
// a file at the check and a FIFO at the open: none of them may wait.
TEST_F(IniProfileTest, AFileSwappedForAFifoNeverBlocks)
{
    WriteAll(dir.filePath(QStringLiteral("file.ini")), "[s]\nk=v\n");
    kotobane::test::FifoGuard fifo(dir.filePath(QStringLiteral("fifo")));
    ASSERT_TRUE(fifo.Made());
    std::atomic<bool> stop = false;
    std::thread swapper([&] {
        const QByteArray link = QFile::encodeName(path);
        const QByteArray next = link + ".next";
        for (bool toFifo = true; !stop; toFifo = !toFifo) {
            ::symlink(toFifo ? "fifo" : "file.ini", next.constData());
            ::rename(next.constData(), link.constData());
        }
    });
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 1500 && !fifo.Fired()) {
        Get("s", "k");
    }
    stop = true;
    swapper.join();
    EXPECT_FALSE(fifo.Finish()) << "a read waited on the FIFO";
}

TEST_F(IniProfileTest, WritingKeepsBytesItDidNotUnderstand)
{
    const QByteArray junk("\xFF\xFE\x00\x80 \xC3(\r", 8);
    Put("[s]\r\nbad=" + junk + "\r\n" + junk + "\r\n[t]\r\nk=1\r\n");
    ASSERT_TRUE(Write("t", "k", "2"));
    ASSERT_TRUE(Write("s", "new", "3"));
    EXPECT_EQ(Bytes(), "[s]\r\nbad=" + junk + "\r\nnew=3\r\n" + junk + "\r\n[t]\r\nk=2\r\n");
    // The stored key bytes survive a rewrite of their value.
    Put("[s]\n \xFFkey\xFE = old\n");
    ASSERT_TRUE(ini.WriteString(QStringLiteral("s"), QStringLiteral("\uFFFDkey\uFFFD"), QStringLiteral("new")));
    EXPECT_EQ(Bytes(), "[s]\n\xFFkey\xFE=new\n");
}

TEST_F(IniProfileTest, ReadsAndWritesUtf16WithEitherByteOrder)
{
    const QString before = QString::fromUtf8("; 注\r\n[Sect]\r\n名前 = 値\r\n");
    const QString after = QString::fromUtf8("; 注\r\n[Sect]\r\n名前=新しい\r\n追加=x\r\n");
    const struct {
        QStringConverter::Encoding encoding;
        QByteArray bom;
    } orders[] = {{QStringConverter::Utf16LE, "\xFF\xFE"}, {QStringConverter::Utf16BE, "\xFE\xFF"}};
    for (const auto& o : orders) {
        QStringEncoder encode(o.encoding);
        Put(o.bom + QByteArray(encode(before)));
        EXPECT_EQ(Get("sect", "名前"), QString::fromUtf8("値"));
        ASSERT_TRUE(Write("Sect", "名前", "新しい"));
        ASSERT_TRUE(Write("Sect", "追加", "x"));
        EXPECT_EQ(Bytes(), o.bom + QByteArray(encode(after)));
    }

    // A UTF-8 BOM neither spoils the first line nor gets lost.
    Put("\xEF\xBB\xBF[a]\nk=1\n");
    EXPECT_EQ(Get("a", "k"), u"1");
    ASSERT_TRUE(Write("a", "k", "2"));
    EXPECT_EQ(Bytes(), "\xEF\xBB\xBF[a]\nk=2\n");
}

TEST_F(IniProfileTest, ReplacingAValueKeepsEverythingElse)
{
    Put("; comment = not a key\r\n"
        "[Other]\r\n"
        "Background=1\r\n"
        "[Settings]\r\n"
        "junk line\r\n"
        "  BackGround = 255 \r\n"
        "Colour=3\n"  // a line end of its own
        "\r\n"
        "[Tail]\r\n"
        "x=1");
    ASSERT_TRUE(Write("settings", "background", "0"));
    EXPECT_EQ(Bytes(), "; comment = not a key\r\n"
                       "[Other]\r\n"
                       "Background=1\r\n"
                       "[Settings]\r\n"
                       "junk line\r\n"
                       "BackGround=0\r\n"
                       "Colour=3\n"
                       "\r\n"
                       "[Tail]\r\n"
                       "x=1");
    EXPECT_EQ(Get("Settings", "Background"), u"0");
    EXPECT_EQ(Get("Other", "Background"), u"1");
}

TEST_F(IniProfileTest, NewKeysFollowTheLastKeyOfTheirSection)
{
    Put("[a]\nk1=1\n; about b\n\n[b]\nk=1\n\n\n[c]\n; no keys yet\n");
    ASSERT_TRUE(Write("a", "k2", "2"));
    ASSERT_TRUE(Write("b", "n", "3"));
    ASSERT_TRUE(Write("c", "first", "4"));
    ASSERT_TRUE(Write("Settings\\HotKeys\\Get Text", "Key", "71"));
    EXPECT_EQ(Bytes(), "[a]\nk1=1\nk2=2\n; about b\n\n[b]\nk=1\nn=3\n\n\n[c]\nfirst=4\n; no keys yet\n"
                       "[Settings\\HotKeys\\Get Text]\nKey=71\n");
}

TEST_F(IniProfileTest, NewLinesFollowTheFirstLineEndAndTerminateTheLastLine)
{
    Put("[a]\r\nk=1");
    ASSERT_TRUE(Write("a", "k2", "2"));
    EXPECT_EQ(Bytes(), "[a]\r\nk=1\r\nk2=2\r\n");

    Put("[a]\r\nk=1\n[b]\nx=1");
    ASSERT_TRUE(Write("new", "k", "v"));
    EXPECT_EQ(Bytes(), "[a]\r\nk=1\n[b]\nx=1\r\n[new]\r\nk=v\r\n");

    Put("[a]\nk=1\r\n[b]");
    ASSERT_TRUE(Write("b", "k", "v"));
    EXPECT_EQ(Bytes(), "[a]\nk=1\r\n[b]\nk=v\n");

    // A lone CR ending the last line is stripped on read and completed on write.
    Put("[a]\nk=1\r");
    EXPECT_EQ(Get("a", "k"), u"1");
    ASSERT_TRUE(Write("n", "x", "y"));
    EXPECT_EQ(Bytes(), "[a]\nk=1\r\n[n]\nx=y\n");
}

TEST_F(IniProfileTest, CreatesTheDirectoryAndAnLfFile)
{
    const QString deep = dir.filePath(QStringLiteral("one/two/Kotobane.ini"));
    const IniProfile fresh(deep);
    ASSERT_TRUE(fresh.WriteString(QStringLiteral("Settings"), QStringLiteral("Key"), QStringLiteral(" 7 ")));
    EXPECT_EQ(ReadAll(deep), "[Settings]\nKey= 7 \n");
    EXPECT_EQ(fresh.GetInt(QStringLiteral("Settings"), QStringLiteral("Key"), -1), 7);
}

TEST_F(IniProfileTest, LineBreaksInValuesBecomeSpacesAndBadNamesAreRefused)
{
    ASSERT_TRUE(Write("s", "k", "one\ntwo\r\nthree\r"));
    EXPECT_EQ(Bytes(), "[s]\nk=one two  three \n");

    LogCapture log;
    EXPECT_FALSE(Write("a]b", "k", "v"));
    EXPECT_FALSE(Write("a\nb", "k", "v"));
    EXPECT_FALSE(Write("s", "a=b", "v"));
    EXPECT_FALSE(Write("s", "[x", "v"));
    EXPECT_FALSE(Write("s", "x\ry", "v"));
    EXPECT_EQ(ini.WriteString(QStringLiteral("s"), QStringLiteral("a=b"), QStringLiteral("v")).error,
              QStringLiteral("the key name holds a line break or '=', or starts with '['"));
    EXPECT_TRUE(log.lines.isEmpty());  // the result says why; the caller decides whom to tell
    EXPECT_EQ(Bytes(), "[s]\nk=one two  three \n");
}

TEST_F(IniProfileTest, FailedWritesReportAndLeaveEverythingAsItWas)
{
    LogCapture log;
    // The directory cannot be made: a file is in the way.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    WriteAll(blocker, "keep me");
    const IniProfile underFile(blocker + QStringLiteral("/k.ini"));
    const ProfileWriteResult blocked =
        underFile.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
    EXPECT_FALSE(blocked);
    EXPECT_EQ(ReadAll(blocker), "keep me");
    EXPECT_EQ(blocked.Message(),
              QStringLiteral("error on write %1/k.ini\ncannot create the directory %1").arg(blocker));

    // The path is a directory.
    const IniProfile directory(dir.path());
    EXPECT_FALSE(directory.WriteString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());

    // Half a UTF-16 unit at the end cannot be written back faithfully.
    const QByteArray odd("\xFF\xFE[\0s\0]\0\n\0k\0=\0"
                         "1\0\n",
                         17);
    Put(odd);
    EXPECT_EQ(Get("s", "k"), u"1");
    EXPECT_FALSE(Write("s", "k", "2"));
    EXPECT_EQ(Bytes(), odd);

    // Far too large to be a settings file: read as empty, never rewritten.
    const QByteArray huge = "[s]\nk=1\n" + QByteArray(16 * 1024 * 1024, 'x');
    Put(huge);
    EXPECT_EQ(Get("s", "k"), kAbsent);
    EXPECT_FALSE(Write("s", "k", "2"));
    EXPECT_TRUE(Bytes() == huge);
    EXPECT_TRUE(log.lines.isEmpty());

    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{QStringLiteral("blocker"), QStringLiteral("k.ini")}));
}

TEST_F(IniProfileTest, HookRunsWithTheOldFileStillInPlace)
{
    Put("[s]\nk=old\n");
    QByteArray seen;
    IniProfile::SetBeforeReplaceHook([&] { seen = Bytes(); });
    const bool written = Write("s", "k", "new");
    IniProfile::SetBeforeReplaceHook({});
    ASSERT_TRUE(written);
    EXPECT_EQ(seen, "[s]\nk=old\n");
    EXPECT_EQ(Bytes(), "[s]\nk=new\n");

    // A value already stored is not rewritten at all.
    bool called = false;
    IniProfile::SetBeforeReplaceHook([&] { called = true; });
    EXPECT_TRUE(Write("S", "K", "new"));
    IniProfile::SetBeforeReplaceHook({});
    EXPECT_FALSE(called);
}

// A batch leaves the file as the same writes made one by one would, with
// one replacement of the file.
TEST_F(IniProfileTest, BatchWritesWhatSingleWritesWriteInOneReplacement)
{
    const std::optional<QByteArray> starts[] = {
        std::nullopt, "; mine\r\n[SETTINGS]\r\nBackGround=0\r\nunknown line\r\n[Other]\r\nk=v", "[a]\r",
        "[New]\nb=old\n[a]\nk=old\n", QByteArray("\xFF\xFE[\0a\0]\0\r\0\n\0", 12)};
    const QString surrogate = QStringLiteral("k") + QChar(0xD800);  // stored as U+FFFD in UTF-8
    const QStringList writes[] = {{"Settings", "Background", "1"},
                                  {"settings\\HotKeys\\Get Text", "Virtual_Key", "65"},
                                  {"New", "a", "x"},
                                  {"SETTINGS", " background ", "2"},
                                  {"a]b", "k", "refused"},
                                  {"a", "k", "v\r\nw"},
                                  {"New", "b", "y"},
                                  {"s", surrogate, "1"},
                                  {"s", surrogate, "2"}};
    const QString single = dir.filePath(QStringLiteral("single.ini"));
    LogCapture log;
    for (const std::optional<QByteArray>& start : starts) {
        QFile::remove(path);
        QFile::remove(single);
        if (start) {
            Put(*start);
            WriteAll(single, *start);
        }
        IniProfile::Batch batch(ini);
        for (const QStringList& w : writes) {
            batch.WriteString(w[0], w[1], w[2]);
        }
        int replaced = 0;
        IniProfile::SetBeforeReplaceHook([&] { ++replaced; });
        EXPECT_FALSE(batch.Commit()) << "one name is refused";
        IniProfile::SetBeforeReplaceHook({});
        EXPECT_EQ(replaced, 1);
        for (const QStringList& w : writes) {
            IniProfile(single).WriteString(w[0], w[1], w[2]);
        }
        EXPECT_EQ(Bytes(), ReadAll(single)) << (start ? start->toStdString() : "no file");
    }
}

TEST(IniProfileDeathTest, KillDuringSaveKeepsThePreviousFile)
{
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    // A threadsafe death test runs this test again from the top in a new
    // process; the variable makes that process work on the parent's file.
    const char* const kShared = "KOTOBANE_INI_DEATH_TEST_FILE";
    const QByteArray before("; kept\r\n[Settings]\r\nBackground=255\r\nOther=1\r\n");
    std::optional<QTemporaryDir> dir;
    QString path = qEnvironmentVariable(kShared);
    if (path.isEmpty()) {
        dir.emplace();
        path = dir->filePath(QStringLiteral("Kotobane.ini"));
        WriteAll(path, before);
        qputenv(kShared, QFile::encodeName(path));
    }
    EXPECT_EXIT(
        {
            IniProfile::SetBeforeReplaceHook([] { std::raise(SIGKILL); });
            IniProfile(path).WriteString(QStringLiteral("Settings"), QStringLiteral("Background"), QStringLiteral("0"));
            std::_Exit(0);  // not reached when the hook runs
        },
        ::testing::KilledBySignal(SIGKILL), "");
    qunsetenv(kShared);
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(IniProfile(path).GetString(QStringLiteral("Settings"), QStringLiteral("Background"), kAbsent), u"255");
}

TEST(ByteBlock, TwoLettersAByteLowNibbleFirstAndAnyLettersDecode)
{
    EXPECT_EQ(EncodeByteBlock(QByteArray("\x1F\x00\xF0", 3)), u"PBAAAP");
    EXPECT_EQ(EncodeByteBlock(QByteArray()), u"");
    QByteArray all;
    for (int b = 0; b < 256; ++b) {
        all.append(static_cast<char>(b));
    }
    const QString letters = EncodeByteBlock(all);
    EXPECT_EQ(letters.size(), 512);
    EXPECT_TRUE(std::all_of(letters.begin(), letters.end(), [](QChar c) { return c >= u'A' && c <= u'P'; }));
    EXPECT_EQ(DecodeByteBlock(letters), all);

    EXPECT_EQ(DecodeByteBlock(u"PBAAAP"), QByteArray("\x1F\x00\xF0", 3));
    EXPECT_EQ(DecodeByteBlock(u"PBA"), QByteArray("\x1F")) << "an odd last letter is dropped";
    EXPECT_EQ(DecodeByteBlock(u"P"), QByteArray());
    EXPECT_EQ(DecodeByteBlock(u""), QByteArray());
    // Outside A-P: 16*(second-'A') + (first-'A'), low 8 bits.
    EXPECT_EQ(DecodeByteBlock(u"ZZ"), QByteArray("\xA9"));
    EXPECT_EQ(DecodeByteBlock(u"aa"), QByteArray("\x20"));
    EXPECT_EQ(DecodeByteBlock(u"@@"), QByteArray("\xEF"));
    EXPECT_EQ(DecodeByteBlock(u"\uFFFF\uFFFF"), QByteArray("\x9E"));
}

}  // namespace
