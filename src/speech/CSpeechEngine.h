#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <functional>

#include "core/MessageBoxService.h"
#include "platform/VoiceService.h"
#include "speech/SpeechEngine.h"

namespace kotobane {

// The 36 audio formats the settings can choose, as (name, format type);
// the type of row i is always i + 4.
struct AudioFormatRow {
    const char* name;
    int type;
};
extern const AudioFormatRow AudioFormatTable[36];
inline constexpr int kAudioFormatCount = 36;
// The row used wherever a format index is needed and none is known.
inline constexpr int kFallbackFormatIndex = 18;

// Turns text into a form a voice can pronounce through the reading
// back-end of a layout ("E0010411", "E0010412"); "" when it has none.
using ReadingConversion = std::function<QString(const QString& layoutId, const QString& text)>;

// The speech voice over the platform's voice service.
class CSpeechEngine final : public SpeechEngine {
public:
    // convert may be empty: then every text goes to the voice as it is.
    CSpeechEngine(VoiceService& service, MessageBoxService& ui, ReadingConversion convert = {});
    ~CSpeechEngine() override;
    Q_DISABLE_COPY_MOVE(CSpeechEngine)

    bool Initialize() override;
    bool IsReady() const override { return m_ready; }
    void Release() override;

    void ListVoices(QStringList& voices) override;
    void ListFormats(QStringList& formats) override;
    void ListOutputs(QStringList& outputs) override;
    QString LastErrorText() const override { return m_lastErrorText; }
    quint32 LastErrorCode() const override { return m_lastErrorCode; }

    bool SelectVoiceByDescription(const QString& description) override;
    bool SelectVoiceByLanguage(quint32 language) override;
    QString CurrentVoiceDescription() override;
    void SetVolume(int volume) override;
    int GetVolume() override;
    void SetRate(int rate) override;
    int GetRate() override;
    void SetFormatIndex(int index) override;
    int CurrentFormatIndex() override;
    bool SelectOutputByDescription(const QString& description) override;
    QString CurrentOutputDescription() override;
    // Shows the reason in a message box when the text could not be played.
    void Speak(const QString& text) override;

    // The same as Speak and a WAV file of it, giving the reason instead of
    // showing it.
    bool SpeakText(const QString& text, QString* error);
    bool WriteWav(const QString& text, const QString& path, QString* error);
    // The text as the current voice is given it: kana for a Japanese voice,
    // hangul for a Korean one, else unchanged.
    QString PronounceableText(const QString& text);
    // The current voice's language attribute; "" when there is none.
    QString CurrentVoiceLanguage();

    static constexpr int kMaxErrorText = 999;

private:
    VoiceService& m_service;
    MessageBoxService& m_ui;
    ReadingConversion m_convert;
    bool m_ready = false;
    QString m_lastErrorText;
    quint32 m_lastErrorCode = 0;
};

// The layout whose back-end turns text into what a voice of this language
// attribute can say: "E0010411" for Japanese, "E0010412" for Korean, else "".
QString ConversionLayoutFor(const QString& languageAttribute);
// The key of a language identifier: its low 16 bits in lower-case hex.
QString LanguageKey(quint32 language);

}  // namespace kotobane
