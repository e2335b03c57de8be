#include "speech/SpeechSettings.h"

#include "core/HexDigits.h"
#include "speech/SpeechEngine.h"

namespace kotobane {

void ApplyStoredSpeechSettings(SpeechSettings& s, const QString& keylayout, SpeechEngine& speech)
{
    if (!s.EnableSpeech) {
        return;
    }
    if (!speech.Initialize()) {
        s.EnableSpeech = false;
        return;
    }
    if (!s.Voice.isEmpty()) {
        speech.SelectVoiceByDescription(s.Voice);
        speech.SetVolume(s.Volume);
        speech.SetRate(s.Rate);
        speech.SetFormatIndex(s.AudioFormat);
        speech.SelectOutputByDescription(s.AudioOutput);
        return;
    }
    speech.SelectVoiceByLanguage(LeadingHex(keylayout));
    s.Voice = speech.CurrentVoiceDescription();
    s.Volume = speech.GetVolume();
    s.Rate = speech.GetRate();
    s.AudioFormat = speech.CurrentFormatIndex();
    s.AudioOutput = speech.CurrentOutputDescription();
}

}  // namespace kotobane
