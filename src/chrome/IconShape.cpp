#include "chrome/IconShape.h"

#include <QImage>
#include <QPainter>

namespace kotobane {

QPixmap IconShape(const QIcon& icon, QSize size, qreal ratio, const QColor& colour)
{
    QImage shape = icon.pixmap(size, ratio).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&shape);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(shape.rect(), colour);
    painter.end();
    return QPixmap::fromImage(shape);
}

}  // namespace kotobane
