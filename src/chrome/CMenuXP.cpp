#include "chrome/CMenuXP.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProxyStyle>
#include <QScreen>
#include <QStyleFactory>
#include <QStyleOptionMenuItem>
#include <QWindow>

#include "chrome/ChromeLogic.h"
#include "chrome/IconShape.h"
#include "settings/Colours.h"

namespace kotobane {

namespace {

// One style for these menus whatever the desktop's is, so that no theme
// adds a shadow or margins of its own; it answers the item sizes.
class MenuStyle final : public QProxyStyle {
public:
    MenuStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) { }

    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override
    {
        switch (metric) {
        case PM_MenuPanelWidth:
            return CMenuXP::kFrameWidth;
        case PM_MenuHMargin:
        case PM_MenuVMargin:
        case PM_MenuDesktopFrameWidth:
            return 0;
        case PM_SmallIconSize:
            return 16;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        const auto* menu = qobject_cast<const CMenuXP*>(widget);
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (type == CT_MenuItem && menu != nullptr && item != nullptr) {
            return menu->ItemSize(item->menuItemType == QStyleOptionMenuItem::Separator);
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_Menu_AllowActiveAndDisabled) {
            return 1;  // a disabled item under the mouse shows its box
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

QStyle* TheMenuStyle()
{
    static MenuStyle* style = [] {
        auto* s = new MenuStyle;
        s->setParent(qApp);
        return s;
    }();
    return style;
}

QColor Normal(Colour colour)
{
    return ToQColor(HlsRoundTrip(colour));
}

QString ItemText(const QAction* action)
{
    QString text = action->text();
    if (!action->shortcut().isEmpty()) {
        text += QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText);
    }
    return text;
}

// The rounded rectangle from (left, top) to (right, bottom), right and
// bottom excluded, with corner ellipses of corner by corner pixels.
void RoundBox(QPainter& painter, int left, int top, int right, int bottom, int corner)
{
    const QRectF box(left + 0.5, top + 0.5, right - left - 1, bottom - top - 1);
    if (corner <= 0) {
        painter.drawRect(box);
    } else {
        painter.drawRoundedRect(box, corner / 2.0, corner / 2.0);
    }
}

}  // namespace

CMenuXP::CMenuXP(const Settings& settings, bool composited, QWidget* parent)
    : QMenu(parent),
      m_settings(settings),
      m_composited(composited)
{
    setStyle(TheMenuStyle());
    // One shadow: ours, not the window manager's or the theme's.
    setWindowFlag(Qt::NoDropShadowWindowHint);
    if (m_composited) {
        setAttribute(Qt::WA_TranslucentBackground);
    }
    setContentsMargins(0, 0, kShadowWidth, kShadowWidth);
    connect(this, &QMenu::aboutToShow, this, &CMenuXP::UpdateMetrics);
}

QAction* CMenuXP::Exec(QPoint pos)
{
    UpdateMetrics();
    return exec(pos - QPoint(0, 1));
}

void CMenuXP::UpdateMetrics()
{
    const QFont bold = [this] {
        QFont f = font();
        f.setBold(true);
        return f;
    }();
    const int fontHeight = fontMetrics().height();
    int labelMax = 0, acceleratorMax = 0;
    for (const QAction* action : actions()) {
        if (action->isSeparator() || !action->isVisible()) {
            continue;
        }
        const MenuText text = SplitMenuText(ItemText(action));
        const QFontMetrics metrics(action == defaultAction() ? bold : font());
        if (!text.label.isEmpty()) {
            labelMax = std::max(labelMax, metrics.horizontalAdvance(LabelWithoutMnemonic(text.label)));
        }
        if (!text.accelerator.isEmpty()) {
            acceleratorMax = std::max(acceleratorMax, metrics.horizontalAdvance(text.accelerator));
        }
    }
    m_itemData = PackMenuItemData(labelMax, acceleratorMax, MenuItemHeight(fontHeight));
    m_separatorData = MenuSeparatorValue(fontHeight);
}

QSize CMenuXP::ItemSize(bool separator) const
{
    return separator ? MeasureMenuItem(m_separatorData, 0) : MeasureMenuItem(m_itemData, 1);
}

QRect CMenuXP::BodyRect() const
{
    return rect().adjusted(0, 0, -kShadowWidth, -kShadowWidth);
}

void CMenuXP::showEvent(QShowEvent* event)
{
    // Taken before the menu is on the screen, and only where nothing blends
    // the shadow with what lies behind it.
    m_behind = QImage();
    if (!m_composited) {
        if (QScreen* s = screen()) {
            const QPoint origin = geometry().topLeft() - s->geometry().topLeft();
            m_behind = s->grabWindow(0, origin.x(), origin.y(), width(), height())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
            // Darkened once here, not at every repaint as the highlight moves.
            DarkenShadow(m_behind);
        }
    }
    QMenu::showEvent(event);
}

void CMenuXP::keyPressEvent(QKeyEvent* event)
{
    // Mnemonics by the menus' own rule: any single "&" before the letter.
    const QString typed = event->text();
    if (typed.size() == 1 && typed[0].isLetterOrNumber() && (event->modifiers() & ~Qt::ShiftModifier) == 0) {
        QStringList labels;
        QList<QAction*> items;
        for (QAction* action : actions()) {
            if (action->isVisible()) {
                labels << SplitMenuText(action->text()).label;
                items << action;
            }
        }
        const int chosen = MenuCharToItem(labels, typed[0]);
        if (chosen >= 0 && items[chosen]->isEnabled() && !items[chosen]->isSeparator()) {
            // Chosen as Enter on it would choose it, so that the menu's run
            // returns it.
            setActiveAction(items[chosen]);
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QMenu::keyPressEvent(&enter);
            return;
        }
    }
    QMenu::keyPressEvent(event);
}

void CMenuXP::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (m_composited) {
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.fillRect(rect(), Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else if (!m_behind.isNull()) {
        painter.drawImage(QPoint(0, 0), m_behind);
    }
    // The items' area: the body inside its frame, items from x = 0 there;
    // the items fill it whole.
    painter.save();
    painter.translate(kFrameWidth, kFrameWidth);
    const QRect inside = BodyRect().adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth);
    for (const QAction* action : actions()) {
        const QRect geometry = actionGeometry(const_cast<QAction*>(action));
        if (!geometry.isValid()) {
            continue;
        }
        const QRect r = geometry.translated(-kFrameWidth, -kFrameWidth);
        DrawItem(painter, action, QRect(0, r.top(), inside.width(), r.height()), action == activeAction());
    }
    painter.restore();
    DrawFrame(painter);
    if (m_composited) {
        DrawShadow(painter);
    }
}

void CMenuXP::DrawItem(QPainter& painter, const QAction* action, QRect r, bool highlighted) const
{
    const Settings& s = m_settings;
    const bool disabled = !action->isEnabled();
    painter.fillRect(QRect(r.left(), r.top(), kStripWidth - r.left(), r.height()), Normal(s.Background));
    painter.fillRect(QRect(kStripWidth, r.top(), r.right() + 1 - kStripWidth, r.height()),
                     Normal(ShiftColour(s.Background, 23)));
    const int right = r.right() + 1, bottom = r.bottom() + 1;
    painter.setRenderHint(QPainter::Antialiasing, true);
    if (highlighted && !action->isSeparator()) {
        painter.setPen(QPen(ToQColor(s.BorderColor), 1));
        painter.setBrush(disabled ? Normal(s.Background) : Normal(ShiftColour(s.Background, 70)));
        RoundBox(painter, r.left(), r.top(), right - 1, bottom, s.RoundEdit);
    }
    if (action->isSeparator()) {
        const int m = (r.top() + bottom) / 2;
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(Normal(s.BorderColor), 1));
        painter.drawLine(r.left() + 32, m, right - 2, m);
        return;
    }
    const MenuText text = SplitMenuText(ItemText(action));
    if (text.label.isEmpty()) {
        return;
    }
    QFont font = painter.font();
    font.setBold(action == defaultAction());
    painter.setFont(font);
    painter.setPen(ToQColor(s.TextColor));
    const bool cues = style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this) != 0;
    const QRect labelBox(r.left() + kLabelLeft, r.top(), right - (r.left() + kLabelLeft), r.height());
    painter.drawText(labelBox,
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine
                         | (cues ? Qt::TextShowMnemonic : Qt::TextHideMnemonic),
                     text.label);
    if (!text.accelerator.isEmpty()) {
        painter.drawText(QRect(r.left(), r.top(), right - 12 - r.left(), r.height()),
                         Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, text.accelerator);
    }
    const bool checked = action->isCheckable() && action->isChecked();
    const bool selectedEnabled = highlighted && !disabled;
    const QColor checkFill = selectedEnabled ? Normal(ShiftColour(s.Background, 70)) : Normal(s.Background);
    if (checked) {
        painter.setPen(QPen(ToQColor(ShiftColour(s.Background, 70)), 1));
        painter.setBrush(checkFill);
        RoundBox(painter, r.left() + 1, r.top() + 1, r.left() + 20, bottom - 1, s.RoundEdit);
    }
    const qreal ratio = painter.device()->devicePixelRatioF();
    if (!action->icon().isNull()) {
        const QColor colour = selectedEnabled ? Normal(ShiftColour(s.BorderColor, 70)) : Normal(s.BorderColor);
        const QPoint at = selectedEnabled ? QPoint(r.left() + 3, r.top() + 3) : QPoint(r.left() + 4, r.top() + 4);
        painter.drawPixmap(at, IconShape(action->icon(), QSize(16, 16), ratio, colour));
    } else if (checked && action->actionGroup() != nullptr && action->actionGroup()->isExclusive()) {
        const int cx = ((r.left() + 5) + (r.left() + 20)) / 2, cy = (r.top() + bottom) / 2;
        const QColor dot = disabled ? Normal(s.TextColor) : ToQColor(s.TextColor);
        painter.setPen(dot);
        painter.setBrush(dot);
        painter.drawEllipse(QRectF(cx - 4, cy - 3, 7, 7));
        painter.fillRect(QRect(cx + 1, cy + 2, 1, 1), checkFill);
    } else if (checked) {
        // The check mark in the text colour, 15 pixels wide.
        QPainterPath tick;
        const qreal x = r.left() + 5, midY = (r.top() + bottom) / 2.0;
        tick.moveTo(x + 3, midY);
        tick.lineTo(x + 6, midY + 3);
        tick.lineTo(x + 12, midY - 3);
        painter.setPen(QPen(ToQColor(s.TextColor), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(tick);
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void CMenuXP::DrawFrame(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    const QRect body = BodyRect();
    for (int line = 0; line < kFrameWidth; ++line) {
        painter.setPen(QPen(line == 0 ? ToQColor(m_settings.BorderColor) : Normal(m_settings.Background), 1));
        painter.drawRect(QRectF(body).adjusted(line + 0.5, line + 0.5, -line - 0.5, -line - 0.5));
    }
}

void CMenuXP::DrawShadow(QPainter& painter) const
{
    // Black at the share that darkens whatever lies behind by the rule.
    for (const ShadowPixel& p : ShadowStrips(width(), height())) {
        painter.fillRect(QRect(p.x, p.y, 1, 1), QColor(0, 0, 0, (255 * (100 - p.percent) + 50) / 100));
    }
}

void CMenuXP::DarkenShadow(QImage& behind) const
{
    // Each logical pixel darkens every device pixel of the copy under it.
    const qreal ratio = behind.devicePixelRatio();
    for (const ShadowPixel& p : ShadowStrips(width(), height())) {
        const int x0 = int(p.x * ratio), y0 = int(p.y * ratio);
        const int x1 = int((p.x + 1) * ratio), y1 = int((p.y + 1) * ratio);
        for (int y = y0; y < y1 && y < behind.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(behind.scanLine(y));
            for (int x = x0; x < x1 && x < behind.width(); ++x) {
                const QRgb c = line[x];
                line[x] = qRgb(Darken(qRed(c), p.percent), Darken(qGreen(c), p.percent), Darken(qBlue(c), p.percent));
            }
        }
    }
}

}  // namespace kotobane
