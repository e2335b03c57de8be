#pragma once

#include <QString>

namespace kotobane {

// The value of one hexadecimal digit, or -1.
constexpr int HexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

// The leading hexadecimal digits of text[from...] as an unsigned number
// (wrapping like a C unsigned long of 32 bits); none gives 0.
inline quint32 LeadingHex(QStringView text, qsizetype from = 0)
{
    quint32 value = 0;
    for (qsizetype i = from; i < text.size(); ++i) {
        const int digit = HexDigit(text[i].unicode());
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<quint32>(digit);
    }
    return value;
}

}  // namespace kotobane
