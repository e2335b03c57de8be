#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <array>

namespace kotobane {

// The stored description of a font: the 92-byte little-endian record that
// settings files hold, kept as it is so files stay interchangeable.
struct LogFont {
    qint32 lfHeight = 0;  // negative: pixel height of the characters
    qint32 lfWidth = 0;
    qint32 lfEscapement = 0;
    qint32 lfOrientation = 0;
    qint32 lfWeight = 0;
    quint8 lfItalic = 0;
    quint8 lfUnderline = 0;
    quint8 lfStrikeOut = 0;
    quint8 lfCharSet = 0;
    quint8 lfOutPrecision = 0;
    quint8 lfClipPrecision = 0;
    quint8 lfQuality = 0;
    quint8 lfPitchAndFamily = 0;
    std::array<char16_t, 32> lfFaceName{};

    static constexpr int kBytes = 92;

    QByteArray ToBytes() const;
    // Takes the first 92 bytes; a shorter record is padded with zeros.
    static LogFont FromBytes(QByteArrayView bytes);

    // The face name up to its terminator (or all 32 units without one).
    QString FaceName() const;
    // Stores at most 31 units and a terminator.
    void SetFaceName(const QString& name);

    bool operator==(const LogFont&) const = default;
};

inline constexpr quint8 FIXED_PITCH = 1;
inline constexpr quint8 FF_MODERN = 0x30;
inline constexpr quint8 OEM_CHARSET = 255;
inline constexpr qint32 FW_NORMAL = 400;

}  // namespace kotobane
