#pragma once

#include <QString>
#include <QtGlobal>

namespace kotobane {

class SpeechEngine;

// The stored speech choices; field names are the settings file's keys.
struct SpeechSettings {
    bool EnableSpeech = true;
    QString Voice;
    qint32 Volume = 0;
    qint32 Rate = -1;
    qint32 AudioFormat = 18;
    QString AudioOutput;
};

// Creates the voice at start-up and applies the stored choices to it, or
// fills them from the voice that suits keylayout when none is stored.
// Speech is switched off when the voice cannot be created.
void ApplyStoredSpeechSettings(SpeechSettings& settings, const QString& keylayout, SpeechEngine& speech);

}  // namespace kotobane
