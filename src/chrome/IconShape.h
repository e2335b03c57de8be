#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>

namespace kotobane {

// An icon as its shape in one colour, rendered for a painter's device pixel
// ratio: the buttons and menus draw their images this way.
QPixmap IconShape(const QIcon& icon, QSize size, qreal ratio, const QColor& colour);

}  // namespace kotobane
