#pragma once

#include <QString>
#include <QStringView>

namespace kotobane {

// Readings of numbers written in Arabic digits (ASCII or full-width, with
// optional thousands commas and one decimal point) or in kanji numerals
// (二千二十四, 一万二千, positional 二〇二四, or mixed as in 3万5000), in
// hiragana. Integers up to the 京 range are read by their place names;
// longer digit strings are read digit by digit, so no input overflows.

// The reading of text as a number; null when text is not one.
QString ReadNumber(QStringView text);

// True when counter is a counter word this module knows the sound changes
// of (年, 本, 人, ヶ月 …).
bool IsCounter(QStringView counter);

// The reading of number followed by counter, with the sound changes the
// counter takes after it (3本 さんぼん, 1日 ついたち, 20歳 はたち); null when
// number is not a number or counter is not a known counter.
QString ReadWithCounter(QStringView number, QStringView counter);

// Text without the typographic spaces that set half-width digits apart
// from Japanese script (3 本, 午前 9 時): a run of spaces (U+0020, U+00A0 or
// the ideographic U+3000) with a digit on one side and kana or kanji on the
// other is dropped, so that the number is read with its counter and its
// neighbours as it would be without them. text itself when there is none.
QString WithoutSpacesAroundNumbers(const QString& text);

}  // namespace kotobane
