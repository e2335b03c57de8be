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

}  // namespace kotobane
