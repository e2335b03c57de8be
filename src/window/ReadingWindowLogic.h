#pragma once

#include <QLine>
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

#include "core/DialogRect.h"
#include "settings/Settings.h"

namespace kotobane {

// The text the speak button reads: the selection, or the whole text when
// nothing is selected, cut before a "(" that is not the first character
// (the reading after the phrase is not spoken).
QString TextToSpeak(const QString& text, int selectionStart, int selectionEnd);

// The popup's alpha: opaque while it is active or the mouse moves over it,
// translucent once it is neither active nor under the cursor.
class OpacityRule final {
public:
    static constexpr int kOpaque = 255;
    static constexpr int kTranslucent = 80;

    // Each returns the alpha to apply, or nothing when it stays as it is.
    std::optional<int> OnActivate(bool active);
    std::optional<int> OnMouseMove();
    std::optional<int> OnTimer(bool isForeground, bool cursorInside);

    bool Opaque() const { return m_opaque; }

private:
    bool m_opaque = false;
};

enum class HitArea { None, Drag, Grip };

// Where a point of the client area moves or resizes the popup: drag area
// A right of the small buttons, drag area B below the buttons (when the
// window is taller than them) and the grip in the bottom-right corner.
// The drag areas win over the grip.
HitArea HitTest(QPoint point, QRect client, QRect lookUpButton, QRect menuButton);
QRect DragAreaA(QRect client, QRect menuButton);
QRect DragAreaB(QRect client, QRect lookUpButton, QRect menuButton);
QRect GripArea(QRect client);

struct GripStroke {
    bool dark;  // BorderColor shifted by -70, else BorderColor
    QLine line;  // both end points are painted
};
// The three groups of grip strokes for d = 11, 7 and 3, as the pixels a
// line rule without end point leaves inside the client area.
QList<GripStroke> GripStrokes(QSize client);

// The band between the window's edge and its controls: the outline's
// one-pixel pen plus as far as its rounded corners (a roundDialog x
// roundDialog ellipse) reach in, so that the controls' square corners stay
// inside the outline and it shows all round.
int BorderBand(int roundDialog);

// The popup's rounded outline as drawn: the corner ellipse's width and
// height, and the band kept free for it.
struct PopupFrame {
    int round = 0;
    int band = 1;

    // The area inside the band, where the controls sit.
    QRect Client(QSize window) const;
    Qt::Edges EdgesAt(QPoint point, QSize window) const;
    HitArea HitAt(QPoint point, QSize window, QRect lookUpButton, QRect menuButton) const;
};
// The outline for the stored RoundDialog round a window whose controls
// take content: the ellipse no larger than the smaller side of the window
// it makes (content with the band all round), so that a huge stored value
// cannot grow a band that takes the window off the screen. The stored
// value is left as it is.
PopupFrame FrameFor(int roundDialog, QSize content);

// The edges that a press at point (window coordinates) resizes: those in
// whose band it lies, and both edges of a corner within corner pixels of
// it along either edge; none for a point off the band.
Qt::Edges ResizeEdgesAt(QPoint point, QSize window, int band, int corner);
Qt::CursorShape ResizeCursor(Qt::Edges edges);

// The top-left corner that centres a window of size on screen, moved as
// little as keeps it within available (the screen less its panels); a
// window larger than available keeps available's top-left corner.
QPoint CentreOnScreen(QSize window, QRect screen, QRect available);

// Where the popup goes to show a text whole. home is the rectangle the user
// gave it, chrome the window's size less the text box's, available the
// screen's free area. naturalWidth is the box width that shows the longest
// line unwrapped and heightAt the box height at a given width. The window
// grows (never below home) to at most half the screen's width, or home's
// width when the user made it wider, and at most the screen's height; it
// keeps home's top-left unless that takes it off the screen, and then
// moves no further than to the screen's edge.
QRect FitToText(QRect home, QSize chrome, QRect available, int naturalWidth,
                const std::function<int(int boxWidth)>& heightAt);

}  // namespace kotobane
