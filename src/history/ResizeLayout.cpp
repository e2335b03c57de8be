#include "history/ResizeLayout.h"

namespace kotobane {

namespace {

constexpr int kModeBits = 0x0F;

// A rectangle by its four edges, right and bottom just outside.
struct Edges {
    int left;
    int top;
    int right;
    int bottom;
    bool operator==(const Edges&) const = default;
};

Edges EdgesOf(QRect r)
{
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

QRect RectOf(Edges e)
{
    return QRect(e.left, e.top, e.right - e.left, e.bottom - e.top);
}

int Truncated(double value)
{
    return static_cast<int>(value);  // toward zero
}

bool TakesRatioFromRect(AnchorMode near, AnchorMode far)
{
    return near == Centre || near == Scale || far == Centre || far == Scale;
}

bool NeverStores(AnchorMode mode)
{
    return mode == Scale || mode == Share;
}

// The mode of the dragged edge, if that mode is not Keep.
AnchorMode ChosenMode(bool nearDragged, AnchorMode near, bool farDragged, AnchorMode far)
{
    if (nearDragged && near != Keep) {
        return near;
    }
    if (farDragged && far != Keep) {
        return far;
    }
    return Keep;
}

struct Axis {
    AnchorMode mode;
    AnchorMode nearDrag;
    AnchorMode farDrag;
    int sinceLast;  // size change since the previous layout
    int sinceInitial;  // size change since initialisation
    int size;  // new client size
    int initialSize;
    double position;
    double sizeRatio;
};

void ApplyAxis(const Axis& a, int& nearEdge, int& farEdge, int currentNear, int currentFar, bool& keep)
{
    switch (a.mode) {
    case Keep:
        // A Scale or Share axis that was not dragged this time stays where
        // its last layout put it; the stored rectangle is the registration one.
        if (NeverStores(a.nearDrag) || NeverStores(a.farDrag)) {
            nearEdge = currentNear;
            farEdge = currentFar;
            keep = false;
        }
        break;
    case Stretch:
        farEdge += a.sinceLast;
        break;
    case Move:
        nearEdge += a.sinceLast;
        farEdge += a.sinceLast;
        break;
    case Centre: {
        const int extent = farEdge - nearEdge;
        nearEdge = Truncated(a.size * a.position - extent * 0.5);
        farEdge = nearEdge + extent;
        break;
    }
    case Scale:
        if (a.initialSize != 0) {
            nearEdge = Truncated(double(nearEdge) * a.size / a.initialSize);
            farEdge = Truncated(double(farEdge) * a.size / a.initialSize);
        }
        keep = false;
        break;
    case Share:
        farEdge = Truncated(farEdge + (a.position + a.sizeRatio) * a.sinceInitial);
        nearEdge = Truncated(nearEdge + a.position * a.sinceInitial);
        keep = false;
        break;
    default:
        break;
    }
}

}  // namespace

void ResizeLayout::Initialise(QRect clientRectOnScreen)
{
    m_initialClient = clientRectOnScreen;
    m_previousClient = clientRectOnScreen;
    m_initialised = true;
}

void ResizeLayout::AddAnchor(int id, QRect controlRectInClient, QSize clientSize, int leftDrag, int rightDrag,
                             int topDrag, int bottomDrag, int flags, double horizontalPosition, double horizontalSize,
                             double verticalPosition, double verticalSize)
{
    AnchorEntry entry;
    entry.id = id;
    entry.leftDrag = AnchorMode(leftDrag & kModeBits);
    entry.rightDrag = AnchorMode(rightDrag & kModeBits);
    entry.topDrag = AnchorMode(topDrag & kModeBits);
    entry.bottomDrag = AnchorMode(bottomDrag & kModeBits);
    entry.noErase = (flags & NoErase) != 0;
    entry.repaint = (flags & Repaint) != 0;
    entry.rect = controlRectInClient;
    entry.horizontalPosition = horizontalPosition;
    entry.horizontalSize = horizontalSize;
    entry.verticalPosition = verticalPosition;
    entry.verticalSize = verticalSize;

    // With an empty client area there is no relative position to take;
    // the ratio passed in stays.
    const Edges e = EdgesOf(controlRectInClient);
    if (TakesRatioFromRect(entry.leftDrag, entry.rightDrag) && clientSize.width() != 0) {
        entry.horizontalPosition = ((e.left + e.right) * 0.5) / clientSize.width();
    }
    if (TakesRatioFromRect(entry.topDrag, entry.bottomDrag) && clientSize.height() != 0) {
        entry.verticalPosition = ((e.top + e.bottom) * 0.5) / clientSize.height();
    }

    for (AnchorEntry& existing : m_entries) {
        if (existing.id == id) {
            existing = entry;
            return;
        }
    }
    m_entries.push_back(entry);
}

std::vector<AnchorMove> ResizeLayout::Layout(QRect newClientOnScreen, QPoint cursorOnScreen,
                                             const std::function<QRect(int id)>& currentRectOfControl)
{
    std::vector<AnchorMove> moves;
    if (m_entries.empty()) {
        return moves;
    }
    const Edges client = EdgesOf(newClientOnScreen);
    const int widthChange = newClientOnScreen.width() - m_previousClient.width();
    const int heightChange = newClientOnScreen.height() - m_previousClient.height();
    // Integer division truncates toward zero, also left of the primary screen.
    const int centreX = (client.left + client.right) / 2;
    const int centreY = (client.top + client.bottom) / 2;

    // A maximise or a restore counts as a drag of the edges nearest the cursor.
    const bool left = widthChange != 0 && cursorOnScreen.x() < centreX;
    const bool right = widthChange != 0 && !left;
    const bool top = heightChange != 0 && cursorOnScreen.y() < centreY;
    const bool bottom = heightChange != 0 && !top;

    if (left || right || top || bottom) {
        moves.reserve(m_entries.size());
        for (AnchorEntry& entry : m_entries) {
            if (std::optional<AnchorMove> move =
                    Place(entry, newClientOnScreen, left, right, top, bottom, currentRectOfControl)) {
                moves.push_back(*move);
            }
        }
    }
    m_previousClient = newClientOnScreen;
    return moves;
}

std::optional<AnchorMove> ResizeLayout::Place(AnchorEntry& entry, QRect newClient, bool left, bool right, bool top,
                                              bool bottom,
                                              const std::function<QRect(int id)>& currentRectOfControl) const
{
    Edges r = EdgesOf(entry.rect);
    const Edges current = EdgesOf(currentRectOfControl(entry.id));
    bool keep = true;

    const Axis horizontal{ChosenMode(left, entry.leftDrag, right, entry.rightDrag),
                          entry.leftDrag,
                          entry.rightDrag,
                          newClient.width() - m_previousClient.width(),
                          newClient.width() - m_initialClient.width(),
                          newClient.width(),
                          m_initialClient.width(),
                          entry.horizontalPosition,
                          entry.horizontalSize};
    ApplyAxis(horizontal, r.left, r.right, current.left, current.right, keep);

    const Axis vertical{ChosenMode(top, entry.topDrag, bottom, entry.bottomDrag),
                        entry.topDrag,
                        entry.bottomDrag,
                        newClient.height() - m_previousClient.height(),
                        newClient.height() - m_initialClient.height(),
                        newClient.height(),
                        m_initialClient.height(),
                        entry.verticalPosition,
                        entry.verticalSize};
    ApplyAxis(vertical, r.top, r.bottom, current.top, current.bottom, keep);

    const Edges compared = keep ? EdgesOf(entry.rect) : current;
    if (r == compared) {
        return std::nullopt;
    }
    AnchorMove move;
    move.id = entry.id;
    move.rect = RectOf(r);
    move.repaint = entry.repaint;
    if (entry.repaint) {
        move.vacated = RectOf(compared);
    }
    if (keep) {
        entry.rect = move.rect;
    }
    return move;
}

void ResizeLayout::SetResizable(int horizontal, int vertical)
{
    m_resizableHorizontally = horizontal != 0;
    m_resizableVertically = vertical != 0;
}

SizeLimits ResizeLayout::Limits(SizeLimits system) const
{
    if (!m_initialised) {
        return system;
    }
    system.minimumTrack = m_minimumSize;
    if (!m_resizableHorizontally) {
        system.maximised.setWidth(m_minimumSize.width());
        system.maximumTrack.setWidth(m_minimumSize.width());
    }
    if (!m_resizableVertically) {
        system.maximised.setHeight(m_minimumSize.height());
        system.maximumTrack.setHeight(m_minimumSize.height());
    }
    return system;
}

}  // namespace kotobane
