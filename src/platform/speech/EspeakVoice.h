#pragma once

#include <memory>

#include "platform/VoiceService.h"

namespace kotobane {

// The espeak-ng voices, synthesized in-process, converted with libsoxr and
// played through Qt Multimedia.
std::unique_ptr<VoiceService> CreateEspeakVoiceService();

}  // namespace kotobane
