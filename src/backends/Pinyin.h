#pragma once

#include <QString>

#include <optional>
#include <string_view>

// Spelling of Mandarin syllables as the Rime terra_pinyin data writes them:
// lower-case letters, ü as "v", and the tone as a trailing digit 1-5
// ("zhong1", "lv4", "de5").
namespace kotobane::pinyin {

enum class Notation {
    ToneMarks,  // zhōng guó
    Zhuyin,  // ㄓㄨㄥ ㄍㄨㄛˊ
};

// "zhong1" → "zhōng", "lv3" → "lǚ", "de5" → "de"; "u:" is read as ü too.
// Empty when syllable is not letters and a tone digit.
QString ToneMarked(std::string_view syllable);

// "zhong1" → "ㄓㄨㄥ", "guo2" → "ㄍㄨㄛˊ", "de5" → "˙ㄉㄜ". Empty when
// syllable is not a Mandarin syllable.
QString Zhuyin(std::string_view syllable);

// Space-separated syllables written in notation, joined by single spaces;
// erhua ("r5") is joined to the syllable before it, as in "nǎr". Empty when
// any syllable cannot be written.
QString Spell(std::string_view syllables, Notation notation);

// One line of terra_pinyin.table.txt ("中國\tzhong1 guo2\t107458") or of
// terra_pinyin.dict.yaml ("行\txing2\t90%", "中國\tzhong1 guo2"). The
// weight is 0 where the line gives none; a percentage is kept as its
// number. Nullopt for comments, blank lines and anything malformed.
struct TableLine {
    std::string_view phrase;
    std::string_view syllables;
    double weight = 0;
};
std::optional<TableLine> ParseTableLine(std::string_view line);

}  // namespace kotobane::pinyin
