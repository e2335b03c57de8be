#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kotobane {

// The mainland standard's readings of single characters, from Unicode's
// Unihan database (Debian's unicode-data): kTGHZ2013, the readings of the
// 通用规范汉字字典, and kXHC1983, those of the 现代汉语词典. Syllables are
// written as the phrase table writes them: tone number last (5 neutral),
// v for ü.
using MainlandReadings = std::unordered_map<char32_t, std::vector<std::string>>;

// The readings of a Unihan_Readings.txt text.
MainlandReadings ParseUnihanReadings(std::string_view text);
// The same from the bzip2-compressed file Debian ships; nullopt when it
// cannot be read.
std::optional<MainlandReadings> ReadMainlandReadings(const QString& bz2Path);

// A tone-marked syllable in the table's spelling: yà → ya4, lǚ → lv3,
// le → le5; empty when it holds a letter the table does not use.
std::string NumericSyllable(std::string_view marked);

// Replaces, in the syllables of key (one per character, numeric tones),
// every reading the mainland standard does not give its character: by the
// one mainland reading spelled alike but for the tone (期 qi2 → qi1), or
// the character's only mainland reading (携 xi1 → xie2). Neutral tones,
// characters without data and choices the data cannot make are kept. A
// replaced syllable views a string of readings. True when one changed.
bool ToMainland(std::string_view key, std::vector<std::string_view>& syllables, const MainlandReadings& readings);

}  // namespace kotobane
