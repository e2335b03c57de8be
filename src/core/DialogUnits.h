#pragma once

#include <QFont>
#include <QRect>

namespace kotobane {

// The base units of a dialog font: the average width of the 52 Latin
// letters and the character height, as window templates are laid out.
struct DialogBaseUnits {
    int x;
    int y;
};
DialogBaseUnits BaseUnitsOf(const QFont& font);

// The font the window templates were designed with: the desktop's general
// font at 9 points.
QFont TemplateFont();

// A template rectangle in dialog units, in pixels for font.
QRect DialogToPixels(QRect units, const QFont& font = TemplateFont());

}  // namespace kotobane
