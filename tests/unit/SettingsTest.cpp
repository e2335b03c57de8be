#include "settings/Settings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <iostream>
#include <random>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeech.h"
#include "reading/ReadingEngine.h"
#include "settings/ProfilePaths.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

namespace {

QDateTime Local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

LogFont DefaultFont()
{
    LogFont f;
    f.lfHeight = -15;
    f.lfWeight = FW_NORMAL;
    f.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    f.SetFaceName(QStringLiteral("Monospace"));
    return f;
}

struct SettingsTest : ::testing::Test {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Kotobane.ini"));
    IniProfile profile{path};
    Recorder log;
    FakeIme ime{log};
    FakeMessageBox ui{log};
    Recorder speechLog;
    FakeSpeech speech{speechLog};
    ImeCatalog catalog;
    SettingsContext context{profile, ime, ui, catalog, speech, DefaultFont(), Local(2024, 6, 15, 12)};

    void WriteFile(const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray ReadFile() const
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    Settings Load()
    {
        Settings s;
        LoadSettings(s, context);
        return s;
    }
};

TEST_F(SettingsTest, FirstStartGivesEveryDefault)
{
    ime.active = 0xE0010411;
    ime.layouts = {0xE0010411};
    speech.canInitialize = false;
    const Settings s = Load();
    EXPECT_THAT(s.HotKeys, ElementsAre(HotKeyEntry{QStringLiteral("Get Text"), StoredModifiers(2), 123, 1282}));
    EXPECT_EQ(s.RoundEdit, 7);
    EXPECT_EQ(s.RoundDialog, 9);
    EXPECT_EQ(s.Background, 0x800000u);
    EXPECT_EQ(s.TextColor, 0xFFFFFFu);
    EXPECT_EQ(s.BorderColor, 0x7FFFFFu);
    EXPECT_EQ(s.keylayout, QStringLiteral("E0010411"));
    EXPECT_EQ(catalog.size(), 1);
    EXPECT_EQ(s.TextFont, DefaultFont());
    EXPECT_EQ(s.HistoryFont, DefaultFont());
    EXPECT_EQ(s.DispHis, Local(1980, 1, 1));
    EXPECT_EQ(s.Days, 1);
    EXPECT_TRUE(s.DispOnStart);
    EXPECT_EQ(s.Clock, Local(1990, 1, 1, 10));
    EXPECT_TRUE(s.AutoDispHis);
    EXPECT_TRUE(s.HistoryDue);
    // No voice can be made here, so speech is switched off; the rest stays.
    EXPECT_FALSE(s.Speech.EnableSpeech);
    EXPECT_EQ(s.Speech.Voice, QString());
    EXPECT_EQ(s.Speech.Volume, 0);
    EXPECT_EQ(s.Speech.Rate, -1);
    EXPECT_EQ(s.Speech.AudioFormat, 18);
    EXPECT_EQ(s.Speech.AudioOutput, QString());
    EXPECT_FALSE(QFile::exists(path));  // loading never writes
}

TEST_F(SettingsTest, EmptyVoiceIsFilledFromTheVoiceOfTheLayoutLanguage)
{
    WriteFile("[Settings]\nkeylayout=E0010411\n");
    const Settings s = Load();
    EXPECT_THAT(speechLog.calls, testing::Contains("SelectVoiceByLanguage " + std::to_string(0xE0010411u)));
    EXPECT_TRUE(s.Speech.EnableSpeech);
    EXPECT_EQ(s.Speech.Voice, QStringLiteral("espeak ja"));
    EXPECT_EQ(s.Speech.Volume, 100);
    EXPECT_EQ(s.Speech.Rate, 2);
    EXPECT_EQ(s.Speech.AudioFormat, 22);
    EXPECT_EQ(s.Speech.AudioOutput, QStringLiteral("Null Output"));
}

TEST_F(SettingsTest, StoredVoiceIsAppliedInOrderAndKept)
{
    WriteFile("[Speech]\nVoice=v1\nVolume=50\nRate=-5\nAudioFormat=40\nAudioOutput=o1\n");
    const Settings s = Load();
    EXPECT_THAT(speechLog.calls, ElementsAre("Initialize", "SelectVoiceByDescription v1", "SetVolume 50", "SetRate -5",
                                             "SetFormatIndex 40", "SelectOutputByDescription o1"));
    EXPECT_EQ(s.Speech.AudioOutput, QStringLiteral("o1"));  // kept though the output was not found
    EXPECT_EQ(s.Speech.Rate, -5);

    speechLog.Clear();
    WriteFile("[Speech]\nEnableSpeech=0\nVoice=v1\n");
    EXPECT_FALSE(Load().Speech.EnableSpeech);
    EXPECT_TRUE(speechLog.calls.empty());  // no voice is made when speech is off
}

TEST_F(SettingsTest, SpeechNeverSetUpStartsAsOnAFirstStart)
{
    // Written while no engine existed: off, but no voice ever chosen.
    WriteFile("[Speech]\nEnableSpeech=0\nVoice=\n");
    const Settings s = Load();
    EXPECT_TRUE(s.Speech.EnableSpeech);
    EXPECT_THAT(speechLog.calls, testing::Contains("Initialize"));
    EXPECT_EQ(s.Speech.Voice, QStringLiteral("espeak ja"));

    // Without voice data it is switched off again, silently.
    speechLog.Clear();
    speech.canInitialize = false;
    EXPECT_FALSE(Load().Speech.EnableSpeech);
    EXPECT_THAT(log.calls, Not(testing::Contains(HasSubstr("MessageBox"))));
}

TEST_F(SettingsTest, ReadRulesOfTheSettingsSection)
{
    WriteFile("[Settings]\nRoundEdit=-3\nRoundDialog=0\nBackground=255\n");
    Settings s = Load();
    EXPECT_EQ(s.RoundEdit, 7);
    EXPECT_EQ(s.RoundDialog, 0);
    EXPECT_EQ(s.BorderColor, 0xFFFF00u);  // complement of pure red

    WriteFile("[Settings]\nRoundDialog=-1\nTextFont=\nHistoryFont=BA\n");
    s = Load();
    EXPECT_EQ(s.RoundDialog, 9);
    EXPECT_EQ(s.TextFont, DefaultFont());  // an empty value gives the default font
    LogFont one;  // one byte decoded, the rest zero
    one.lfHeight = 1;
    EXPECT_EQ(s.HistoryFont, one);

    WriteFile("[Settings]\nTextFont=" + QByteArray(184, 'A') + "\n");
    EXPECT_EQ(Load().TextFont, LogFont());
}

TEST_F(SettingsTest, FileFromTheOtherPlatformLoads)
{
    LogFont font = DefaultFont();
    font.lfHeight = -20;
    font.lfWeight = 700;
    font.lfItalic = 1;
    font.lfCharSet = 128;
    font.SetFaceName(QStringLiteral("MS Gothic"));
    WriteFile("[settings\\hotkeys\\get text]\r\nmodifier_key=6\r\nVIRTUAL_KEY=112\r\n"
              "[SETTINGS]\r\nbackground=65280\r\nTEXTCOLOR=0\r\nKeyLayout=E0020411\r\nTextFont="
              + EncodeByteBlock(font.ToBytes()).toLatin1()
              + "\r\nDlgReading=0,1,-1,-1,-1,-1,10,20,300,200\r\n"
                "[history]\r\nDispHis=2007/03/05 14:07:09\r\ndays=7\r\ndisponstart=0\r\nclock=21:30:00\r\n"
                "[Speech]\r\nenablespeech=0\r\nvoice=Microsoft Haruka Desktop\r\n");
    const Settings s = Load();
    EXPECT_EQ(s.HotKeys.front().modifiers, StoredModifiers::Control | StoredModifiers::Alt);
    EXPECT_EQ(s.HotKeys.front().virtualKey, 112);
    EXPECT_EQ(s.Background, 65280u);
    EXPECT_EQ(s.TextColor, 0u);
    EXPECT_EQ(s.BorderColor, 0xFF00FFu);
    EXPECT_EQ(s.keylayout, QStringLiteral("E0020411"));
    EXPECT_EQ(s.TextFont, font);
    EXPECT_EQ(s.DispHis, Local(2007, 3, 5, 14, 7, 9));
    EXPECT_EQ(s.Days, 7);
    EXPECT_FALSE(s.DispOnStart);
    EXPECT_EQ(s.Clock, Local(1990, 1, 1, 21, 30));
    EXPECT_FALSE(s.Speech.EnableSpeech);
    WindowPlacement p;
    EXPECT_TRUE(ReadWindowPlacement(profile, QStringLiteral("Settings"), QStringLiteral("DlgReading"), p));
    EXPECT_EQ(p.right, 300);
}

TEST_F(SettingsTest, EveryKeyRoundTrips)
{
    Settings s = Load();
    s.HotKeys.front().modifiers = StoredModifiers::Shift | StoredModifiers::Alt;
    s.HotKeys.front().virtualKey = 0x41;
    s.RoundEdit = 0;
    s.RoundDialog = 30;
    s.Background = 0x123456;
    s.TextColor = 0xABCDEF;
    s.BorderColor = 0x010203;
    s.keylayout = QStringLiteral("4090409");
    LogFont f = DefaultFont();
    f.SetFaceName(QStringLiteral("Noto Sans CJK JP"));
    f.lfUnderline = 1;
    s.TextFont = f;
    f.lfHeight = -11;
    s.HistoryFont = f;
    s.DispHis = Local(2023, 12, 31, 23, 59, 58);
    s.Days = 365;
    s.DispOnStart = false;
    s.Clock = Local(1990, 1, 1, 7, 5, 0);
    s.AutoDispHis = false;
    s.Speech.EnableSpeech = true;
    s.Speech.Voice = QStringLiteral("Japanese (ja)");
    s.Speech.Volume = 80;
    s.Speech.Rate = -5;
    s.Speech.AudioFormat = 35;
    s.Speech.AudioOutput = QStringLiteral("Built-in Audio, Analog Stereo");

    // The speech voice is released before its section is written.
    speech.onRelease = [&] { EXPECT_THAT(ReadFile().toStdString(), Not(HasSubstr("[Speech]"))); };
    SaveSettings(s, context);
    const QByteArray file = ReadFile();
    for (const char* key :
         {"Modifier_Key", "Virtual_Key",  "Background",  "TextColor", "BorderColor", "RoundEdit",   "RoundDialog",
          "keylayout",    "TextFont",     "HistoryFont", "DispHis",   "Days",        "DispOnStart", "Clock",
          "AutoDispHis",  "EnableSpeech", "Voice",       "Volume",    "Rate",        "AudioFormat", "AudioOutput"}) {
        EXPECT_THAT(file.toStdString(), HasSubstr(std::string(key) + "=")) << key;
    }
    EXPECT_THAT(file.toStdString(), HasSubstr("[Settings\\HotKeys\\Get Text]"));
    EXPECT_THAT(file.toStdString(), HasSubstr("DispHis=2023/12/31 23:59:58"));
    EXPECT_THAT(file.toStdString(), HasSubstr("Clock=07:05:00"));
    EXPECT_THAT(file.toStdString(), HasSubstr("Rate=-5"));
    EXPECT_THAT(file.toStdString(), HasSubstr("Background=1193046"));

    speech.onRelease = nullptr;
    log.Clear();
    const Settings back = Load();
    EXPECT_EQ(back.HotKeys, s.HotKeys);
    EXPECT_EQ(back.RoundEdit, s.RoundEdit);
    EXPECT_EQ(back.RoundDialog, s.RoundDialog);
    EXPECT_EQ(back.Background, s.Background);
    EXPECT_EQ(back.TextColor, s.TextColor);
    EXPECT_EQ(back.BorderColor, s.BorderColor);
    EXPECT_EQ(back.keylayout, s.keylayout);
    EXPECT_EQ(back.TextFont, s.TextFont);
    EXPECT_EQ(back.HistoryFont, s.HistoryFont);
    EXPECT_EQ(back.DispHis, s.DispHis);
    EXPECT_EQ(back.Days, s.Days);
    EXPECT_EQ(back.DispOnStart, s.DispOnStart);
    EXPECT_EQ(back.Clock, s.Clock);
    EXPECT_EQ(back.AutoDispHis, s.AutoDispHis);
    EXPECT_EQ(back.Speech.EnableSpeech, s.Speech.EnableSpeech);
    EXPECT_EQ(back.Speech.Voice, s.Speech.Voice);
    EXPECT_EQ(back.Speech.Volume, s.Speech.Volume);
    EXPECT_EQ(back.Speech.Rate, s.Speech.Rate);
    EXPECT_EQ(back.Speech.AudioFormat, s.Speech.AudioFormat);
    EXPECT_EQ(back.Speech.AudioOutput, s.Speech.AudioOutput);
}

// Values no hot key has are not cut to a byte (261 would be Shift+Alt):
// the user is told once and the file keeps them. 0/0 is a cleared hot key.
TEST_F(SettingsTest, HotKeyOutsideWhatTheSettingsHoldIsInvalidAndKept)
{
    const char* const rows[][3] = {{"261", "123", "0"}, {"16", "123", "0"}, {"-1", "123", "0"}, {"2", "256", "0"},
                                   {"2", "-1", "0"},    {"15", "255", "1"}, {"0", "0", "1"}};
    for (const auto& row : rows) {
        const QByteArray stored =
            QByteArray("[Settings\\HotKeys\\Get Text]\nModifier_Key=") + row[0] + "\nVirtual_Key=" + row[1] + "\n";
        WriteFile(stored);
        Settings s = Load();
        const bool valid = row[2][0] == '1';
        EXPECT_EQ(s.HotKeys.front().valid, valid) << stored.constData();
        EXPECT_EQ(s.Notices.size(), valid ? 0 : 1) << stored.constData();
        ASSERT_TRUE(SaveSettings(s, context));
        EXPECT_TRUE(ReadFile().startsWith(stored)) << stored.constData();
    }
    WriteFile("[Settings\\HotKeys\\Get Text]\nModifier_Key=261\n");
    EXPECT_THAT(Load().Notices,
                ElementsAre(QStringLiteral("The hot key stored in %1 is not valid (Modifier_Key=261, Virtual_Key=123), "
                                           "so none is registered; set another in the options.")
                                .arg(QDir::toNativeSeparators(path))));
}

// A back-end that is not installed gives this run the locale's, with one
// notice and no message on any look-up; the save keeps the user's choice.
TEST_F(SettingsTest, MissingBackEndIsReplacedForThisRunOnly)
{
    ime.layouts = {0xE0010411, 0x4090409};
    ime.descriptions[0xE0010411] = QStringLiteral("MeCab IPADIC");
    ime.refusesUnlisted = true;
    ime.candidate = QStringLiteral("かんじ");
    for (const QString& missing : {QStringLiteral("E0020411"), QStringLiteral("E0090411")}) {
        WriteFile("[Settings]\nkeylayout=" + missing.toLatin1() + "\n");
        catalog.clear();
        Settings s = Load();
        EXPECT_THAT(s.Notices, ElementsAre(QStringLiteral("The reading back-end %1 is not installed; using E0010411, "
                                                          "MeCab IPADIC (Japanese), for now. %1 stays chosen and is "
                                                          "used again once it is installed.")
                                               .arg(missing)));
        FakeClock clock(log);
        CReadingEngine engine(ime, clock, ui);
        EXPECT_TRUE(engine.SelectIme(s.ReadingLayout, 1));
        EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
        EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
        EXPECT_TRUE(ui.boxes.empty()) << missing.toStdString();
        ASSERT_TRUE(SaveSettings(s, context));
        EXPECT_EQ(profile.GetString(QStringLiteral("Settings"), QStringLiteral("keylayout"), QString()), missing);
    }
    WriteFile("[Settings]\nkeylayout=4090409\n");  // an installed one in any case: no notice
    catalog.clear();
    const Settings s = Load();
    EXPECT_TRUE(s.Notices.isEmpty());
    EXPECT_EQ(s.ReadingLayout, QStringLiteral("4090409"));
}

// A save that cannot be made says which file and why, leaves the old file,
// and is told once: in a box on the desktop, else as one line.
TEST_F(SettingsTest, FailedSaveNamesTheFileAndTheReasonOnce)
{
    ASSERT_TRUE(QDir().mkdir(path));
    Settings s = Load();
    ProfileWriteResult saved = SaveSettings(s, context);
    EXPECT_FALSE(saved);
    const QString directory =
        QStringLiteral("error on write %1\nit is a directory, not a settings file").arg(QDir::toNativeSeparators(path));
    EXPECT_EQ(saved.Message(), directory);
    ASSERT_TRUE(QDir().rmdir(path));

    const QByteArray large(16 * 1024 * 1024 + 1, ';');
    WriteFile(large);
    saved = SaveSettings(s, context);
    EXPECT_THAT(saved.error.toStdString(), HasSubstr("larger than 16 MiB"));
    EXPECT_EQ(ReadFile(), large);

    QString printed;
    QTextStream err(&printed);
    ReportUnsavedSettings(saved, &ui, err);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0], std::make_pair(saved.Message(), MB_OK | MB_ICONERROR));
    EXPECT_TRUE(printed.isEmpty());
    ReportUnsavedSettings(saved, nullptr, err);
    EXPECT_EQ(printed, "kotobane: error on write " + QDir::toNativeSeparators(path) + ": " + saved.error + "\n");
    ReportUnsavedSettings(ProfileWriteResult{path, QString()}, &ui, err);
    EXPECT_EQ(ui.boxes.size(), 1u);
}

// A crash during the save leaves the old file or the new one, never a mix.
TEST_F(SettingsTest, SaveReplacesTheFileOnce)
{
    for (const char* start : {"", "; mine\r\n[SETTINGS]\r\nbackground=1\r\nUnknown=x\r\n[history]\r\nDAYS=3"}) {
        WriteFile(start);
        Settings s = Load();
        int replaced = 0;
        IniProfile::SetBeforeReplaceHook([&] { ++replaced; });
        SaveSettings(s, context);
        IniProfile::SetBeforeReplaceHook({});
        EXPECT_EQ(replaced, 1) << start;
    }
}

TEST(DateTimeParse, PartialAndBrokenValues)
{
    EXPECT_EQ(ParseDateTime(QStringLiteral("2007/03/05")), Local(2007, 3, 5));
    EXPECT_EQ(ParseDateTime(QStringLiteral("2007/03/05 14:07:09")), Local(2007, 3, 5, 14, 7, 9));
    EXPECT_EQ(ParseDateTime(QString()), Local(1980, 1, 1));
    EXPECT_EQ(ParseDateTime(QStringLiteral("2001")), Local(2001, 1, 1));
    EXPECT_EQ(ParseDateTime(QStringLiteral("2007/13/01")), Local(2008, 1, 1));  // normalised
    EXPECT_EQ(ParseDateTime(QStringLiteral("1969/12/31 12:00:00")), Local(1969, 12, 31, 12));
    // Numbers that form no usable time give the starting value.
    EXPECT_EQ(ParseDateTime(QStringLiteral("abc")), Local(1980, 1, 1));
    EXPECT_EQ(ParseDateTime(QStringLiteral("99999999999/1/1")), Local(1980, 1, 1));
    // A huge month is clamped to a million months, not wrapped or overflowed.
    EXPECT_EQ(ParseDateTime(QStringLiteral("2000/99999999999/1")).date(), QDate(85333, 4, 1));

    EXPECT_EQ(ParseTime(QStringLiteral("7:5")), Local(1990, 1, 1, 7, 5));
    EXPECT_EQ(ParseTime(QStringLiteral("10:00:00")), Local(1990, 1, 1, 10));
    EXPECT_EQ(ParseTime(QStringLiteral("::")), Local(1990, 1, 1));
    EXPECT_EQ(FormatTime(ParseTime(QStringLiteral("23:59:59"))), QStringLiteral("23:59:59"));
    EXPECT_EQ(FormatDateTime(Local(2007, 3, 5, 14, 7, 9)), QStringLiteral("2007/03/05 14:07:09"));
}

TEST(HistoryDue, CountsCalendarDays)
{
    const QDateTime now = Local(2024, 3, 10, 0, 1);
    EXPECT_EQ(DaysBetween(Local(2024, 3, 8, 23, 59), now), 2);
    EXPECT_EQ(DaysBetween(Local(2024, 3, 7, 0, 0), now), 3);
    EXPECT_EQ(DaysBetween(Local(2024, 3, 10, 23, 0), now), 0);
    EXPECT_EQ(DaysBetween(Local(2024, 3, 12), now), -2);  // the clock was set back
    EXPECT_EQ(DaysBetween(Local(2023, 3, 10), now), 366);
    EXPECT_EQ(DaysBetween(Local(1980, 1, 1), Local(1980, 1, 1, 23, 59, 59)), 0);
}

TEST_F(SettingsTest, HistoryDueFollowsDaysAndTheSwitch)
{
    context.now = Local(2024, 3, 10, 0, 1);
    WriteFile("[History]\nDays=3\nDispHis=2024/03/08 23:59:00\n");
    EXPECT_FALSE(Load().HistoryDue);
    WriteFile("[History]\nDays=3\nDispHis=2024/03/07 00:00:00\n");
    EXPECT_TRUE(Load().HistoryDue);
    WriteFile("[History]\nDays=3\nDispHis=2024/03/07\nAutoDispHis=0\n");
    EXPECT_FALSE(Load().HistoryDue);
    WriteFile("[History]\nDays=0\nDispHis=2024/03/12\n");
    EXPECT_FALSE(Load().HistoryDue);
    WriteFile("[History]\nDays=0\nDispHis=2024/03/10 23:00:00\n");
    EXPECT_TRUE(Load().HistoryDue);
}

TEST_F(SettingsTest, WindowPlacementsNeedTenNumbers)
{
    const QString section = QStringLiteral("Settings");
    WindowPlacement p;
    p.left = 77;
    WriteFile("[Settings]\nA=0,1,2,3,4,5,6,7,8\nB=2,3,-1,-1,-32000,-32000,10,20,30,40 and more\nC=\nD=1, "
              "2,3,4,5,6,7,8,9,10\n");
    EXPECT_FALSE(ReadWindowPlacement(profile, section, QStringLiteral("A"), p));
    EXPECT_FALSE(ReadWindowPlacement(profile, section, QStringLiteral("C"), p));
    EXPECT_FALSE(ReadWindowPlacement(profile, section, QStringLiteral("Missing"), p));
    EXPECT_EQ(p.left, 77);  // untouched
    EXPECT_TRUE(ReadWindowPlacement(profile, section, QStringLiteral("D"), p));  // blanks before numbers
    ASSERT_TRUE(ReadWindowPlacement(profile, section, QStringLiteral("B"), p));
    EXPECT_EQ(p, (WindowPlacement{44, 2, 3, -1, -1, -32000, -32000, 10, 20, 30, 40}));

    WindowPlacement q{0, 0, 1, -1, -1, -1, -1, 100, 200, 500, 420};
    WriteWindowPlacement(profile, section, QStringLiteral("DlgReading"), q);
    EXPECT_THAT(ReadFile().toStdString(), HasSubstr("DlgReading=0,1,-1,-1,-1,-1,100,200,500,420"));
    WindowPlacement r;
    ASSERT_TRUE(ReadWindowPlacement(profile, section, QStringLiteral("DlgReading"), r));
    q.length = 44;
    EXPECT_EQ(r, q);
}

TEST_F(SettingsTest, SaveKilledHalfwayLeavesTheOldFile)
{
    // A death test may run this test again in a new process, with a new
    // temporary directory: the parent's file is named in the environment.
    static const char kVariable[] = "KOTOBANE_TEST_KILLED_SAVE";
    const QByteArray inherited = qgetenv(kVariable);
    const QString target = inherited.isEmpty() ? path : QString::fromUtf8(inherited);
    if (inherited.isEmpty()) {
        WriteFile("[Settings]\r\nBackground=255\r\n; kept\r\n");
        qputenv(kVariable, path.toUtf8());
    }
    const QByteArray before = ReadFile();
    const IniProfile targetProfile(target);
    SettingsContext targetContext{targetProfile, ime, ui, catalog, speech, DefaultFont(), context.now};
    Settings s;
    LoadSettings(s, targetContext);
    s.Background = 1;
    EXPECT_EXIT(
        {
            IniProfile::SetBeforeReplaceHook([] { std::raise(SIGKILL); });
            SaveSettings(s, targetContext);
        },
        ::testing::KilledBySignal(SIGKILL), "");
    qunsetenv(kVariable);
    EXPECT_EQ(ReadFile(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("Kotobane.ini")})
        << "no temporary file is left to confuse the next start";

    // The same save without the interruption does reach this file.
    SaveSettings(s, targetContext);
    EXPECT_THAT(ReadFile().toStdString(), HasSubstr("Background=1\r\n"));
    EXPECT_THAT(ReadFile().toStdString(), HasSubstr("; kept"));
}

// A kill -9 at any moment of the exit save leaves the old file or the new
// one, never a mix of their keys.
TEST_F(SettingsTest, SaveKilledAtAnyMomentLeavesTheOldOrTheNewFile)
{
    WriteFile("[Settings]\r\nBackground=255\r\nkeylayout=E0010411\r\n; kept\r\n");
    const QByteArray before = ReadFile();
    Settings s;
    LoadSettings(s, context);
    s.Background = 1;
    s.keylayout = QStringLiteral("E0010804");
    s.RoundEdit = 3;
    SaveSettings(s, context);
    const QByteArray after = ReadFile();
    ASSERT_NE(after, before);

    std::mt19937 random(20261209);
    int old = 0;
    int whole = 0;
    for (int i = 0; i < 50; ++i) {
        WriteFile(before);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SaveSettings(s, context);
            _exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        const QByteArray now = ReadFile();
        ASSERT_TRUE(now == before || now == after) << "run " << i << ":\n" << now.toStdString();
        (now == before ? old : whole) += 1;
    }
    std::cout << "old file " << old << ", new file " << whole << " of 50\n";
}

TEST(SettingsHelpers, ColoursTokensAndFonts)
{
    EXPECT_EQ(ComplementColour(0x800000), 0x7FFFFFu);
    EXPECT_EQ(ComplementColour(0xFF123456), 0xEDCBA9u);
    EXPECT_EQ(ShiftColour(0x10F080, 0x20), 0x30FFA0u);
    EXPECT_EQ(ShiftColour(0x10F080, -0x90), 0x006000u);
    EXPECT_EQ(ShiftColour(0xFF000000, 0), 0u);

    QStringList tokens{QStringLiteral("x")};
    SplitTokens(QStringLiteral("//2007/03 05::"), QStringLiteral("/ :"), tokens);
    EXPECT_EQ(tokens,
              (QStringList{QStringLiteral("x"), QStringLiteral("2007"), QStringLiteral("03"), QStringLiteral("05")}));
    tokens.clear();
    SplitTokens(QStringLiteral("::"), QStringLiteral(":"), tokens);
    EXPECT_EQ(tokens, QStringList{QStringLiteral("::")});
    SplitTokens(QString(), QStringLiteral(":"), tokens);
    EXPECT_EQ(tokens.size(), 1);

    std::optional<LogFont> target = DefaultFont();
    std::optional<LogFont> empty;
    CopyFont(&target, &empty);
    EXPECT_EQ(target, DefaultFont());
    CopyFont(&target, nullptr);
    CopyFont(nullptr, &target);
    std::optional<LogFont> source = LogFont();
    CopyFont(&target, &source);
    EXPECT_EQ(target, LogFont());

    LogFont f;
    f.SetFaceName(QString(40, u'x'));
    EXPECT_EQ(f.FaceName().size(), 31);
    EXPECT_EQ(LogFont::FromBytes(f.ToBytes()), f);
    f.lfFaceName.fill(u'y');  // no terminator: all 32 units
    EXPECT_EQ(LogFont::FromBytes(f.ToBytes()).FaceName().size(), 32);
}

TEST(ProfilePaths, OverridePortableAndUserDirectories)
{
    QTemporaryDir exe;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());

    ProfilePaths p = ResolveProfilePaths(exe.path(), QString());
    EXPECT_EQ(p.settingsFile, home.filePath(QStringLiteral("config/kotobane/Kotobane.ini")));
    EXPECT_EQ(p.historyFile, home.filePath(QStringLiteral("data/kotobane/Kotobane.txt")));

    QFile beside(exe.filePath(QStringLiteral("Kotobane.ini")));
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    p = ResolveProfilePaths(exe.path(), QString());
    EXPECT_EQ(p.settingsFile, exe.filePath(QStringLiteral("Kotobane.ini")));
    EXPECT_EQ(p.historyFile, exe.filePath(QStringLiteral("Kotobane.txt")));

    p = ResolveProfilePaths(exe.path(), home.filePath(QStringLiteral("p")));
    EXPECT_EQ(p.settingsFile, home.filePath(QStringLiteral("p/Kotobane.ini")));
    EXPECT_FALSE(QDir(home.filePath(QStringLiteral("p"))).exists());  // created only when written
}

}  // namespace
