#pragma once

#include <QColor>

#include "settings/Settings.h"

namespace kotobane {

// A stored colour (0x00BBGGRR) as Qt's.
inline QColor ToQColor(Colour colour)
{
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

inline Colour FromQColor(const QColor& colour)
{
    return Colour(colour.red()) | (Colour(colour.green()) << 8) | (Colour(colour.blue()) << 16);
}

}  // namespace kotobane
