#include "window/PopupGeometry.h"

#include <QPainter>
#include <QTextBlock>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>

#include "chrome/CRoundFrameEdit.h"
#include "window/ReadingWindowLogic.h"

namespace kotobane {

QSize TextExtent(const QTextDocument& doc, int boxWidth)
{
    const qreal margin = doc.documentMargin();
    const qreal lineWidth = boxWidth > 0 ? boxWidth - 2 * margin : qreal(INT_MAX);
    qreal widest = 0;
    qreal height = 0;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        QTextLayout layout(block.text(), doc.defaultFont());
        layout.setTextOption(doc.defaultTextOption());
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLeadingIncluded(true);
            line.setLineWidth(lineWidth);
            height += line.height() + (line.leading() < 0 ? std::ceil(line.leading()) : 0);
            widest = std::max(widest, line.naturalTextWidth());
        }
        layout.endLayout();
    }
    return QSize(int(std::ceil(widest + 2 * margin)), int(std::ceil(height + 2 * margin)));
}

QRect FitPopupToText(const QTextDocument& doc, QRect home, QSize chrome, QRect available)
{
    constexpr int band = 2 * CRoundFrameEdit::kBand;
    return FitToText(home, chrome, available, TextExtent(doc, 0).width() + band,
                     [&doc](int width) { return TextExtent(doc, std::max(1, width - band)).height() + band; });
}

QBitmap PopupMask(QSize size, int round)
{
    if (round <= 0) {
        return {};
    }
    QBitmap mask(size);
    mask.fill(Qt::color0);
    QPainter painter(&mask);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawRoundedRect(QRect(QPoint(0, 0), size), round / 2.0, round / 2.0);
    painter.end();
    return mask;
}

}  // namespace kotobane
