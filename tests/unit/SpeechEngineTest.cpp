#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes/FakePlatform.h"
#include "fakes/FakeVoiceService.h"
#include "speech/CSpeechEngine.h"
#include "speech/SpeechSettings.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

struct SpeechEngineTest : ::testing::Test {
    Recorder log;
    FakeVoiceService service{log};
    FakeMessageBox ui{log};
    std::vector<std::pair<QString, QString>> conversions;
    CSpeechEngine engine{service, ui, [this](const QString& layout, const QString& text) {
                             conversions.emplace_back(layout, text);
                             return text == QStringLiteral("abc") ? QString() : QStringLiteral("<") + text + u'>';
                         }};
};

TEST_F(SpeechEngineTest, InitializeAndReleaseStates)
{
    EXPECT_FALSE(engine.IsReady());
    engine.Release();  // nothing to release
    EXPECT_TRUE(engine.Initialize());
    EXPECT_TRUE(engine.Initialize());  // already ready: not created twice
    EXPECT_TRUE(engine.IsReady());
    engine.Release();
    engine.Release();
    EXPECT_FALSE(engine.IsReady());
    EXPECT_THAT(log.calls, ElementsAre("Create", "Release"));
    EXPECT_EQ(engine.LastErrorCode(), 0u);

    log.Clear();
    {
        CSpeechEngine other(service, ui);
        other.Initialize();
    }
    EXPECT_THAT(log.calls, ElementsAre("Create", "Release"));  // the destructor releases
}

TEST_F(SpeechEngineTest, FailedCreationKeepsTextAndCodeAndShowsNothing)
{
    service.canCreate = false;
    service.createError = QString(1500, u'x');
    service.createCode = 7;
    EXPECT_FALSE(engine.Initialize());
    EXPECT_FALSE(engine.IsReady());
    EXPECT_EQ(engine.LastErrorText().size(), 999);
    EXPECT_EQ(engine.LastErrorCode(), 7u);
    engine.Release();
    EXPECT_THAT(log.calls, ElementsAre("Create"));  // no box, no release
}

TEST_F(SpeechEngineTest, ListsAreTheBareDescriptionsAndTheFormatTable)
{
    engine.Initialize();
    QStringList voices{QStringLiteral("kept")};
    engine.ListVoices(voices);
    EXPECT_THAT(voices, ElementsAre("kept", "English", "Japanese", "Korean"));
    QStringList outputs;
    engine.ListOutputs(outputs);
    EXPECT_THAT(outputs, ElementsAre("Null Output", "Headset"));
    QStringList formats;
    engine.ListFormats(formats);
    ASSERT_EQ(formats.size(), 36);
    EXPECT_EQ(formats.front(), QStringLiteral("8kHz 8 Bit Mono"));
    EXPECT_EQ(formats[18], QStringLiteral("22kHz 16 Bit Mono"));
    EXPECT_EQ(formats.back(), QStringLiteral("48kHz 16 Bit Stereo"));
    for (int i = 0; i < 36; ++i) {
        // Each name says the rate, width and channels of its type.
        const PcmFormat format = *PcmFormatOfType(AudioFormatTable[i].type);
        EXPECT_EQ(AudioFormatTable[i].type, i + 4);
        EXPECT_TRUE(formats[i].startsWith(QString::number(format.sampleRate / 1000) + QStringLiteral("kHz ")));
        EXPECT_TRUE(formats[i].contains(QString::number(format.bits) + QStringLiteral(" Bit")));
        EXPECT_TRUE(formats[i].endsWith(format.channels == 1 ? QStringLiteral("Mono") : QStringLiteral("Stereo")));
    }
}

TEST_F(SpeechEngineTest, SelectionsByDescriptionTakeTheFirstExactMatch)
{
    engine.Initialize();
    service.voices.append({QStringLiteral("Japanese"), QStringLiteral("411")});
    service.outputs.append(QStringLiteral("Headset"));
    struct Case {
        QString description;
        bool found;
        int voice;
    };
    for (const Case& c : {Case{QStringLiteral("Japanese"), true, 1}, Case{QStringLiteral("japanese"), false, 1},
                          Case{QStringLiteral("Korea"), false, 1}, Case{QStringLiteral("Korean"), true, 2},
                          Case{QString(), false, 2}}) {
        EXPECT_EQ(engine.SelectVoiceByDescription(c.description), c.found) << c.description.toStdString();
        EXPECT_EQ(service.voice, c.voice) << c.description.toStdString();
    }
    EXPECT_EQ(engine.CurrentVoiceDescription(), QStringLiteral("Korean"));

    EXPECT_TRUE(engine.SelectOutputByDescription(QStringLiteral("Headset")));
    EXPECT_EQ(service.output, 1);
    EXPECT_FALSE(engine.SelectOutputByDescription(QStringLiteral("headset")));
    EXPECT_EQ(service.output, 1);
    EXPECT_EQ(engine.CurrentOutputDescription(), QStringLiteral("Headset"));
    service.output = -1;
    EXPECT_EQ(engine.CurrentOutputDescription(), QString());
}

TEST_F(SpeechEngineTest, SelectionByLanguageNeedsTheKeyAtTheStart)
{
    engine.Initialize();
    service.voices = {{QStringLiteral("English"), QStringLiteral("409;411")},
                      {QStringLiteral("Mandarin"), QStringLiteral("804;404")},
                      {QStringLiteral("Japanese"), QStringLiteral("411;409")},
                      {QStringLiteral("Cantonese"), QStringLiteral("c04")}};
    struct Case {
        quint32 language;
        bool found;
        int voice;
    };
    for (const Case& c : {Case{0xE0010411u, true, 2}, Case{0x0404u, false, 2}, Case{0x0C04u, true, 3},
                          Case{0x04090409u, true, 0}, Case{0x0412u, false, 0}, Case{0x0804u, true, 1}}) {
        EXPECT_EQ(engine.SelectVoiceByLanguage(c.language), c.found) << std::hex << c.language;
        EXPECT_EQ(service.voice, c.voice) << std::hex << c.language;
    }
    EXPECT_EQ(LanguageKey(0xE0010411u), QStringLiteral("411"));
    EXPECT_EQ(LanguageKey(0x0C04u), QStringLiteral("c04"));
}

TEST_F(SpeechEngineTest, FormatIndexAndPassedThroughValues)
{
    engine.Initialize();
    struct Case {
        int type;
        int index;
    };
    for (const Case& c : {Case{4, 0}, Case{22, 18}, Case{39, 35}, Case{3, 18}, Case{40, 18}, Case{-1, 18}}) {
        service.type = c.type;
        EXPECT_EQ(engine.CurrentFormatIndex(), c.index) << c.type;
    }
    log.Clear();
    for (int index : {0, 35, 36, -1, 1000, 5}) {
        engine.SetFormatIndex(index);
    }
    // Only indexes of the table reach the service.
    EXPECT_THAT(log.calls, ElementsAre("SetFormatType 4", "SetFormatType 39", "SetFormatType 9"));

    engine.SetRate(-25);
    engine.SetVolume(250);
    EXPECT_EQ(engine.GetRate(), -25);
    EXPECT_EQ(engine.GetVolume(), 250);
}

TEST_F(SpeechEngineTest, OnlyJapaneseAndKoreanVoicesAreGivenTheReading)
{
    engine.Initialize();
    service.voices.append({QStringLiteral("Japanese too"), QStringLiteral("411;409")});
    service.voices.append({QStringLiteral("English, Japanese"), QStringLiteral("409;411")});
    struct Case {
        int voice;
        QString text;
        QString spoken;
        QString layout;
    };
    for (const Case& c : {Case{0, QStringLiteral("漢字"), QStringLiteral("漢字"), QString()},
                          Case{1, QStringLiteral("漢字"), QStringLiteral("<漢字>"), QStringLiteral("E0010411")},
                          Case{2, QStringLiteral("韓國語"), QStringLiteral("<韓國語>"), QStringLiteral("E0010412")},
                          Case{3, QStringLiteral("漢字"), QStringLiteral("<漢字>"), QStringLiteral("E0010411")},
                          Case{4, QStringLiteral("漢字"), QStringLiteral("漢字"), QString()},
                          Case{1, QStringLiteral("abc"), QStringLiteral("abc"), QStringLiteral("E0010411")}}) {
        conversions.clear();
        service.spoken.clear();
        service.voice = c.voice;
        engine.Speak(c.text);
        EXPECT_THAT(service.spoken, ElementsAre(c.spoken)) << c.voice;
        if (c.layout.isEmpty()) {
            EXPECT_TRUE(conversions.empty()) << c.voice;
        } else {
            EXPECT_THAT(conversions, ElementsAre(std::pair(c.layout, c.text))) << c.voice;
        }
    }
}

TEST_F(SpeechEngineTest, SpeakWithoutAnOutputSaysSoAndStaysReady)
{
    engine.Initialize();
    service.canPlay = false;
    engine.Speak(QStringLiteral("hello"));
    EXPECT_THAT(log.calls, testing::Contains("MessageBox There is no audio output."));
    EXPECT_TRUE(engine.IsReady());
}

TEST_F(SpeechEngineTest, StoredSettingsAreAppliedInOrder)
{
    SpeechSettings s;
    s.Voice = QStringLiteral("Korean");
    s.Volume = 40;
    s.Rate = -3;
    s.AudioFormat = 1;
    s.AudioOutput = QStringLiteral("Headset");
    ApplyStoredSpeechSettings(s, QStringLiteral("E0010411"), engine);
    EXPECT_THAT(log.calls, ElementsAre("Create", "SelectVoice 2", "SetVolume 40", "SetRate -3", "SetFormatType 5",
                                       "SelectOutput 1"));

    // A voice and output gone and a hand-edited format: the service keeps
    // its own, the settings keep theirs.
    engine.Release();
    log.Clear();
    s.Voice = QStringLiteral("Gone");
    s.AudioFormat = 36;
    s.AudioOutput = QStringLiteral("Unplugged");
    ApplyStoredSpeechSettings(s, QStringLiteral("E0010411"), engine);
    EXPECT_THAT(log.calls, ElementsAre("Create", "SetVolume 40", "SetRate -3"));
    EXPECT_EQ(s.Voice, QStringLiteral("Gone"));
    EXPECT_EQ(s.AudioFormat, 36);
}

TEST_F(SpeechEngineTest, EmptyVoiceIsFilledFromTheService)
{
    struct Case {
        QString layout;
        QString voice;
        int output;
        QString outputText;
    };
    for (const Case& c : {Case{QStringLiteral("E0010412"), QStringLiteral("Korean"), 1, QStringLiteral("Headset")},
                          Case{QStringLiteral("4070407"), QStringLiteral("English"), -1, QString()}}) {
        engine.Release();
        service.voice = 0;
        service.output = c.output;
        service.type = 5;
        service.volume = 70;
        service.rate = 2;
        SpeechSettings s;
        ApplyStoredSpeechSettings(s, c.layout, engine);
        EXPECT_TRUE(s.EnableSpeech);
        EXPECT_EQ(s.Voice, c.voice);
        EXPECT_EQ(s.Volume, 70);
        EXPECT_EQ(s.Rate, 2);
        EXPECT_EQ(s.AudioFormat, 1);
        EXPECT_EQ(s.AudioOutput, c.outputText);
    }

    engine.Release();
    service.canCreate = false;
    SpeechSettings off;
    ApplyStoredSpeechSettings(off, QStringLiteral("E0010411"), engine);
    EXPECT_FALSE(off.EnableSpeech);
    EXPECT_EQ(off.Voice, QString());
}

}  // namespace
