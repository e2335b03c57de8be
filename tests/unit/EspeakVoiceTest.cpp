#include "platform/speech/EspeakVoice.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QtEndian>

#include <cerrno>
#include <cmath>

#include "platform/speech/SpeechPcm.h"

using namespace kotobane;

namespace {

TEST(SpeechPcmTest, LanguageAttributesFromEspeakLanguages)
{
    struct Case {
        QStringList languages;
        const char* attribute;
    };
    const Case cases[] = {
        {{"ja"}, "411"},
        {{"ko"}, "412"},
        {{"cmn", "zh-cmn", "zh"}, "804"},  // each identifier once
        {{"yue", "zh-yue", "zh"}, "c04;804"},  // in the voice's order
        {{"en-us", "en"}, "409"},  // the bare "en" is not guessed
        {{"en-gb", "en"}, "809"},
        {{"fr-fr", "fr"}, "40c"},
        {{"EN-US"}, "409"},
        {{"xx", "de"}, "407"},  // unknown languages left out
        {{"en-us-nyc"}, ""},
        {{}, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LanguageAttribute(c.languages), QLatin1String(c.attribute)) << qPrintable(c.languages.join(','));
    }
}

TEST(SpeechPcmTest, RateAndVolumeOnEspeakScales)
{
    const std::pair<int, int> rates[] = {{0, 175}, {5, 303}, {-5, 101}, {10, 450}, {-10, 80}, {30, 450}};
    for (const auto& [rate, wpm] : rates) {
        EXPECT_EQ(EspeakWordsPerMinute(rate), wpm) << rate;
    }
    const std::pair<int, int> volumes[] = {{0, 0}, {50, 50}, {100, 100}, {150, 100}, {-5, 0}};
    for (const auto& [volume, amplitude] : volumes) {
        EXPECT_EQ(EspeakVolume(volume), amplitude) << volume;
    }
}

TEST(SpeechPcmTest, ConvertsSampleSizeAndChannels)
{
    const std::vector<qint16> samples = {-32768, -1, 0, 256, 32767};
    EXPECT_EQ(ConvertPcm(samples, {22050, 1, 8}), QByteArray("\x00\x7f\x80\x81\xff", 5));
    EXPECT_EQ(ConvertPcm(samples, {22050, 2, 8}), QByteArray("\x00\x00\x7f\x7f\x80\x80\x81\x81\xff\xff", 10));
    const QByteArray s16 = ConvertPcm(samples, {22050, 2, 16});
    ASSERT_EQ(s16.size(), 20);
    for (size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(qFromLittleEndian<qint16>(s16.constData() + 4 * i), samples[i]);
        EXPECT_EQ(qFromLittleEndian<qint16>(s16.constData() + 4 * i + 2), samples[i]);
    }
}

TEST(SpeechPcmTest, ResamplesToTheFormatsRateKeepingTheSound)
{
    // One second of a 440 Hz tone.
    std::vector<qint16> tone(22050);
    for (size_t i = 0; i < tone.size(); ++i) {
        tone[i] = qint16(10000 * std::sin(2 * M_PI * 440 * double(i) / 22050));
    }
    for (const int rate : {8000, 11025, 44100, 48000}) {
        const QByteArray out = ConvertPcm(tone, {rate, 1, 16});
        const qsizetype count = out.size() / 2;
        EXPECT_NEAR(count, rate, 2) << rate;
        double sum = 0;
        for (qsizetype i = count / 4; i < 3 * count / 4; ++i) {
            const double v = qFromLittleEndian<qint16>(out.constData() + 2 * i);
            sum += v * v;
        }
        EXPECT_NEAR(std::sqrt(sum / (count / 2)), 10000 / std::sqrt(2.0), 200) << rate;  // the tone's RMS
        EXPECT_EQ(PcmDurationMs({rate, 1, 16}, out.size()), 1000) << rate;
        EXPECT_EQ(ConvertPcm(tone, {rate, 1, 16}), out) << rate;  // the same every time
    }
    EXPECT_TRUE(ConvertPcm({}, {8000, 2, 8}).isEmpty());
}

TEST(SpeechPcmTest, WavHeaderDescribesTheFormat)
{
    const QByteArray expected("RIFF\x0c\x04\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x02\x00"
                              "\x40\x1f\x00\x00\x80\x3e\x00\x00\x02\x00\x08\x00"
                              "data\xe8\x03\x00\x00",
                              44);
    EXPECT_EQ(WavHeader({8000, 2, 8}, 1000), expected);
    const QByteArray h = WavHeader({48000, 2, 16}, 0);
    EXPECT_EQ(qFromLittleEndian<quint32>(h.constData() + 28), 192000u);  // bytes per second
    EXPECT_EQ(qFromLittleEndian<quint16>(h.constData() + 32), 4u);  // block align
    EXPECT_EQ(qFromLittleEndian<quint16>(h.constData() + 34), 16u);
}

// The real synthesizer, when its voice data is installed.
class EspeakVoiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = CreateEspeakVoiceService();
        QString error;
        quint32 code = 0;
        if (!service->Create(&error, &code)) {
            GTEST_SKIP() << "no espeak-ng voice data: " << qPrintable(error);
        }
    }
    int VoiceOf(const QString& description)
    {
        const QList<VoiceInfo> voices = service->Voices();
        for (qsizetype i = 0; i < voices.size(); ++i) {
            if (voices[i].description == description) {
                return int(i);
            }
        }
        return -1;
    }
    std::unique_ptr<VoiceService> service;
};

TEST_F(EspeakVoiceTest, VoicesHaveUniqueStableNamesAndATaiwanMandarin)
{
    const QList<VoiceInfo> voices = service->Voices();
    QSet<QString> names;
    for (const VoiceInfo& v : voices) {
        EXPECT_FALSE(v.description.isEmpty());
        EXPECT_FALSE(names.contains(v.description)) << qPrintable(v.description);
        names.insert(v.description);
    }
    const int japanese = VoiceOf(QStringLiteral("Japanese"));
    ASSERT_GE(japanese, 0);
    EXPECT_EQ(voices[japanese].language, QStringLiteral("411"));
    const int taiwan = VoiceOf(QStringLiteral("Chinese (Mandarin, Taiwan)"));
    ASSERT_GE(taiwan, 1);
    EXPECT_EQ(voices[taiwan].language, QStringLiteral("404"));
    EXPECT_TRUE(voices[taiwan - 1].language.startsWith(QStringLiteral("804")));

    service->Release();
    EXPECT_TRUE(service->Voices().isEmpty());
    QString error;
    quint32 code = 0;
    ASSERT_TRUE(service->Create(&error, &code)) << qPrintable(error);
    QStringList again;
    for (const VoiceInfo& v : service->Voices()) {
        again << v.description;
    }
    QStringList first;
    for (const VoiceInfo& v : voices) {
        first << v.description;
    }
    EXPECT_EQ(again, first);
}

TEST_F(EspeakVoiceTest, WavOfKanjiIsNonSilentInTheChosenFormat)
{
    service->SelectVoice(VoiceOf(QStringLiteral("Japanese")));
    service->SetFormatType(5);  // 8 kHz 8 bit stereo
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out.wav"));
    QString error;
    ASSERT_TRUE(service->WriteWav(QStringLiteral("漢字"), path, &error)) << qPrintable(error);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray wav = file.readAll();
    ASSERT_GT(wav.size(), 44 + 8000);  // more than half a second
    const quint32 data = qFromLittleEndian<quint32>(wav.constData() + 40);
    EXPECT_EQ(wav.left(44), WavHeader({8000, 2, 8}, data));
    EXPECT_EQ(qsizetype(data), wav.size() - 44);
    int loud = 0;
    for (qsizetype i = 44; i < wav.size(); i += 2) {
        EXPECT_EQ(wav[i], wav[i + 1]);  // both channels alike
        loud += std::abs(int(quint8(wav[i])) - 128) > 16;
    }
    EXPECT_GT(loud, 800);

    // An unknown type speaks in the default; the type itself stays.
    service->SetFormatType(2);
    ASSERT_TRUE(service->WriteWav(QStringLiteral("漢字"), path, &error)) << qPrintable(error);
    EXPECT_EQ(service->FormatType(), 2);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(44).mid(22, 14), WavHeader({22050, 1, 16}, 0).mid(22, 14));
}

TEST_F(EspeakVoiceTest, FailuresAreReportedAndKeepWhatExists)
{
    QTemporaryDir dir;
    const QString kept = dir.filePath(QStringLiteral("kept.wav"));
    QString error;
    ASSERT_TRUE(service->WriteWav(QStringLiteral("a"), kept, &error));
    const qint64 size = QFileInfo(kept).size();

    const QString unwritable = dir.filePath(QStringLiteral("none/out.wav"));
    EXPECT_FALSE(service->WriteWav(QStringLiteral("a"), unwritable, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write ") + unwritable)) << qPrintable(error);

    error.clear();
    EXPECT_FALSE(service->WriteWav(QString(30000, QLatin1Char('a')), kept, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The text is too long to speak"))) << qPrintable(error);
    EXPECT_EQ(QFileInfo(kept).size(), size);

    // espeak-ng is one per process: a second service is refused.
    auto second = CreateEspeakVoiceService();
    quint32 code = 0;
    EXPECT_FALSE(second->Create(&error, &code));
    EXPECT_EQ(code, quint32(EBUSY));

    service->Release();
    EXPECT_FALSE(service->WriteWav(QStringLiteral("a"), kept, &error));
    auto missing = CreateEspeakVoiceService(dir.filePath(QStringLiteral("no-data")));
    error.clear();
    code = 0;
    EXPECT_FALSE(missing->Create(&error, &code));
    EXPECT_TRUE(error.startsWith(QStringLiteral("The espeak-ng voice data is missing: "))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QStringLiteral("Install the package espeak-ng-data"))) << qPrintable(error);
    EXPECT_NE(code, 0u);
}

}  // namespace
