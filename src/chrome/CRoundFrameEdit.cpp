#include "chrome/CRoundFrameEdit.h"

#include <QPainter>

#include "settings/Colours.h"

namespace kotobane {

CRoundFrameEdit::CRoundFrameEdit(const Settings& settings, QWidget* parent)
    : QPlainTextEdit(parent),
      m_settings(settings)
{
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(kBand, kBand, kBand, kBand);
    // The text is drawn over the field this box paints, corners included.
    viewport()->setAutoFillBackground(false);
}

bool CRoundFrameEdit::event(QEvent* event)
{
    if (event->type() != QEvent::Paint) {
        return QPlainTextEdit::event(event);
    }
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, m_settings.RoundEdit > 0);
    painter.setPen(QPen(ToQColor(m_settings.BorderColor), 1));
    painter.setBrush(ToQColor(ShiftColour(m_settings.Background, 70)));
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = m_settings.RoundEdit / 2.0;
    if (radius > 0) {
        painter.drawRoundedRect(outline, radius, radius);
    } else {
        painter.drawRect(outline);
    }
    return true;
}

}  // namespace kotobane
