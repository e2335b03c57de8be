#include "settings/FontMapping.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace kotobane {

namespace {
constexpr quint8 kPitchMask = 0x03;
// The stored height may be any 32-bit number; no screen shows a larger font.
constexpr qint64 kMaxPixels = 1000;
}  // namespace

QFont ToQFont(const LogFont& f)
{
    QFont font(f.FaceName());
    // In 64 bits, so that neither -INT_MIN nor the square below overflows.
    const qint64 height = f.lfHeight;
    const int pixels = int(std::clamp<qint64>(height < 0 ? -height : height, 1, kMaxPixels));
    if (height < 0) {
        font.setPixelSize(pixels);
    } else if (height > 0) {
        // A positive height is the cell height, leading included: size the
        // characters so that the line height comes out at that value.
        font.setPixelSize(pixels);
        const qreal cell = QFontMetricsF(font).height();
        if (cell > 0) {
            font.setPixelSize(std::max(1, int(std::lround(pixels * pixels / cell))));
        }
    }
    if (f.lfWeight > 0) {
        font.setWeight(QFont::Weight(std::clamp(f.lfWeight, 1, 1000)));
    }
    font.setItalic(f.lfItalic != 0);
    font.setUnderline(f.lfUnderline != 0);
    font.setStrikeOut(f.lfStrikeOut != 0);
    if ((f.lfPitchAndFamily & kPitchMask) == FIXED_PITCH) {
        font.setFixedPitch(true);
        font.setStyleHint(QFont::Monospace);
    }
    return font;
}

LogFont FromQFont(const QFont& font, const LogFont& base)
{
    LogFont f = base;
    f.SetFaceName(font.family());
    int pixels = font.pixelSize();
    if (pixels <= 0) {
        const qreal dpi =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInchY() : 96.0;
        pixels = int(std::lround(font.pointSizeF() * dpi / 72.0));
    }
    f.lfHeight = -pixels;
    f.lfWidth = 0;
    f.lfWeight = font.weight();
    f.lfItalic = font.italic() ? 1 : 0;
    f.lfUnderline = font.underline() ? 1 : 0;
    f.lfStrikeOut = font.strikeOut() ? 1 : 0;
    if (font.fixedPitch() || QFontInfo(font).fixedPitch()) {
        f.lfPitchAndFamily = quint8((f.lfPitchAndFamily & ~kPitchMask) | FIXED_PITCH);
    }
    return f;
}

LogFont DefaultLogFont()
{
    LogFont base;
    base.lfCharSet = OEM_CHARSET;
    base.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
    LogFont f = FromQFont(QFontDatabase::systemFont(QFontDatabase::FixedFont), base);
    f.lfHeight = -15;
    return f;
}

}  // namespace kotobane
