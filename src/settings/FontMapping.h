#pragma once

#include <QFont>

#include "settings/LogFont.h"

namespace kotobane {

// The stored font description as a Qt font: face name, pixel height
// (negative lfHeight) or cell height (positive), weight, italic, underline,
// strike-out and fixed pitch.
QFont ToQFont(const LogFont& logFont);

// The description of font; fields Qt has no notion of (character set,
// precisions, quality, family bits) are taken from base.
LogFont FromQFont(const QFont& font, const LogFont& base = LogFont());

// The system's fixed-pitch font with a character height of 15 pixels.
LogFont DefaultLogFont();

}  // namespace kotobane
