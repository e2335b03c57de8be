#pragma once

#include <QRect>

namespace kotobane {

// Dialog units to pixels from the dialog font's base units (average
// character width and character height): x * baseX / 4, y * baseY / 8,
// rounded as the classic MulDiv does.
int MulDiv(int number, int numerator, int denominator);
QRect DialogRect(QRect units, int baseX, int baseY);

}  // namespace kotobane
