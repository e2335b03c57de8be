#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

#include <functional>
#include <optional>
#include <vector>

namespace kotobane {

// How a control follows one axis of its dialog. A mode is four bits wide;
// the values 6 to 15 leave the axis unchanged.
enum AnchorMode : quint8 {
    Keep = 0,  // stays where it is
    Stretch = 1,  // far edge follows the change since the previous layout
    Move = 2,  // both edges follow the change since the previous layout
    Centre = 3,  // same size, centre at the stored relative position
    Scale = 4,  // both edges scaled by new size / initial size
    Share = 5,  // edges move by parts of the change since initialisation
};

enum AnchorFlag : int {
    NoErase = 1,  // keep the background from being erased under the control
    Repaint = 2,  // repaint the control and the area it leaves when it moves
};

// Control rectangles are in dialog client coordinates. Their right and bottom
// edges (x() + width(), y() + height()) lie just outside the control, and
// all the arithmetic below works on those edges.
struct AnchorEntry {
    int id = 0;
    AnchorMode leftDrag = Keep;
    AnchorMode rightDrag = Keep;
    AnchorMode topDrag = Keep;
    AnchorMode bottomDrag = Keep;
    bool noErase = true;
    bool repaint = false;
    QRect rect;  // as last stored
    // Centre: relative position of the centre. Share: part of the change
    // that moves the control.
    double horizontalPosition = 1.0;
    double horizontalSize = 1.0;  // Share: part of the change that widens it
    double verticalPosition = 1.0;
    double verticalSize = 1.0;
};

// One control to reposition after a size change.
struct AnchorMove {
    int id = 0;
    QRect rect;  // the new geometry
    bool repaint = false;
    QRect vacated;  // with repaint: the old area to repaint in the dialog
};

// What the window manager is told about the sizes the user may drag to.
struct SizeLimits {
    QSize minimumTrack;
    QSize maximumTrack;
    QSize maximised;
    bool operator==(const SizeLimits&) const = default;
};

// The geometry of a resizable dialog: where each registered control goes
// when the client area changes size, and which sizes are allowed.
class ResizeLayout final {
public:
    // Stores the client area as both the initial and the previous one.
    void Initialise(QRect clientRectOnScreen);
    bool IsInitialised() const { return m_initialised; }

    // Registers the control with the given id, or overwrites in place the
    // entry that already has that id. clientSize is the dialog's client size
    // now; a Centre or Scale axis takes its position ratio from it.
    void AddAnchor(int id, QRect controlRectInClient, QSize clientSize, int leftDrag, int rightDrag, int topDrag,
                   int bottomDrag, int flags, double horizontalPosition, double horizontalSize, double verticalPosition,
                   double verticalSize);

    // The moves to apply together for the client area newClientOnScreen.
    // The cursor decides which edges count as dragged: the one of each axis
    // that is nearer to it. currentRectOfControl gives a control's present
    // geometry in client coordinates.
    std::vector<AnchorMove> Layout(QRect newClientOnScreen, QPoint cursorOnScreen,
                                   const std::function<QRect(int id)>& currentRectOfControl);

    // Outer window size; 32 x 32 until set at initialisation.
    QSize MinimumSize() const { return m_minimumSize; }
    void SetMinimumSize(QSize outerSize) { m_minimumSize = outerSize; }
    // Non-zero allows resizing in that direction.
    void SetResizable(int horizontal, int vertical);
    bool ResizableHorizontally() const { return m_resizableHorizontally; }
    // The limits of system with the dialog's own applied; before
    // initialisation system is returned as it is.
    SizeLimits Limits(SizeLimits system) const;

    const std::vector<AnchorEntry>& Entries() const { return m_entries; }
    QRect PreviousClientRect() const { return m_previousClient; }

private:
    std::optional<AnchorMove> Place(AnchorEntry& entry, QRect newClient, bool left, bool right, bool top, bool bottom,
                                    const std::function<QRect(int id)>& currentRectOfControl) const;

    std::vector<AnchorEntry> m_entries;
    QRect m_previousClient;
    QRect m_initialClient;
    QSize m_minimumSize{32, 32};
    bool m_resizableHorizontally = true;
    bool m_resizableVertically = true;
    bool m_initialised = false;
};

}  // namespace kotobane
