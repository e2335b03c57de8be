#include "platform/speech/EspeakVoice.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMediaDevices>
#include <QThread>

#include <cerrno>
#include <cstring>

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include "core/ReplaceFile.h"
#include "core/SystemError.h"
#include "platform/speech/SpeechPcm.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcSpeech, "kotobane.speech", QtWarningMsg)

// Longer texts would hold minutes of audio in memory and the interface
// thread for as long; the popup never sends more than 1000 units.
constexpr qsizetype kMaxText = 20000;
constexpr int kDefaultFormatType = 22;
// How long playing may take beyond the sound's own length before it is
// given up (a stalled sound server): PulseAudio's null sink, like some
// network sinks, holds 2 s of sound before it plays any.
constexpr qint64 kPlayGraceMs = 4000;

// espeak-ng keeps one synthesizer per process: one service at a time owns it.
const void* g_owner = nullptr;
bool g_initialized = false;
// Where the synthesis callback puts the samples of the running synthesis.
std::vector<qint16>* g_samples = nullptr;

int CollectSamples(short* wav, int count, espeak_EVENT*)
{
    if (g_samples != nullptr && wav != nullptr && count > 0) {
        g_samples->insert(g_samples->end(), wav, wav + count);
    }
    return 0;
}

struct Voice {
    VoiceInfo info;
    QByteArray identifier;  // espeak-ng's voice file name, e.g. "jpx/ja"
};

QStringList LanguagesOf(const espeak_VOICE* voice)
{
    // A run of (priority byte, NUL-terminated name), ended by a zero byte.
    QStringList languages;
    const char* p = voice->languages;
    while (p != nullptr && *p != 0) {
        const char* name = p + 1;
        languages << QString::fromUtf8(name);
        p = name + std::strlen(name) + 1;
    }
    return languages;
}

QString FormatName(const PcmFormat& f)
{
    return QStringLiteral("%1 Hz %2 bit %3")
        .arg(f.sampleRate)
        .arg(f.bits)
        .arg(f.channels == 1 ? QStringLiteral("mono") : QStringLiteral("stereo"));
}

class EspeakVoiceService final : public VoiceService {
public:
    explicit EspeakVoiceService(QString dataPath) : m_dataPath(std::move(dataPath)) { }
    ~EspeakVoiceService() override { Release(); }

    bool Create(QString* errorText, quint32* errorCode) override;
    void Release() override;

    QList<VoiceInfo> Voices() override
    {
        QList<VoiceInfo> list;
        for (const Voice& v : m_voices) {
            list << v.info;
        }
        return list;
    }
    int CurrentVoice() override { return m_voice; }
    void SelectVoice(int index) override
    {
        if (index >= 0 && index < m_voices.size()) {
            m_voice = index;
        }
    }

    int GetRate() override { return m_rate; }
    void SetRate(int rate) override { m_rate = rate; }
    int GetVolume() override { return m_volume; }
    void SetVolume(int volume) override { m_volume = volume; }

    int FormatType() override { return m_formatType; }
    void SetFormatType(int type) override { m_formatType = type; }

    QStringList Outputs() override;
    int CurrentOutput() override;
    void SelectOutput(int index) override;

    bool Speak(const QString& text, QString* error) override;
    bool WriteWav(const QString& text, const QString& path, QString* error) override;

private:
    bool Synthesize(const QString& text, QByteArray* pcm, PcmFormat* format, QString* error);
    bool Play(const QByteArray& pcm, const PcmFormat& format, const QElapsedTimer& sinceCall, QString* error);

    QString m_dataPath;
    bool m_created = false;
    QList<Voice> m_voices;
    int m_voice = -1;
    int m_rate = 0;
    int m_volume = 100;
    int m_formatType = kDefaultFormatType;
    QByteArray m_outputId;  // the chosen output; empty: the system's default
};

bool EspeakVoiceService::Create(QString* errorText, quint32* errorCode)
{
    if (m_created) {
        return true;
    }
    auto fail = [&](const QString& text, quint32 code) {
        *errorText = text;
        *errorCode = code;
        return false;
    };
    if (g_owner != nullptr) {
        return fail(QStringLiteral("The speech synthesizer espeak-ng is already in use in this program."), EBUSY);
    }

    // espeak-ng cannot be initialised again once terminated (it hangs), so
    // it is initialised once per process and kept; Release() only lets go.
    const QByteArray path = m_dataPath.toLocal8Bit();
    espeak_ng_InitializePath(m_dataPath.isEmpty() ? nullptr : path.constData());
    const char* dataPath = nullptr;
    espeak_Info(&dataPath);
    // A given folder that lacks the data makes espeak-ng quietly use its own.
    const QString data = m_dataPath.isEmpty() ? QString::fromLocal8Bit(dataPath != nullptr ? dataPath : "")
                                              : m_dataPath + QStringLiteral("/espeak-ng-data");
    if (!QFileInfo::exists(data + QStringLiteral("/phontab"))) {
        return fail(QStringLiteral("The espeak-ng voice data is missing: %1 has no phontab. Install the "
                                   "package espeak-ng-data (on Debian and Ubuntu: sudo apt install "
                                   "espeak-ng-data).")
                        .arg(data),
                    ENOENT);
    }
    if (!g_initialized) {
        espeak_ng_ERROR_CONTEXT context = nullptr;
        espeak_ng_STATUS status = espeak_ng_Initialize(&context);
        espeak_ng_ClearErrorContext(&context);
        if (status == ENS_OK) {
            status = espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        }
        if (status != ENS_OK) {
            char message[512] = {};
            espeak_ng_GetStatusCodeMessage(status, message, sizeof message);
            // espeak-ng's own status codes have the high bit set; the rest
            // are errno values.
            const quint32 code = (status & 0x80000000u) != 0 ? quint32(EIO) : quint32(status);
            return fail(QStringLiteral("The espeak-ng voice data cannot be loaded from %1: %2. Reinstalling the "
                                       "package espeak-ng-data may mend it.")
                            .arg(data, QString::fromLocal8Bit(message)),
                        code);
        }
        g_initialized = true;
    }
    espeak_SetSynthCallback(CollectSamples);

    m_voices.clear();
    m_voice = -1;
    QStringList seen;
    for (const espeak_VOICE* const* v = espeak_ListVoices(nullptr); v != nullptr && *v != nullptr; ++v) {
        Voice voice;
        voice.identifier = (*v)->identifier;
        QString name = QString::fromUtf8((*v)->name).trimmed();
        if (name.isEmpty() || seen.contains(name)) {
            name += QStringLiteral(" (%1)").arg(QString::fromUtf8(voice.identifier));
        }
        seen << name;
        voice.info = {name, LanguageAttribute(LanguagesOf(*v))};
        m_voices << voice;
        if (voice.identifier == "gmw/en") {
            m_voice = int(m_voices.size()) - 1;  // espeak-ng's own default
        }
        // A Traditional Chinese user (404) finds a voice only by a
        // language attribute that starts with 404: the Mandarin voice is
        // offered a second time under that language and its own name.
        if (voice.identifier == "sit/cmn") {
            m_voices << Voice{{QStringLiteral("Chinese (Mandarin, Taiwan)"), QStringLiteral("404")}, voice.identifier};
        }
    }
    if (m_voices.isEmpty()) {
        return fail(QStringLiteral("espeak-ng has no voices. Install the package espeak-ng-data."), ENOENT);
    }
    if (m_voice < 0) {
        m_voice = 0;
    }
    g_owner = this;
    m_created = true;
    return true;
}

void EspeakVoiceService::Release()
{
    if (!m_created) {
        return;
    }
    g_owner = nullptr;
    m_created = false;
    m_voices.clear();
    m_voice = -1;
}

QStringList EspeakVoiceService::Outputs()
{
    QStringList list;
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    for (const QAudioDevice& device : outputs) {
        list << device.description();
    }
    return list;
}

int EspeakVoiceService::CurrentOutput()
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    const QByteArray id = m_outputId.isEmpty() ? QMediaDevices::defaultAudioOutput().id() : m_outputId;
    for (qsizetype i = 0; i < outputs.size(); ++i) {
        if (outputs[i].id() == id) {
            return int(i);
        }
    }
    return outputs.isEmpty() || !m_outputId.isEmpty() ? -1 : 0;
}

void EspeakVoiceService::SelectOutput(int index)
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    if (index >= 0 && index < outputs.size()) {
        m_outputId = outputs[index].id();
    }
}

bool EspeakVoiceService::Synthesize(const QString& text, QByteArray* pcm, PcmFormat* format, QString* error)
{
    if (!m_created || m_voice < 0) {
        *error = QStringLiteral("The speech synthesizer is not running.");
        return false;
    }
    if (text.size() > kMaxText) {
        *error =
            QStringLiteral("The text is too long to speak: %1 characters, at most %2.").arg(text.size()).arg(kMaxText);
        return false;
    }
    *format = PcmFormatOfType(m_formatType).value_or(*PcmFormatOfType(kDefaultFormatType));

    const Voice& voice = m_voices[m_voice];
    if (espeak_SetVoiceByName(voice.identifier.constData()) != EE_OK) {
        *error = QStringLiteral("espeak-ng cannot load the voice %1.").arg(voice.info.description);
        return false;
    }
    espeak_SetParameter(espeakRATE, EspeakWordsPerMinute(m_rate), 0);
    espeak_SetParameter(espeakVOLUME, EspeakVolume(m_volume), 0);

    std::vector<qint16> samples;
    const QByteArray utf8 = text.toUtf8();
    g_samples = &samples;
    const espeak_ERROR result = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    g_samples = nullptr;
    if (result != EE_OK) {
        *error = QStringLiteral("espeak-ng could not synthesize the text.");
        return false;
    }
    *pcm = ConvertPcm(samples, *format);
    return true;
}

bool EspeakVoiceService::Play(const QByteArray& pcm, const PcmFormat& format, const QElapsedTimer& sinceCall,
                              QString* error)
{
    const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
    QAudioDevice device;
    for (const QAudioDevice& d : outputs) {
        if (d.id() == m_outputId) {
            device = d;
        }
    }
    if (device.isNull() && !outputs.isEmpty()) {
        device = QMediaDevices::defaultAudioOutput();
    }
    if (device.isNull()) {
        *error = QStringLiteral("There is no audio output (is the sound server running?).");
        return false;
    }

    QAudioFormat qformat;
    qformat.setSampleRate(format.sampleRate);
    qformat.setChannelCount(format.channels);
    qformat.setSampleFormat(format.bits == 8 ? QAudioFormat::UInt8 : QAudioFormat::Int16);
    QAudioSink sink(device, qformat);
    // Push mode from this call: the interface thread is blocked while
    // speaking, so nothing could run a pull mode's timer.
    QIODevice* io = sink.start();
    // Without a sound server start() fails with no signal: ask.
    if (io == nullptr || sink.error() != QAudio::NoError) {
        *error =
            QStringLiteral("Cannot open the audio output %1 for %2.").arg(device.description(), FormatName(format));
        return false;
    }

    const qint64 durationMs = PcmDurationMs(format, pcm.size());
    QElapsedTimer playing;
    playing.start();
    const qint64 deadlineMs = durationMs + kPlayGraceMs;
    auto wait = [] {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        }
        QThread::msleep(5);
    };

    qint64 written = 0;
    while (written < pcm.size()) {
        if (playing.elapsed() > deadlineMs || sink.error() != QAudio::NoError) {
            sink.reset();
            *error = QStringLiteral("The audio output %1 stopped taking the sound.").arg(device.description());
            return false;
        }
        const qint64 free = sink.bytesFree();
        if (free <= 0) {
            wait();
            continue;
        }
        const qint64 n = io->write(pcm.constData() + written, std::min(free, qint64(pcm.size()) - written));
        if (n < 0) {
            sink.reset();
            *error = QStringLiteral("Cannot write to the audio output %1.").arg(device.description());
            return false;
        }
        if (written == 0 && n > 0) {
            qCDebug(lcSpeech) << "first buffer written" << sinceCall.elapsed() << "ms after the call";
        }
        written += n;
    }
    // All is in the sink; wait until it has been played.
    while (sink.processedUSecs() < durationMs * 1000 && playing.elapsed() <= deadlineMs
           && sink.error() == QAudio::NoError) {
        wait();
    }
    const qint64 playedMs = sink.processedUSecs() / 1000;
    qCDebug(lcSpeech) << "played" << playedMs << "of" << durationMs << "ms in" << playing.elapsed() << "ms";
    // Everything has been played, so nothing is lost by reset(); Qt 6.4's
    // stop() drains the PulseAudio stream with a callback that can still
    // fire after the sink is gone (a crash at exit in one run of four).
    sink.reset();
    if (playedMs < durationMs) {
        *error = QStringLiteral("The audio output %1 did not finish playing in time.").arg(device.description());
        return false;
    }
    return true;
}

bool EspeakVoiceService::Speak(const QString& text, QString* error)
{
    QElapsedTimer sinceCall;
    sinceCall.start();
    QByteArray pcm;
    PcmFormat format;
    if (!Synthesize(text, &pcm, &format, error)) {
        return false;
    }
    if (pcm.isEmpty()) {
        return true;  // nothing to say (blank text)
    }
    return Play(pcm, format, sinceCall, error);
}

bool EspeakVoiceService::WriteWav(const QString& text, const QString& path, QString* error)
{
    QByteArray pcm;
    PcmFormat format;
    if (!Synthesize(text, &pcm, &format, error)) {
        return false;
    }
    // A file is replaced only when the new one is complete; a FIFO or a
    // device is written to, as a shell's redirection would.
    FileReplacer file(path, OtherTargets::WriteThrough);
    if (!file.Open() || !file.Write(WavHeader(format, quint32(pcm.size()))) || !file.Write(pcm) || !file.Commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, SystemErrorText(quint32(file.Error())));
        return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<VoiceService> CreateEspeakVoiceService()
{
    return std::make_unique<EspeakVoiceService>(QString());
}

std::unique_ptr<VoiceService> CreateEspeakVoiceService(const QString& dataPath)
{
    return std::make_unique<EspeakVoiceService>(dataPath);
}

}  // namespace kotobane
