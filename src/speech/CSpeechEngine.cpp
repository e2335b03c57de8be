#include "speech/CSpeechEngine.h"

#include "core/MessageBoxService.h"

namespace kotobane {

const AudioFormatRow AudioFormatTable[36] = {
    {"8kHz 8 Bit Mono", 4},   {"8kHz 8 Bit Stereo", 5},   {"8kHz 16 Bit Mono", 6},   {"8kHz 16 Bit Stereo", 7},
    {"11kHz 8 Bit Mono", 8},  {"11kHz 8 Bit Stereo", 9},  {"11kHz 16 Bit Mono", 10}, {"11kHz 16 Bit Stereo", 11},
    {"12kHz 8 Bit Mono", 12}, {"12kHz 8 Bit Stereo", 13}, {"12kHz 16 Bit Mono", 14}, {"12kHz 16 Bit Stereo", 15},
    {"16kHz 8 Bit Mono", 16}, {"16kHz 8 Bit Stereo", 17}, {"16kHz 16 Bit Mono", 18}, {"16kHz 16 Bit Stereo", 19},
    {"22kHz 8 Bit Mono", 20}, {"22kHz 8 Bit Stereo", 21}, {"22kHz 16 Bit Mono", 22}, {"22kHz 16 Bit Stereo", 23},
    {"24kHz 8 Bit Mono", 24}, {"24kHz 8 Bit Stereo", 25}, {"24kHz 16 Bit Mono", 26}, {"24kHz 16 Bit Stereo", 27},
    {"32kHz 8 Bit Mono", 28}, {"32kHz 8 Bit Stereo", 29}, {"32kHz 16 Bit Mono", 30}, {"32kHz 16 Bit Stereo", 31},
    {"44kHz 8 Bit Mono", 32}, {"44kHz 8 Bit Stereo", 33}, {"44kHz 16 Bit Mono", 34}, {"44kHz 16 Bit Stereo", 35},
    {"48kHz 8 Bit Mono", 36}, {"48kHz 8 Bit Stereo", 37}, {"48kHz 16 Bit Mono", 38}, {"48kHz 16 Bit Stereo", 39},
};

QString LanguageKey(quint32 language)
{
    return QString::number(language & 0xFFFFu, 16);
}

QString ConversionLayoutFor(const QString& languageAttribute)
{
    // The voice's own language is the first of its identifiers.
    const QString first = languageAttribute.section(u';', 0, 0).trimmed().toLower();
    if (first == QStringLiteral("411")) {
        return QStringLiteral("E0010411");
    }
    if (first == QStringLiteral("412")) {
        return QStringLiteral("E0010412");
    }
    return QString();
}

CSpeechEngine::CSpeechEngine(VoiceService& service, MessageBoxService& ui, ReadingConversion convert)
    : m_service(service),
      m_ui(ui),
      m_convert(std::move(convert))
{ }

CSpeechEngine::~CSpeechEngine()
{
    Release();
}

bool CSpeechEngine::Initialize()
{
    if (m_ready) {
        return true;
    }
    QString text;
    quint32 code = 0;
    if (m_service.Create(&text, &code)) {
        m_ready = true;
        return true;
    }
    // No box here: at start-up speech is switched off silently, and the
    // speech page shows the kept text itself.
    m_lastErrorText = text.left(kMaxErrorText);
    m_lastErrorCode = code;
    m_ready = false;
    return false;
}

void CSpeechEngine::Release()
{
    if (!m_ready) {
        return;
    }
    m_service.Release();
    m_ready = false;
}

void CSpeechEngine::ListVoices(QStringList& voices)
{
    if (!m_ready) {
        return;
    }
    for (const VoiceInfo& voice : m_service.Voices()) {
        voices.append(voice.description);
    }
}

void CSpeechEngine::ListFormats(QStringList& formats)
{
    for (const AudioFormatRow& row : AudioFormatTable) {
        formats.append(QString::fromLatin1(row.name));
    }
}

void CSpeechEngine::ListOutputs(QStringList& outputs)
{
    if (m_ready) {
        outputs.append(m_service.Outputs());
    }
}

bool CSpeechEngine::SelectVoiceByDescription(const QString& description)
{
    if (!m_ready) {
        return false;
    }
    const QList<VoiceInfo> voices = m_service.Voices();
    for (int i = 0; i < voices.size(); ++i) {
        if (voices[i].description == description) {
            m_service.SelectVoice(i);
            return true;
        }
    }
    return false;
}

bool CSpeechEngine::SelectVoiceByLanguage(quint32 language)
{
    if (!m_ready) {
        return false;
    }
    const QString key = LanguageKey(language);
    const QList<VoiceInfo> voices = m_service.Voices();
    for (int i = 0; i < voices.size(); ++i) {
        // Only at the start: "409;411" is an English voice, not a Japanese one.
        if (voices[i].language.startsWith(key)) {
            m_service.SelectVoice(i);
            return true;
        }
    }
    return false;
}

QString CSpeechEngine::CurrentVoiceDescription()
{
    if (!m_ready) {
        return QString();
    }
    const QList<VoiceInfo> voices = m_service.Voices();
    const int current = m_service.CurrentVoice();
    return current >= 0 && current < voices.size() ? voices[current].description : QString();
}

QString CSpeechEngine::CurrentVoiceLanguage()
{
    if (!m_ready) {
        return QString();
    }
    const QList<VoiceInfo> voices = m_service.Voices();
    const int current = m_service.CurrentVoice();
    return current >= 0 && current < voices.size() ? voices[current].language : QString();
}

void CSpeechEngine::SetVolume(int volume)
{
    if (m_ready) {
        m_service.SetVolume(volume);
    }
}

int CSpeechEngine::GetVolume()
{
    return m_ready ? m_service.GetVolume() : 0;
}

void CSpeechEngine::SetRate(int rate)
{
    if (m_ready) {
        m_service.SetRate(rate);
    }
}

int CSpeechEngine::GetRate()
{
    return m_ready ? m_service.GetRate() : 0;
}

void CSpeechEngine::SetFormatIndex(int index)
{
    // A hand-edited index outside the table is ignored: the service keeps
    // its format, and the stored value stays for the user to see.
    if (!m_ready || index < 0 || index >= kAudioFormatCount) {
        return;
    }
    m_service.SetFormatType(AudioFormatTable[index].type);
}

int CSpeechEngine::CurrentFormatIndex()
{
    if (!m_ready) {
        return kFallbackFormatIndex;
    }
    const int type = m_service.FormatType();
    for (int i = 0; i < kAudioFormatCount; ++i) {
        if (AudioFormatTable[i].type == type) {
            return i;
        }
    }
    return kFallbackFormatIndex;
}

bool CSpeechEngine::SelectOutputByDescription(const QString& description)
{
    if (!m_ready) {
        return false;
    }
    const QStringList outputs = m_service.Outputs();
    const qsizetype index = outputs.indexOf(description);
    if (index < 0) {
        return false;
    }
    m_service.SelectOutput(int(index));
    return true;
}

QString CSpeechEngine::CurrentOutputDescription()
{
    if (!m_ready) {
        return QString();
    }
    const QStringList outputs = m_service.Outputs();
    const int current = m_service.CurrentOutput();
    return current >= 0 && current < outputs.size() ? outputs[current] : QString();
}

QString CSpeechEngine::PronounceableText(const QString& text)
{
    if (!m_convert) {
        return text;
    }
    const QString layout = ConversionLayoutFor(CurrentVoiceLanguage());
    if (layout.isEmpty()) {
        return text;
    }
    // Text the back-end has no reading for (kana only, Latin letters) is
    // spoken as it is.
    const QString converted = m_convert(layout, text);
    return converted.isEmpty() ? text : converted;
}

bool CSpeechEngine::SpeakText(const QString& text, QString* error)
{
    if (!m_ready) {
        *error = QStringLiteral("The speech voice is not ready.");
        return false;
    }
    return m_service.Speak(PronounceableText(text), error);
}

bool CSpeechEngine::WriteWav(const QString& text, const QString& path, QString* error)
{
    if (!m_ready) {
        *error = QStringLiteral("The speech voice is not ready.");
        return false;
    }
    return m_service.WriteWav(PronounceableText(text), path, error);
}

void CSpeechEngine::Speak(const QString& text)
{
    QString error;
    if (!SpeakText(text, &error)) {
        m_ui.MessageBox(error, MB_OK | MB_ICONEXCLAMATION);
    }
}

}  // namespace kotobane
