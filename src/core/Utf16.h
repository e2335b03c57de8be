#pragma once

#include <QByteArray>
#include <QStringView>
#include <QSysInfo>

namespace kotobane {

// Appends the UTF-16 units of text in the byte order given: the history
// and its export files are little-endian, settings files either way.
inline void AppendUtf16(QByteArray& out, QStringView text, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    if (order == QSysInfo::ByteOrder) {
        out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        return;
    }
    out.reserve(out.size() + text.size() * 2);
    const bool big = order == QSysInfo::BigEndian;
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8);
        const char lo = char(c.unicode() & 0xFF);
        out.append(big ? hi : lo);
        out.append(big ? lo : hi);
    }
}

inline QByteArray Utf16Bytes(QStringView text, QSysInfo::Endian order = QSysInfo::LittleEndian)
{
    QByteArray out;
    AppendUtf16(out, text, order);
    return out;
}

}  // namespace kotobane
