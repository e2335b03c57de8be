#include "chrome/CFlatButton.h"

#include <QEvent>
#include <QHelpEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "chrome/ChromeLogic.h"
#include "chrome/IconShape.h"
#include "settings/Colours.h"

namespace kotobane {

CFlatButton::CFlatButton(QWidget* parent) : QPushButton(parent)
{
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover, false);
    SetDefaultColors(false);
}

int CFlatButton::SetIcon(const QIcon& in, const QIcon& out)
{
    if (in.isNull()) {
        m_in = QIcon();
        m_out = QIcon();
        update();
        return 1;
    }
    m_in = in;
    m_out = out;
    update();
    return 0;
}

int CFlatButton::SetColor(int index, Colour colour, bool repaint)
{
    index &= 0xFF;
    if (index > 5) {
        return 3;
    }
    m_colours[size_t(index)] = colour;
    if (repaint) {
        update();
    }
    return 0;
}

void CFlatButton::SetDefaultColors(bool repaint)
{
    const Colour face = FromQColor(palette().color(QPalette::Button));
    const Colour text = FromQColor(palette().color(QPalette::ButtonText));
    m_colours = {face, text, face, text, face, text};
    if (repaint) {
        update();
    }
}

void CFlatButton::SetIconColor(Colour colour)
{
    m_iconColour = colour;
    update();
}

void CFlatButton::SetTooltipText(const QString& text, bool activate)
{
    if (text.isEmpty()) {
        return;
    }
    m_tooltipActive = activate;
    setToolTip(text);
}

int CFlatButton::SetCheck(bool checked, bool repaint)
{
    if (isCheckable()) {
        setChecked(checked);
        if (repaint) {
            update();
        }
    }
    return 0;
}

bool CFlatButton::Pressed() const
{
    return isDown() || GetCheck();
}

void CFlatButton::CancelHover()
{
    if (m_hover) {
        m_hover = false;
        update();
    }
}

void CFlatButton::mouseMoveEvent(QMouseEvent* event)
{
    QPushButton::mouseMoveEvent(event);
    // A drag that enters the button does not light it.
    if ((event->buttons() & Qt::LeftButton) && !m_hover) {
        return;
    }
    if (rect().contains(event->position().toPoint())) {
        if (!m_hover) {
            m_hover = true;
            update();
        }
        return;
    }
    CancelHover();
}

void CFlatButton::leaveEvent(QEvent* event)
{
    QPushButton::leaveEvent(event);
    CancelHover();
}

void CFlatButton::focusOutEvent(QFocusEvent* event)
{
    QPushButton::focusOutEvent(event);
    CancelHover();
}

void CFlatButton::changeEvent(QEvent* event)
{
    QPushButton::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        CancelHover();
    } else if (event->type() == QEvent::EnabledChange && !isEnabled()) {
        // The keyboard moves on to the next tab stop, as the dialog's own
        // buttons do, whether or not this one had it.
        QWidget* next = nextInFocusChain();
        while (next != nullptr && next != this
               && !(next->window() == window() && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus)
                    && next->isVisibleTo(window()))) {
            next = next->nextInFocusChain();
        }
        if (next != nullptr && next != this) {
            next->setFocus(Qt::TabFocusReason);
        } else if (parentWidget() != nullptr) {
            parentWidget()->setFocus(Qt::TabFocusReason);
        }
        CancelHover();
    }
}

bool CFlatButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        if (!m_tooltipActive || toolTip().isEmpty()) {
            event->ignore();
            return true;
        }
        auto* help = static_cast<QHelpEvent*>(event);
        QString text = toolTip().toHtmlEscaped();
        // Tooltips wrap at 400 pixels rather than run across the screen.
        if (QFontMetrics(QToolTip::font()).horizontalAdvance(toolTip()) > kTooltipMaxWidth) {
            text = QStringLiteral("<table width=\"%1\"><tr><td>%2</td></tr></table>").arg(kTooltipMaxWidth).arg(text);
        }
        QToolTip::showText(help->globalPos(), text, this, rect());
        return true;
    }
    return QPushButton::event(event);
}

void CFlatButton::DrawBackground(QPainter& painter, QRect rect)
{
    const int index = (m_hover || Pressed()) ? 0 : (hasFocus() ? 4 : 2);
    painter.fillRect(rect, ToQColor(m_colours[size_t(index)]));
}

void CFlatButton::DrawBorder(QPainter& painter, QRect rect)
{
    const QColor shadow = palette().color(QPalette::Dark), light = palette().color(QPalette::Light);
    const bool sunken = Pressed();
    painter.setPen(sunken ? shadow : light);
    painter.drawLine(rect.topLeft(), rect.topRight());
    painter.drawLine(rect.topLeft(), rect.bottomLeft());
    painter.setPen(sunken ? light : shadow);
    painter.drawLine(rect.bottomLeft(), rect.bottomRight());
    painter.drawLine(rect.topRight(), rect.bottomRight());
}

void CFlatButton::DrawIcon(QPainter& painter, QRect rect, bool pressed)
{
    const QIcon& icon = isCheckable() ? (pressed || m_out.isNull() ? m_in : m_out)
                                      : ((pressed || m_hover || m_out.isNull()) ? m_in : m_out);
    const QSize size = iconSize();
    QPoint at = text().isEmpty() ? QPoint((rect.width() - size.width()) / 2, (rect.height() - size.height()) / 2)
                                 : QPoint(3, (rect.height() - size.height()) / 2);
    if (pressed && !isCheckable()) {
        at += QPoint(1, 1);
    }
    const qreal ratio = painter.device()->devicePixelRatioF();
    if (!isEnabled()) {
        // Embossed, as disabled images are drawn: a light copy below and
        // right, the shadow over it.
        painter.drawPixmap(at + QPoint(1, 1), IconShape(icon, size, ratio, palette().color(QPalette::Light)));
        painter.drawPixmap(at, IconShape(icon, size, ratio, palette().color(QPalette::Dark)));
        return;
    }
    const QColor colour = m_iconColour ? ToQColor(*m_iconColour) : palette().color(QPalette::ButtonText);
    painter.drawPixmap(at, IconShape(icon, size, ratio, colour));
}

void CFlatButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const bool pressed = Pressed();
    const QRect r = rect();
    DrawBackground(painter, r);
    if (pressed || m_hover) {
        DrawBorder(painter, r);
    }
    QRect caption = r;
    if (!m_in.isNull()) {
        DrawIcon(painter, r, pressed);
        if (!text().isEmpty()) {
            caption.setLeft(caption.left() + iconSize().width() + 3);
        }
    }
    if (text().isEmpty()) {
        return;
    }
    if (pressed && !isCheckable()) {
        caption.translate(1, 1);
    }
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    if (!isEnabled()) {
        painter.setPen(palette().color(QPalette::Light));
        painter.drawText(caption.translated(1, 1), flags, text());
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawText(caption, flags, text());
        return;
    }
    painter.setPen(ToQColor(m_colours[(m_hover || pressed) ? 1 : 3]));
    painter.drawText(caption, flags, text());
}

QIcon CFlatButton::CreateGrayIcon(const QIcon& icon, QSize size)
{
    QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
    if (image.isNull()) {
        return QIcon();
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            line[x] = GrayIconPixel(line[x]);
        }
    }
    return QIcon(QPixmap::fromImage(image));
}

int CRoundedFlatButton::SetRounded(bool rounded, bool repaint)
{
    m_rounded = rounded;
    if (repaint) {
        update();
    }
    return 0;
}

void CRoundedFlatButton::DrawBackground(QPainter& painter, QRect rect)
{
    if (!Hover() && !Pressed()) {
        CFlatButton::DrawBackground(painter, rect);
        // The keyboard's place, in the owner's colours: the highlight's
        // outline without its fill.
        if (hasFocus()) {
            painter.save();
            painter.setRenderHint(QPainter::Antialiasing, m_rounded);
            QPen pen(ToQColor(borderColour), 1, Qt::DotLine);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            const QRectF box = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
            m_rounded ? painter.drawRoundedRect(box, 3, 3) : painter.drawRect(box);
            painter.restore();
        }
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, m_rounded);
    painter.setPen(QPen(ToQColor(borderColour), 1));
    painter.setBrush(ToQColor(ColorAt(0)));
    const QRectF box = QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_rounded) {
        painter.drawRoundedRect(box, 3, 3);  // corner ellipses of 6 by 6
    } else {
        painter.drawRect(box);
    }
    painter.restore();
}

}  // namespace kotobane
