#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace kotobane {

// One voice of the synthesizer.
struct VoiceInfo {
    QString description;  // a stable, human name; what the settings store
    QString language;  // hexadecimal language identifiers separated by ";", e.g. "411" or "804;404"
};

// A PCM output format.
struct PcmFormat {
    int sampleRate = 22050;
    int channels = 1;
    int bits = 16;  // 8 (unsigned) or 16 (signed, little-endian)
    bool operator==(const PcmFormat&) const = default;
};

// The audio format types 4 to 39 (8 kHz 8 bit mono … 48 kHz 16 bit stereo):
// nine rates, each as 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo.
inline std::optional<PcmFormat> PcmFormatOfType(int type)
{
    static constexpr int kRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    const int index = type - 4;
    if (index < 0 || index >= 36) {
        return std::nullopt;
    }
    return PcmFormat{kRates[index / 4], index % 2 == 0 ? 1 : 2, index % 4 < 2 ? 8 : 16};
}

// The system's speech synthesizer and audio outputs. Used from the
// interface thread only; every call but Create() needs a created service.
class VoiceService {
public:
    virtual ~VoiceService() = default;

    // Creates the synthesizer; on failure gives the reason and an error code.
    virtual bool Create(QString* errorText, quint32* errorCode) = 0;
    virtual void Release() = 0;

    // In the service's order; the same order every time.
    virtual QList<VoiceInfo> Voices() = 0;
    virtual int CurrentVoice() = 0;  // index into Voices()
    virtual void SelectVoice(int index) = 0;

    // The speaking rate on the scale -10 (slowest) … 0 (the voice's normal
    // speed) … 10 (fastest), and the volume 0 … 100; the service maps them
    // onto its own scales and keeps values outside them as given.
    virtual int GetRate() = 0;
    virtual void SetRate(int rate) = 0;
    virtual int GetVolume() = 0;
    virtual void SetVolume(int volume) = 0;

    // The output stream's audio format type (see PcmFormatOfType; a service
    // may report a type outside 4 … 39).
    virtual int FormatType() = 0;
    virtual void SetFormatType(int type) = 0;

    // Descriptions of the audio outputs, in the service's order.
    virtual QStringList Outputs() = 0;
    virtual int CurrentOutput() = 0;  // -1 when there is none
    virtual void SelectOutput(int index) = 0;

    // Speaks text in the current voice and format on the current output and
    // returns when it has been played; false with the reason when it could
    // not be played (no output, no sound server).
    virtual bool Speak(const QString& text, QString* error) = 0;
    // The same speech as a WAV file in the current format, without playing it.
    virtual bool WriteWav(const QString& text, const QString& path, QString* error) = 0;
};

}  // namespace kotobane
