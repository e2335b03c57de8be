#pragma once

#include <QChar>
#include <QtGlobal>

namespace kotobane {

struct CodePoint {
    char32_t value;
    int length;  // in UTF-16 units: 1 or 2
};

// The code point at units[i] (i < n); a lone surrogate stands for itself,
// since a selection may hold one and the back-ends keep it where it stood.
inline CodePoint CodePointAt(const char16_t* units, qsizetype n, qsizetype i)
{
    const char16_t c = units[i];
    if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
        return {QChar::surrogateToUcs4(c, units[i + 1]), 2};
    }
    return {c, 1};
}

// Whether c is a Han character by its Unicode script (ideographs of every
// block, radicals, 々 and 〇); the common block answers without a table
// look-up.
inline bool IsHan(char32_t c)
{
    if (c >= 0x4E00 && c <= 0x9FFF) {
        return true;
    }
    return c >= 0x2E80 && !QChar::isSurrogate(c) && QChar::script(c) == QChar::Script_Han;
}

// DecodeUtf8 for what its fast path leaves: a sequence of other than
// three bytes, or a malformed one.
inline char32_t DecodeUtf8Slow(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char lead = *p++;
    if (lead < 0x80) {
        return lead;
    }
    int extra;
    char32_t c;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1, c = lead & 0x1F, min = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2, c = lead & 0x0F, min = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3, c = lead & 0x07, min = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (end - p < extra) {
        return 0xFFFD;
    }
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || QChar::isSurrogate(c)) {
        return 0xFFFD;
    }
    p += extra;
    return c;
}

// Decodes one code point of UTF-8 at p (p < end) and advances p; a
// malformed byte yields U+FFFD and moves on by one, never reading past end.
// Kana and hanzi take three bytes; they are decoded here, inline, since
// this runs for every character of every morpheme.
inline char32_t DecodeUtf8(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char lead = *p;
    if (lead < 0x80) {
        ++p;
        return lead;
    }
    if ((lead & 0xF0) == 0xE0 && end - p >= 3 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
        const char32_t c = (char32_t(lead & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | char32_t(p[2] & 0x3F);
        if (c >= 0x800 && !QChar::isSurrogate(c)) {
            p += 3;
            return c;
        }
    }
    return DecodeUtf8Slow(p, end);
}

}  // namespace kotobane
