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

// How often each reading of a character occurs in mainland text, from
// kHanyuPinlu (the 现代汉语频率词典's corpus): 得 de5 5096, de2 1496.
using MainlandUsage = std::unordered_map<char32_t, std::vector<std::pair<std::string, int>>>;

// The readings of a Unihan_Readings.txt text, and their usage into usage
// when it is given.
MainlandReadings ParseUnihanReadings(std::string_view text, MainlandUsage* usage = nullptr);
// The same from the bzip2-compressed file Debian ships; nullopt when it
// cannot be read.
std::optional<MainlandReadings> ReadMainlandReadings(const QString& bz2Path, MainlandUsage* usage = nullptr);
// The count usage gives the reading syllable of character; 0 for none.
int UsageOf(const MainlandUsage& usage, char32_t character, std::string_view syllable);

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

// The mainland readings of words, from CC-CEDICT: per word of two or more
// Han characters, under its simplified and its traditional form, its
// readings in the table's spelling, in the dictionary's order.
struct WordHash {
    using is_transparent = void;  // looked up by string_view
    std::size_t operator()(std::string_view word) const { return std::hash<std::string_view>{}(word); }
};
using MainlandWords = std::unordered_map<std::string, std::vector<std::string>, WordHash, std::equal_to<>>;

// The words of a cedict_ts.u8 text ("長大 长大 [zhang3 da4] /to grow up/").
// Entries whose reading is not one syllable per Han character (names
// with a middle dot, words with Latin letters) are left out.
MainlandWords ParseCedict(std::string_view text);
// The same from the file; nullopt when it cannot be read.
std::optional<MainlandWords> ReadMainlandWords(const QString& path);

// Gives the syllables of key, the table's reading of a word, the
// dictionary's reading of that word where they differ: of the word's
// readings, the one closest to the table's. A syllable the dictionary
// only makes neutral stays as the table has it when the mainland gives the
// character that reading and none neutral (一个 yi1 ge4, not ge5); else
// the dictionary's neutral tone wins (觉得 de2 → de5, 头发 fa3 → fa5).
// A 了 ending a word stays the particle le5 where the table has it (到了). A key the dictionary lacks is read through
// the longest dictionary words it holds, from the left (睡着了: 睡着), and a 地 right after them is the adverb's de5
// (慢慢地). True when one changed.
bool ToMainlandWord(std::string_view key, std::vector<std::string_view>& syllables, const MainlandWords& words,
                    const MainlandReadings* readings);

}  // namespace kotobane
