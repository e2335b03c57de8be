#pragma once

#include <QBitmap>
#include <QRect>
#include <QSize>
#include <QTextDocument>

namespace kotobane {

// The size of a text box's text as the box's plain-text layout makes it:
// the widest line and the total height, laid out at boxWidth (0: unwrapped).
QSize TextExtent(const QTextDocument& doc, int boxWidth);

// Where the popup goes to show the text of doc whole (FitToText), its text
// box having the rounded outline's band on every side.
QRect FitPopupToText(const QTextDocument& doc, QRect home, QSize chrome, QRect available);

// The window region of a rounded outline with a round x round corner
// ellipse; a null bitmap, for no region at all, when the corners are square.
QBitmap PopupMask(QSize size, int round);

}  // namespace kotobane
