#include "core/DialogUnits.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include "core/DialogRect.h"

namespace kotobane {

DialogBaseUnits BaseUnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    static const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int width = metrics.horizontalAdvance(letters);
    return {(width / 26 + 1) / 2, metrics.height()};
}

QFont TemplateFont()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSize(9);
    return font;
}

QRect DialogToPixels(QRect units, const QFont& font)
{
    const DialogBaseUnits base = BaseUnitsOf(font);
    return DialogRect(units, base.x, base.y);
}

}  // namespace kotobane
