#pragma once

#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include "settings/Settings.h"

namespace kotobane {

// A colour through 8-bit hue, lightness and saturation and back, in single
// precision: the "normalised" colours of the menus, which may differ from
// the input by a unit or two a channel.
Colour HlsRoundTrip(Colour colour);

// One pixel of a menu's drop shadow: where, in the window's coordinates, and
// how much of the colour behind it stays (93 outermost to 78 next to the
// menu body).
struct ShadowPixel {
    int x;
    int y;
    int percent;
    bool operator==(const ShadowPixel&) const = default;
};
inline constexpr int kShadowWidth = 4;
// The shadow strips along the bottom and the right edge of a window of
// width x height pixels, the bottom strip first.
QList<ShadowPixel> ShadowStrips(int width, int height);
// A channel value kept to percent, truncated.
inline int Darken(int channel, int percent)
{
    return channel * percent / 100;
}

// The grey copy of an icon pixel (0xAARRGGBB): black and empty pixels stay,
// others take 0.587 G + 0.114 B + 0.299 R, truncated, in all three channels.
quint32 GrayIconPixel(quint32 argb);

// Menu item metrics: the height of an item for a font of fontHeight pixels,
// the value separators carry, and the metrics a converted item carries
// (widest label in bits 16-31, the low 8 bits of the widest accelerator in
// bits 8-15, the item height in bits 0-7).
int MenuItemHeight(int fontHeight);
quint32 MenuSeparatorValue(int fontHeight);
quint32 PackMenuItemData(int labelWidth, int acceleratorWidth, int itemHeight);
// The size a menu item asks for from its data; identifier 0 (separators)
// is 5 pixels high whatever its data says.
QSize MeasureMenuItem(quint32 itemData, int identifier);

// An item's text split at its first tab.
struct MenuText {
    QString label;
    QString accelerator;
};
MenuText SplitMenuText(const QString& text);
// The label as it is measured and drawn: its first "&" removed.
QString LabelWithoutMnemonic(const QString& label);

// The item a typed character chooses: the first label holding "&" and the
// character (case ignored) where that "&" is not itself the second of "&&";
// -1 when none.
int MenuCharToItem(const QStringList& labels, QChar character);

}  // namespace kotobane
