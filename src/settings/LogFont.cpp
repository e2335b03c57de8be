#include "settings/LogFont.h"

#include <QtEndian>

#include <algorithm>

namespace kotobane {

QByteArray LogFont::ToBytes() const
{
    QByteArray bytes(kBytes, '\0');
    auto* p = reinterpret_cast<uchar*>(bytes.data());
    for (const qint32 v : {lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight}) {
        qToLittleEndian<qint32>(v, p);
        p += 4;
    }
    for (const quint8 v : {lfItalic, lfUnderline, lfStrikeOut, lfCharSet, lfOutPrecision, lfClipPrecision, lfQuality,
                           lfPitchAndFamily}) {
        *p++ = v;
    }
    for (const char16_t c : lfFaceName) {
        qToLittleEndian<quint16>(c, p);
        p += 2;
    }
    return bytes;
}

LogFont LogFont::FromBytes(QByteArrayView bytes)
{
    QByteArray record(kBytes, '\0');
    std::copy_n(bytes.data(), std::min<qsizetype>(bytes.size(), kBytes), record.data());
    const auto* p = reinterpret_cast<const uchar*>(record.constData());
    LogFont f;
    for (qint32* v : {&f.lfHeight, &f.lfWidth, &f.lfEscapement, &f.lfOrientation, &f.lfWeight}) {
        *v = qFromLittleEndian<qint32>(p);
        p += 4;
    }
    for (quint8* v : {&f.lfItalic, &f.lfUnderline, &f.lfStrikeOut, &f.lfCharSet, &f.lfOutPrecision, &f.lfClipPrecision,
                      &f.lfQuality, &f.lfPitchAndFamily}) {
        *v = *p++;
    }
    for (char16_t& c : f.lfFaceName) {
        c = qFromLittleEndian<quint16>(p);
        p += 2;
    }
    return f;
}

QString LogFont::FaceName() const
{
    const auto end = std::find(lfFaceName.begin(), lfFaceName.end(), u'\0');
    return QString::fromUtf16(lfFaceName.data(), end - lfFaceName.begin());
}

void LogFont::SetFaceName(const QString& name)
{
    lfFaceName.fill(u'\0');
    const qsizetype n = std::min<qsizetype>(name.size(), qsizetype(lfFaceName.size()) - 1);
    std::copy_n(name.utf16(), n, lfFaceName.begin());
}

}  // namespace kotobane
