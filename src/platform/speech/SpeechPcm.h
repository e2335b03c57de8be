#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

#include "platform/VoiceService.h"

namespace kotobane {

// What espeak-ng synthesizes: 22050 Hz, 16-bit signed, mono.
inline constexpr PcmFormat kEspeakFormat{22050, 1, 16};

// The hexadecimal language identifier of an espeak-ng language name ("ja"
// gives "411"); empty for a language the table does not know.
QString LanguageIdOf(const QString& espeakLanguage);

// The "Language" attribute of a voice speaking these espeak-ng languages, in
// the voice's order: the known identifiers, each once, joined by ";".
QString LanguageAttribute(const QStringList& espeakLanguages);

// Rate -10 … 10 as espeak-ng words per minute: 175 · 3^(rate/10), so 0 is
// the voices' normal 175 wpm and each step of 10 is three times faster or
// slower, clamped to the 80 … 450 wpm espeak-ng accepts (so in practice
// -10 gives 80 wpm, 2.2 times slower, and +10 gives 450, 2.6 times faster).
int EspeakWordsPerMinute(int rate);

// Volume 0 … 100 as espeak-ng's amplitude 0 … 200, where 100 is its normal
// loudness: the scale is the same up to 100; louder than normal clips, so
// the program never asks for it. Values outside 0 … 100 are clamped.
int EspeakVolume(int volume);

// Converts espeak-ng's PCM to format: the rate with libsoxr, 16-bit samples
// to unsigned 8 bit as (s16 >> 8) + 128, mono to stereo by duplication.
// Little-endian interleaved bytes, as a WAV file or an audio sink wants them.
QByteArray ConvertPcm(const std::vector<qint16>& samples, const PcmFormat& format);

// The 44-byte RIFF/WAVE header of dataBytes bytes of PCM in format.
QByteArray WavHeader(const PcmFormat& format, quint32 dataBytes);

// The playing time of bytes of PCM in format, in milliseconds.
qint64 PcmDurationMs(const PcmFormat& format, qint64 bytes);

}  // namespace kotobane
