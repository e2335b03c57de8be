#pragma once

namespace kotobane {

struct Settings;
class SpeechEngine;

// Creates the voice at start-up and applies the stored choices to it, or
// fills them from the voice that suits keylayout when none is stored.
// Speech is switched off when the voice cannot be created.
void ApplyStoredSpeechSettings(Settings& settings, SpeechEngine& speech);

}  // namespace kotobane
