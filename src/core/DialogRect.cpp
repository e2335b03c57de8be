#include "core/DialogRect.h"

#include <cstdlib>

namespace kotobane {

int MulDiv(int number, int numerator, int denominator)
{
    if (denominator == 0) {
        return -1;
    }
    const long long product = static_cast<long long>(number) * numerator;
    long long quotient = product / denominator;
    const long long remainder = product % denominator;
    if (std::llabs(remainder) * 2 >= std::llabs(static_cast<long long>(denominator))) {
        quotient += ((product < 0) != (denominator < 0)) ? -1 : 1;
    }
    return static_cast<int>(quotient);
}

QRect DialogRect(QRect units, int baseX, int baseY)
{
    const int left = MulDiv(units.x(), baseX, 4);
    const int top = MulDiv(units.y(), baseY, 8);
    const int right = MulDiv(units.x() + units.width(), baseX, 4);
    const int bottom = MulDiv(units.y() + units.height(), baseY, 8);
    return QRect(left, top, right - left, bottom - top);
}

}  // namespace kotobane
