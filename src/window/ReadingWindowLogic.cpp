#include "window/ReadingWindowLogic.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kotobane {

QString TextToSpeak(const QString& text, int selectionStart, int selectionEnd)
{
    QString spoken = text;
    if (selectionEnd - selectionStart > 0 && selectionStart >= 0) {
        spoken = text.mid(selectionStart, selectionEnd - selectionStart);
    }
    const qsizetype paren = spoken.indexOf(u'(');
    if (paren > 0) {
        spoken.truncate(paren);
    }
    return spoken;
}

std::optional<int> OpacityRule::OnActivate(bool active)
{
    m_opaque = active;
    return active ? kOpaque : kTranslucent;
}

std::optional<int> OpacityRule::OnMouseMove()
{
    if (m_opaque) {
        return std::nullopt;
    }
    m_opaque = true;
    return kOpaque;
}

std::optional<int> OpacityRule::OnTimer(bool isForeground, bool cursorInside)
{
    if (!m_opaque || isForeground || cursorInside) {
        return std::nullopt;
    }
    m_opaque = false;
    return kTranslucent;
}

namespace {

// Rectangles here are edge-exclusive like the window system's: right and
// bottom are one past the last pixel.
struct Box {
    int left, top, right, bottom;
    bool Contains(QPoint p) const { return left <= p.x() && p.x() < right && top <= p.y() && p.y() < bottom; }
    QRect ToQRect() const { return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)); }
};

Box FromQRect(QRect r)
{
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

Box AreaA(const Box& c, const Box& menu)
{
    return {menu.right + 2, c.top, c.right, c.bottom - 12};
}

Box AreaB(const Box& c, const Box& look, const Box& menu)
{
    if (!(look.bottom < c.bottom - 2)) {
        return {0, 0, 0, 0};
    }
    return {look.left, look.bottom + 2, menu.right + 2, c.bottom};
}

Box AreaG(const Box& c)
{
    return {c.right - 11, c.bottom - 11, c.right, c.bottom};
}

}  // namespace

QRect DragAreaA(QRect client, QRect menuButton)
{
    return AreaA(FromQRect(client), FromQRect(menuButton)).ToQRect();
}

QRect DragAreaB(QRect client, QRect lookUpButton, QRect menuButton)
{
    return AreaB(FromQRect(client), FromQRect(lookUpButton), FromQRect(menuButton)).ToQRect();
}

QRect GripArea(QRect client)
{
    return AreaG(FromQRect(client)).ToQRect();
}

HitArea HitTest(QPoint point, QRect client, QRect lookUpButton, QRect menuButton)
{
    const Box c = FromQRect(client);
    const Box look = FromQRect(lookUpButton);
    const Box menu = FromQRect(menuButton);
    if (AreaA(c, menu).Contains(point) || AreaB(c, look, menu).Contains(point)) {
        return HitArea::Drag;
    }
    if (AreaG(c).Contains(point)) {
        return HitArea::Grip;
    }
    return HitArea::None;
}

QList<GripStroke> GripStrokes(QSize client)
{
    const int r = client.width();
    const int b = client.height();
    QList<GripStroke> strokes;
    // A line from (r - d + k, b) to (r, b - d + k): its first pixel lies on
    // the row below the client area and its end point is not drawn, so
    // what shows runs from one step in to one step before the end.
    const auto stroke = [&](bool dark, int d, int k) {
        const int length = d - k;
        if (length >= 2) {
            strokes.append({dark, QLine(r - length + 1, b - 1, r - 1, b - length + 1)});
        }
    };
    for (const int d : {11, 7, 3}) {
        stroke(false, d, 0);
        stroke(true, d, 1);
        stroke(true, d, 2);
    }
    return strokes;
}

int BorderBand(int roundDialog)
{
    // The corner pixel (b, b) of a control must lie within the pen's inner
    // edge, r - 1 from the corner arc's centre (r, r).
    const double r = std::max(roundDialog, 0) / 2.0;
    return std::max(1, static_cast<int>(std::ceil(r - (r - 1.0) / std::sqrt(2.0))));
}

PopupFrame FrameFor(int roundDialog, QSize content)
{
    const qint64 side = std::max(0, std::min(content.width(), content.height()));
    // The band grows by less than a sixth of the ellipse, so no ellipse
    // over 2 * side + 8 fits: start there and shrink to the first that does.
    int round = int(std::clamp<qint64>(roundDialog, 0, 2 * side + 8));
    while (round > 0 && round > side + 2 * BorderBand(round)) {
        --round;
    }
    return {round, BorderBand(round)};
}

QRect PopupFrame::Client(QSize window) const
{
    return QRect(QPoint(0, 0), window).adjusted(band, band, -band, -band);
}

Qt::Edges PopupFrame::EdgesAt(QPoint point, QSize window) const
{
    return ResizeEdgesAt(point, window, band, band + round / 2);
}

HitArea PopupFrame::HitAt(QPoint point, QSize window, QRect lookUpButton, QRect menuButton) const
{
    return HitTest(point, Client(window), lookUpButton, menuButton);
}

Qt::Edges ResizeEdgesAt(QPoint p, QSize window, int band, int corner)
{
    const int w = window.width();
    const int h = window.height();
    if (p.x() < 0 || p.y() < 0 || p.x() >= w || p.y() >= h) {
        return {};
    }
    const auto nearEdge = [](int v, int length, int reach, Qt::Edge low, Qt::Edge high) -> Qt::Edges {
        if (v < reach) {
            return low;
        }
        return v >= length - reach ? Qt::Edges(high) : Qt::Edges();
    };
    const Qt::Edges horizontal = nearEdge(p.x(), w, band, Qt::LeftEdge, Qt::RightEdge);
    const Qt::Edges vertical = nearEdge(p.y(), h, band, Qt::TopEdge, Qt::BottomEdge);
    if (horizontal.toInt() == 0 && vertical.toInt() == 0) {
        return {};
    }
    // Corners reach along the edges, so that they are more than a pixel or
    // two to aim at.
    return (horizontal.toInt() != 0 ? horizontal : nearEdge(p.x(), w, corner, Qt::LeftEdge, Qt::RightEdge))
           | (vertical.toInt() != 0 ? vertical : nearEdge(p.y(), h, corner, Qt::TopEdge, Qt::BottomEdge));
}

Qt::CursorShape ResizeCursor(Qt::Edges edges)
{
    const bool horizontal = edges.testAnyFlags(Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges.testAnyFlags(Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = edges.testFlag(Qt::LeftEdge) == edges.testFlag(Qt::TopEdge);
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    return horizontal ? Qt::SizeHorCursor : vertical ? Qt::SizeVerCursor : Qt::ArrowCursor;
}

QPoint CentreOnScreen(QSize window, QRect screen, QRect available)
{
    const QPoint centred = screen.center() - QRect(QPoint(0, 0), window).center();
    const auto keep = [](int start, int length, int low, int span) {
        return std::max(low, std::min(start, low + span - length));
    };
    return {keep(centred.x(), window.width(), available.left(), available.width()),
            keep(centred.y(), window.height(), available.top(), available.height())};
}

QRect FitToText(QRect home, QSize chrome, QRect available, int naturalWidth,
                const std::function<int(int boxWidth)>& heightAt)
{
    const QSize homeBox = home.size() - chrome;
    const int widest = std::max(home.width(), available.width() / 2) - chrome.width();
    const int boxWidth = std::max(homeBox.width(), std::min(naturalWidth, widest));
    const int boxHeight = std::max(homeBox.height(), heightAt(boxWidth));
    const QSize size(boxWidth + chrome.width(),
                     std::min(boxHeight + chrome.height(), std::max(home.height(), available.height())));

    // Where the user put it partly off the screen, it may stay as far out.
    const QRect bounds = available.united(home);
    const auto place = [](int start, int length, int low, int high) {
        return std::max(low, std::min(start, high - length));
    };
    const int x = place(home.x(), size.width(), bounds.left(), bounds.left() + bounds.width());
    const int y = place(home.y(), size.height(), bounds.top(), bounds.top() + bounds.height());
    return QRect(QPoint(x, y), size);
}

}  // namespace kotobane
