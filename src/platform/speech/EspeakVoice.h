#pragma once

#include <QString>

#include <memory>

#include "platform/VoiceService.h"

namespace kotobane {

// The espeak-ng voices, synthesized in-process, converted with libsoxr and
// played through Qt Multimedia.
std::unique_ptr<VoiceService> CreateEspeakVoiceService();

// The same with the voice data (the folder that holds espeak-ng-data)
// taken from dataPath instead of espeak-ng's own place; for tests.
std::unique_ptr<VoiceService> CreateEspeakVoiceService(const QString& dataPath);

}  // namespace kotobane
