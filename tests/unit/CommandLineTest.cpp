#include "app/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QBuffer>
#include <QTemporaryDir>

#include "backends/LinuxImeService.h"
#include "fakes/FakeBackend.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeVoiceService.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

struct ConsoleTest : ::testing::Test {
    Recorder log;
    FakeClock clock{log};
    FakeMessageBox ui{log};
    FakeBackend* japanese = nullptr;
    std::unique_ptr<LinuxImeService> ime;
    QString stored;
    QString storedDir;

    ConsoleTest()
    {
        std::vector<std::unique_ptr<ReadingBackend>> backends;
        auto b = std::make_unique<FakeBackend>(0xE0010411, QStringLiteral("Fake"));
        japanese = b.get();
        japanese->readings[QStringLiteral("漢字")] = QStringLiteral("かんじ");
        japanese->readings[QStringLiteral("東京 特許")] = QStringLiteral("とうきょう とっきょ");
        backends.push_back(std::move(b));
        ime = std::make_unique<LinuxImeService>(std::move(backends), QLocale::c());
    }

    struct Result {
        int status;
        QString out;
        QString err;
    };
    Recorder voiceLog;
    SpeechSettings storedSpeech;
    bool voiceData = true;
    FakeVoiceService* voiceService = nullptr;

    Result Run(QStringList args, const QByteArray& input = QByteArray())
    {
        args.prepend(QStringLiteral("kotobane"));
        QByteArray inData = input;
        QBuffer in(&inData);
        in.open(QIODevice::ReadOnly);
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        ConsoleEnvironment env{in,
                               outStream,
                               errStream,
                               *ime,
                               clock,
                               ui,
                               [this](const QString& dir) { return dir == storedDir ? stored : QString(); },
                               [this](const QString&) { return storedSpeech; },
                               [this]() -> std::unique_ptr<VoiceService> {
                                   auto service = std::make_unique<FakeVoiceService>(voiceLog);
                                   service->canCreate = voiceData;
                                   voiceService = service.get();
                                   return service;
                               }};
        const int status = RunConsoleCommand(args, env);
        outStream.flush();
        errStream.flush();
        return {status, out, err};
    }
};

TEST_F(ConsoleTest, ReadPrintsWhatThePopupWouldShowForEachText)
{
    const Result r = Run({QStringLiteral("--read"), QStringLiteral("漢字"), QStringLiteral(" \t東京\t特許\r\n"),
                          QStringLiteral("abc"), QString(1001, u'字'), QStringLiteral("\u3000")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("漢字 (かんじ)\n東京 特許 (とうきょう とっきょ)\nabc\n"
                                    "The string is more than 1000 byte.\n\n"));
    EXPECT_EQ(r.err, QString());
}

TEST_F(ConsoleTest, ReadTakesStandardInputLinesWithoutTexts)
{
    const Result r =
        Run({QStringLiteral("--read"), QStringLiteral("--ime"), QStringLiteral("E0010411")},
            QByteArray("  \xe6\x9d\xb1\xe4\xba\xac\t\xe7\x89\xb9\xe8\xa8\xb1  \r\n\xe6\xbc\xa2\xe5\xad\x97"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("東京 特許 (とうきょう とっきょ)\n漢字 (かんじ)\n"));
}

TEST_F(ConsoleTest, LayoutComesFromIme_ThenSettings_ThenTheActiveOne)
{
    EXPECT_EQ(Run({QStringLiteral("--read"), QStringLiteral("漢字")}).out, QStringLiteral("漢字 (かんじ)\n"));
    EXPECT_EQ(
        Run({QStringLiteral("--read"), QStringLiteral("--ime"), QStringLiteral("4090409"), QStringLiteral("漢字")}).out,
        QStringLiteral("漢字\n"));
    EXPECT_EQ(
        Run({QStringLiteral("--read"), QStringLiteral("--ime"), QStringLiteral("e0010411"), QStringLiteral("漢字")})
            .out,
        QStringLiteral("漢字 (かんじ)\n"));
    stored = QStringLiteral("4090409");
    storedDir = QStringLiteral("/p");
    EXPECT_EQ(
        Run({QStringLiteral("--read"), QStringLiteral("--profile-dir"), QStringLiteral("/p"), QStringLiteral("漢字")})
            .out,
        QStringLiteral("漢字\n"));
}

TEST_F(ConsoleTest, UnknownImeAndBadOptionsAreUsageErrors)
{
    Result r =
        Run({QStringLiteral("--read"), QStringLiteral("--ime"), QStringLiteral("E0990411"), QStringLiteral("漢字")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, QString());
    EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr("unknown input method \"E0990411\""));

    r = Run({QStringLiteral("--read"), QStringLiteral("--bogus")});
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr("bogus"));

    r = Run({QStringLiteral("--autostart"), QStringLiteral("On")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, QStringLiteral("kotobane: --autostart takes on or off, not \"On\"\n"));
}

TEST_F(ConsoleTest, ListHelpAndVersion)
{
    Result r = Run({QStringLiteral("--list-imes")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("E0010411\tFake (Japanese)\n4090409\t4090409 (English)\n"));

    r = Run({QStringLiteral("--help")});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out.toStdString(), ::testing::HasSubstr("--list-imes"));
    EXPECT_THAT(r.out.toStdString(), ::testing::HasSubstr("--get-text"));
    EXPECT_THAT(r.out.toStdString(), ::testing::HasSubstr("--autostart <on|off>"));
    r = Run({QStringLiteral("--version")});
    EXPECT_EQ(r.out, QStringLiteral("kotobane " KOTOBANE_VERSION "\n"));
}

TEST_F(ConsoleTest, SpeakUsesTheStoredVoiceAndGivesAJapaneseVoiceTheReading)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("out.wav"));
    storedSpeech.EnableSpeech = false;  // an explicit request speaks anyway
    storedSpeech.Voice = QStringLiteral("Japanese");
    storedSpeech.AudioFormat = 1;
    ime->LoadKeyboardLayoutW(QStringLiteral("4090409"), KLF_ACTIVATE);
    Result r = Run({QStringLiteral("--speak"), QStringLiteral("--wav"), wav, QStringLiteral("漢字")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_THAT(voiceLog.calls, ::testing::Contains("SetFormatType 5"));
    EXPECT_THAT(voiceLog.calls, ::testing::Contains("WriteWav かんじ"));
    EXPECT_EQ(ime->GetKeyboardLayout(), 0x4090409u);  // the active layout stays

    struct Case {
        QStringList args;
        bool voiceData;
        const char* message;
    };
    for (const Case& c :
         {Case{{QStringLiteral("--speak"), QStringLiteral("--voice"), QStringLiteral("Nope"), QStringLiteral("a")},
               true,
               "unknown voice \"Nope\""},
          Case{{QStringLiteral("--speak"), QStringLiteral("a")}, false, "no speech voice: no voice data"},
          Case{{QStringLiteral("--speak"), QStringLiteral("--wav"), dir.filePath(QStringLiteral("no/x.wav")),
                QStringLiteral("a")},
               true,
               "Cannot write"}}) {
        voiceData = c.voiceData;
        r = Run(c.args);
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_THAT(r.err.toStdString(), ::testing::HasSubstr(c.message));
    }
    voiceData = true;
    voiceLog.Clear();
    r = Run({QStringLiteral("--speak"), QStringLiteral("--voice"), QStringLiteral("English"), QStringLiteral("漢字")});
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(voiceLog.calls, ::testing::Contains("Speak 漢字"));
    r = Run({QStringLiteral("--list-voices")});
    EXPECT_EQ(r.out, QStringLiteral("English\t409\nJapanese\t411\nKorean\t412\n"));
}

TEST(CommandLine, ModeAndInputLines)
{
    EXPECT_EQ(ModeFor({QStringLiteral("kotobane")}), Mode::Desktop);
    EXPECT_EQ(ModeFor({QStringLiteral("kotobane"), QStringLiteral("--read")}), Mode::Console);
    EXPECT_EQ(ModeFor({QStringLiteral("kotobane"), QStringLiteral("-h")}), Mode::Console);
    EXPECT_EQ(ModeFor({QStringLiteral("--read")}), Mode::Desktop);  // the program's own name
    EXPECT_EQ(ModeFor({QStringLiteral("k"), QStringLiteral("--"), QStringLiteral("--read")}), Mode::Desktop);
    EXPECT_EQ(
        ModeFor({QStringLiteral("k"), QStringLiteral("--profile-dir"), QStringLiteral("d"), QStringLiteral("--exit")}),
        Mode::Control);
    // --read wins: it never needs the running copy.
    EXPECT_EQ(ModeFor({QStringLiteral("k"), QStringLiteral("--exit"), QStringLiteral("--read")}), Mode::Console);
    EXPECT_EQ(ModeFor({QStringLiteral("k"), QStringLiteral("--show"), QStringLiteral("--exit")}), Mode::Control);
    // No display and no running copy needed.
    EXPECT_EQ(ModeFor({QStringLiteral("k"), QStringLiteral("--autostart"), QStringLiteral("on")}), Mode::Console);
    EXPECT_EQ(ModeFor({QStringLiteral("k"), QStringLiteral("--autostart=off")}), Mode::Console);

    EXPECT_THAT(InputLines(QByteArray("a\r\nb\n\nc")), ElementsAre("a", "b", "", "c"));
    EXPECT_THAT(InputLines(QByteArray("a\r\r\n")), ElementsAre("a\r"));
    EXPECT_THAT(InputLines(QByteArray("x\r")), ElementsAre("x\r"));
    EXPECT_TRUE(InputLines(QByteArray()).isEmpty());
}

TEST(ControlCommandTest, EachOptionSendsItsMenuCommand)
{
    const auto command = [](const char* option) {
        const QList<int> commands = ControlCommandsFor({QStringLiteral("kotobane"), QString::fromLatin1(option)});
        return commands.isEmpty() ? 0 : commands.first();
    };
    EXPECT_EQ(command("--get-text"), 32779);
    EXPECT_EQ(command("--history"), 32776);
    EXPECT_EQ(command("--options"), 32773);
    EXPECT_EQ(command("--exit"), 32772);
    EXPECT_EQ(command("--exit-now"), 0);
    EXPECT_EQ(command("-exit"), 0);
    EXPECT_TRUE(ControlCommandsFor({QStringLiteral("--exit")}).isEmpty());  // the program's own name
    EXPECT_TRUE(ControlCommandsFor({QStringLiteral("k"), QStringLiteral("--"), QStringLiteral("--exit")}).isEmpty());
    EXPECT_EQ(ControlCommandsFor({QStringLiteral("k"), QStringLiteral("--exit"), QStringLiteral("--history")}),
              QList<int>({32772, 32776}));
    // What follows "--" is text, not an option.
    EXPECT_EQ(ControlCommandsFor(
                  {QStringLiteral("k"), QStringLiteral("--exit"), QStringLiteral("--"), QStringLiteral("--history")}),
              QList<int>({32772}));

    // What another process may ask of the running copy: these and no more.
    for (int id : {1283, 32779, 32776, 32773, 32772}) {
        EXPECT_TRUE(IsRemoteCommand(id)) << id;
    }
    for (int id : {0, -1, 16, 1001, 1003, 1282, 1284, 32777}) {
        EXPECT_FALSE(IsRemoteCommand(id)) << id;
    }
}

}  // namespace
