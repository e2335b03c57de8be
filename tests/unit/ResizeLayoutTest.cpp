#include "history/ResizeLayout.h"

#include <gtest/gtest.h>

#include <map>

using namespace kotobane;

namespace {

// Stands in for the dialog: keeps each control's present geometry, applies
// the moves of a layout and drags one edge at a time with the cursor on it.
class Dialog {
public:
    explicit Dialog(QRect clientOnScreen = QRect(100, 50, 400, 300)) : client_(clientOnScreen)
    {
        layout.Initialise(clientOnScreen);
    }

    void Add(int id, QRect rect, int leftDrag, int rightDrag, int topDrag, int bottomDrag, int flags = NoErase,
             double horizontalPosition = -1.0, double horizontalSize = -1.0, double verticalPosition = -1.0,
             double verticalSize = -1.0)
    {
        controls_[id] = rect;
        layout.AddAnchor(id, rect, client_.size(), leftDrag, rightDrag, topDrag, bottomDrag, flags, horizontalPosition,
                         horizontalSize, verticalPosition, verticalSize);
    }

    std::vector<AnchorMove> ResizeTo(QRect newClient, QPoint cursor)
    {
        const std::vector<AnchorMove> moves =
            layout.Layout(newClient, cursor, [this](int id) { return controls_.at(id); });
        for (const AnchorMove& move : moves) {
            controls_[move.id] = move.rect;
        }
        client_ = newClient;
        return moves;
    }

    std::vector<AnchorMove> DragRight(int by)
    {
        const QRect c = client_.adjusted(0, 0, by, 0);
        return ResizeTo(c, QPoint(c.x() + c.width(), c.y() + c.height() / 2));
    }
    std::vector<AnchorMove> DragLeft(int by)
    {
        const QRect c = client_.adjusted(-by, 0, 0, 0);
        return ResizeTo(c, QPoint(c.x(), c.y() + c.height() / 2));
    }
    std::vector<AnchorMove> DragBottom(int by)
    {
        const QRect c = client_.adjusted(0, 0, 0, by);
        return ResizeTo(c, QPoint(c.x() + c.width() / 2, c.y() + c.height()));
    }
    std::vector<AnchorMove> DragTop(int by)
    {
        const QRect c = client_.adjusted(0, -by, 0, 0);
        return ResizeTo(c, QPoint(c.x() + c.width() / 2, c.y()));
    }

    QRect At(int id) const { return controls_.at(id); }
    QRect Client() const { return client_; }

    ResizeLayout layout;

private:
    QRect client_;
    std::map<int, QRect> controls_;
};

struct ModeCase {
    int mode;
    QRect afterGrowing;
    QRect afterShrinking;
};

// Every mode on one axis, registered for both edges of that axis: grown by
// 30 from the far edge, then shrunk by 50 from the near edge.
TEST(ResizeLayout, HorizontalModes)
{
    // Centre ratio: (10 + 60) / 2 / 400 = 0.0875.
    const ModeCase cases[] = {
        {Keep, QRect(10, 10, 50, 20), QRect(10, 10, 50, 20)},
        {Stretch, QRect(10, 10, 80, 20), QRect(10, 10, 30, 20)},
        {Move, QRect(40, 10, 50, 20), QRect(-10, 10, 50, 20)},
        {Centre, QRect(12, 10, 50, 20), QRect(8, 10, 50, 20)},  // 430 * 0.0875 - 25 = 12.625
        {Scale, QRect(10, 10, 54, 20), QRect(9, 10, 48, 20)},  // 60 * 430 / 400 = 64.5
        {Share, QRect(17, 10, 65, 20), QRect(5, 10, 40, 20)},  // 10 + 0.25 * 30, 60 + 0.75 * 30
        {6, QRect(10, 10, 50, 20), QRect(10, 10, 50, 20)},
        {15, QRect(10, 10, 50, 20), QRect(10, 10, 50, 20)},
    };
    Dialog grown;
    Dialog shrunk;
    int id = 1;
    for (const ModeCase& c : cases) {
        grown.Add(id, QRect(10, 10, 50, 20), c.mode, c.mode, Keep, Keep, NoErase, 0.25, 0.5, -1.0, -1.0);
        shrunk.Add(id, QRect(10, 10, 50, 20), c.mode, c.mode, Keep, Keep, NoErase, 0.25, 0.5, -1.0, -1.0);
        ++id;
    }
    // Controls whose geometry stays are not moved at all.
    EXPECT_EQ(grown.DragRight(30).size(), 5u);
    shrunk.DragRight(30);
    shrunk.DragLeft(-50);
    id = 1;
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(grown.At(id), c.afterGrowing);
        EXPECT_EQ(shrunk.At(id), c.afterShrinking);
        ++id;
    }
}

TEST(ResizeLayout, VerticalModes)
{
    // Centre ratio: (10 + 60) / 2 / 300.
    const ModeCase cases[] = {
        {Keep, QRect(10, 10, 20, 50), QRect(10, 10, 20, 50)},
        {Stretch, QRect(10, 10, 20, 85), QRect(10, 10, 20, 35)},
        {Move, QRect(10, 45, 20, 50), QRect(10, -5, 20, 50)},
        {Centre, QRect(10, 14, 20, 50), QRect(10, 8, 20, 50)},  // 335 * 35 / 300 - 25 = 14.08
        {Scale, QRect(10, 11, 20, 56), QRect(10, 9, 20, 48)},  // 10 * 285 / 300 = 9.5
        {Share, QRect(10, 18, 20, 68), QRect(10, 6, 20, 42)},  // 60 + 0.75 * -15 = 48.75
        {9, QRect(10, 10, 20, 50), QRect(10, 10, 20, 50)},
    };
    Dialog grown;
    Dialog shrunk;
    int id = 1;
    for (const ModeCase& c : cases) {
        grown.Add(id, QRect(10, 10, 20, 50), Keep, Keep, c.mode, c.mode, NoErase, -1.0, -1.0, 0.25, 0.5);
        shrunk.Add(id, QRect(10, 10, 20, 50), Keep, Keep, c.mode, c.mode, NoErase, -1.0, -1.0, 0.25, 0.5);
        ++id;
    }
    grown.DragBottom(35);
    shrunk.DragBottom(35);
    shrunk.DragTop(-50);
    id = 1;
    for (const ModeCase& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_EQ(grown.At(id), c.afterGrowing);
        EXPECT_EQ(shrunk.At(id), c.afterShrinking);
        ++id;
    }
}

TEST(ResizeLayout, RealResultsAreTruncatedTowardZero)
{
    Dialog dialog(QRect(0, 0, 400, 300));
    // Share: the whole new edge is truncated, not the part added to it.
    dialog.Add(1, QRect(1, 0, 10, 10), Share, Share, Keep, Keep, NoErase, 0.5, 0.25, -1.0, -1.0);
    dialog.Add(2, QRect(-15, 0, 30, 10), Scale, Scale, Keep, Keep);
    dialog.DragRight(-7);
    // 1 + 0.5 * -7 = -2.5 and 11 + 0.75 * -7 = 5.75.
    EXPECT_EQ(dialog.At(1), QRect(QPoint(-2, 0), QPoint(4, 9)));
    // -15 * 393 / 400 = -14.7375 and 15 * 393 / 400 = 14.7375.
    EXPECT_EQ(dialog.At(2), QRect(QPoint(-14, 0), QPoint(13, 9)));
}

TEST(ResizeLayout, EdgeNearerTheCursorCountsAsDragged)
{
    const auto entry = [](Dialog& d) { d.Add(1, QRect(10, 10, 50, 20), Move, Stretch, Move, Stretch); };

    // Wider by 20 with the left edge still: the new centre is (100 + 520) / 2.
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(100, 50, 420, 300), QPoint(309, 0));
        EXPECT_EQ(d.At(1), QRect(30, 10, 50, 20));
    }
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(100, 50, 420, 300), QPoint(310, 0));
        EXPECT_EQ(d.At(1), QRect(10, 10, 70, 20));
    }
    // Taller by 20: the new centre is (50 + 370) / 2.
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(100, 50, 400, 320), QPoint(0, 209));
        EXPECT_EQ(d.At(1), QRect(10, 30, 50, 20));
    }
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(100, 50, 400, 320), QPoint(0, 210));
        EXPECT_EQ(d.At(1), QRect(10, 10, 50, 40));
    }
    // Left of and above the primary screen: (-101 + 0) / 2 is -50, not -51.
    {
        Dialog d(QRect(-100, -80, 100, 80));
        entry(d);
        d.ResizeTo(QRect(-101, -81, 101, 81), QPoint(-51, -41));
        EXPECT_EQ(d.At(1), QRect(11, 11, 50, 20));
    }
    // Maximising counts as a drag of the edges nearest the cursor.
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(0, 0, 800, 600), QPoint(10, 10));
        EXPECT_EQ(d.At(1), QRect(410, 310, 50, 20));
    }
    {
        Dialog d;
        entry(d);
        d.ResizeTo(QRect(0, 0, 800, 600), QPoint(790, 590));
        EXPECT_EQ(d.At(1), QRect(10, 10, 450, 320));
    }
}

TEST(ResizeLayout, KeepOnTheDraggedEdgeLeavesThatAxisAlone)
{
    Dialog d;
    d.Add(1, QRect(10, 10, 50, 20), Keep, Stretch, Stretch, Keep);
    EXPECT_TRUE(d.DragLeft(30).empty());
    EXPECT_TRUE(d.DragBottom(30).empty());
    d.DragRight(30);
    d.DragTop(30);
    EXPECT_EQ(d.At(1), QRect(10, 10, 80, 50));
}

TEST(ResizeLayout, MovingWithoutSizeChangeRepositionsNothing)
{
    Dialog d;
    for (int mode = Keep; mode <= Share; ++mode) {
        d.Add(mode + 1, QRect(10, 10, 50, 20), mode, mode, mode, mode, Repaint, 0.5, 0.5, 0.5, 0.5);
    }
    EXPECT_TRUE(d.ResizeTo(QRect(300, 200, 400, 300), QPoint(0, 0)).empty());
    EXPECT_EQ(d.layout.PreviousClientRect(), QRect(300, 200, 400, 300));
    // The next drag is measured from there.
    d.DragRight(10);
    EXPECT_EQ(d.At(Stretch + 1), QRect(10, 10, 60, 20));
}

TEST(ResizeLayout, WithoutEntriesThePreviousClientAreaStays)
{
    ResizeLayout layout;
    layout.Initialise(QRect(0, 0, 100, 100));
    EXPECT_TRUE(layout.Layout(QRect(0, 0, 150, 100), QPoint(150, 50), nullptr).empty());
    EXPECT_EQ(layout.PreviousClientRect(), QRect(0, 0, 100, 100));

    // A control registered now follows the whole change since then.
    layout.AddAnchor(1, QRect(10, 10, 20, 20), QSize(150, 100), Stretch, Stretch, Keep, Keep, 0, -1, -1, -1, -1);
    const std::vector<AnchorMove> moves =
        layout.Layout(QRect(0, 0, 160, 100), QPoint(160, 50), [](int) { return QRect(10, 10, 20, 20); });
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].rect, QRect(10, 10, 80, 20));
}

// When the other axis changes, an axis whose dragged edge has Keep but
// whose other edge has Scale or Share stays where the last layout put it
// instead of going back to the registration rectangle.
TEST(ResizeLayout, AnUndraggedScaleOrShareAxisStaysWhereItWas)
{
    {
        Dialog d;
        d.Add(1, QRect(15, 10, 50, 20), Scale, Scale, Stretch, Stretch);
        d.DragRight(100);
        EXPECT_EQ(d.At(1), QRect(QPoint(18, 10), QPoint(80, 29)));  // 18.75, 81.25
        d.DragBottom(20);
        EXPECT_EQ(d.At(1), QRect(QPoint(18, 10), QPoint(80, 49)));
    }
    {
        // Keep on the left edge, Share with the whole change on the right.
        Dialog d;
        d.Add(1, QRect(15, 10, 50, 20), Keep, Share, Stretch, Stretch, NoErase, 1.0, 0.0, -1.0, -1.0);
        d.DragRight(100);
        EXPECT_EQ(d.At(1), QRect(115, 10, 50, 20));
        EXPECT_TRUE(d.DragLeft(30).empty());
        d.DragBottom(20);
        EXPECT_EQ(d.At(1), QRect(115, 10, 50, 40));
    }
    {
        Dialog d;
        d.Add(1, QRect(10, 15, 20, 50), Stretch, Stretch, Keep, Scale);
        d.DragBottom(20);
        EXPECT_EQ(d.At(1), QRect(10, 16, 20, 53));  // 15 * 320 / 300, 65 * 320 / 300 = 69.3
        EXPECT_TRUE(d.DragTop(10).empty());
        d.DragRight(40);
        EXPECT_EQ(d.At(1), QRect(10, 16, 60, 53));
    }
}

TEST(ResizeLayout, ScaleAndShareAlwaysWorkFromTheRegistrationRectangle)
{
    Dialog d;
    d.Add(1, QRect(10, 10, 20, 20), Share, Share, Keep, Keep, NoErase, 0.5, 0.0, -1.0, -1.0);
    d.Add(2, QRect(10, 10, 20, 20), Scale, Scale, Stretch, Stretch);
    d.DragRight(40);
    EXPECT_EQ(d.At(1), QRect(30, 10, 20, 20));
    d.DragRight(20);
    EXPECT_EQ(d.At(1), QRect(40, 10, 20, 20));  // half of 60 since initialisation

    // Its other axis follows only the latest change of the registration rectangle.
    d.DragBottom(20);
    EXPECT_EQ(d.At(2).height(), 40);
    EXPECT_TRUE(d.DragBottom(20).empty());
    EXPECT_EQ(d.At(2).height(), 40);
    EXPECT_EQ(d.layout.Entries()[1].rect, QRect(10, 10, 20, 20));
}

TEST(ResizeLayout, RegistrationFillsTheEntryAndARepeatedIdReplacesItInPlace)
{
    ResizeLayout layout;
    layout.Initialise(QRect(0, 0, 400, 300));
    layout.AddAnchor(1, QRect(10, 20, 50, 40), QSize(400, 300), Keep, Centre, Keep, Keep, NoErase | Repaint, 0.1, 0.2,
                     0.3, 0.4);
    layout.AddAnchor(7, QRect(10, 20, 50, 40), QSize(400, 300), Keep, Keep, Scale, Keep, 4 | Repaint, -1, -1, -1, -1);
    layout.AddAnchor(2, QRect(10, 20, 50, 40), QSize(400, 300), Share, Share, Keep, Keep, 0, 0.1, 0.2, 0.3, 0.4);

    const std::vector<AnchorEntry>& e = layout.Entries();
    ASSERT_EQ(e.size(), 3u);
    // Centre or Scale on either edge takes the position from the rectangle.
    EXPECT_DOUBLE_EQ(e[0].horizontalPosition, (10 + 60) * 0.5 / 400);
    EXPECT_DOUBLE_EQ(e[0].horizontalSize, 0.2);
    EXPECT_DOUBLE_EQ(e[0].verticalPosition, 0.3);
    EXPECT_TRUE(e[0].noErase);
    EXPECT_TRUE(e[0].repaint);
    EXPECT_DOUBLE_EQ(e[1].horizontalPosition, -1.0);
    EXPECT_DOUBLE_EQ(e[1].verticalPosition, (20 + 60) * 0.5 / 300);
    EXPECT_DOUBLE_EQ(e[1].verticalSize, -1.0);
    EXPECT_FALSE(e[1].noErase);
    EXPECT_TRUE(e[1].repaint);
    EXPECT_DOUBLE_EQ(e[2].horizontalPosition, 0.1);
    EXPECT_DOUBLE_EQ(e[2].verticalSize, 0.4);
    EXPECT_FALSE(e[2].noErase);
    EXPECT_FALSE(e[2].repaint);

    layout.AddAnchor(7, QRect(5, 5, 10, 10), QSize(400, 300), Stretch, Move, Keep, Centre, NoErase, 0.5, 0.6, 0.7, 0.8);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].id, 1);
    EXPECT_EQ(e[1].id, 7);
    EXPECT_EQ(e[2].id, 2);
    EXPECT_EQ(e[1].rect, QRect(5, 5, 10, 10));
    EXPECT_EQ(e[1].leftDrag, Stretch);
    EXPECT_EQ(e[1].rightDrag, Move);
    EXPECT_EQ(e[1].topDrag, Keep);
    EXPECT_EQ(e[1].bottomDrag, Centre);
    EXPECT_TRUE(e[1].noErase);
    EXPECT_FALSE(e[1].repaint);
    EXPECT_DOUBLE_EQ(e[1].horizontalPosition, 0.5);
    EXPECT_DOUBLE_EQ(e[1].verticalPosition, (5 + 15) * 0.5 / 300);

    const std::vector<AnchorMove> moves = layout.Layout(QRect(0, 0, 400, 345), QPoint(0, 345), [](int id) {
        return id == 7 ? QRect(5, 5, 10, 10) : QRect(10, 20, 50, 40);
    });
    // Only the new registration of 7 moves on a bottom drag: 345 * 10 / 300 - 5.
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_EQ(moves[0].id, 7);
    EXPECT_EQ(moves[0].rect, QRect(5, 6, 10, 10));
}

TEST(ResizeLayout, RepaintReportsTheAreaTheControlLeaves)
{
    Dialog d;
    d.Add(1, QRect(10, 10, 50, 20), Stretch, Stretch, Keep, Keep, Repaint);
    d.Add(2, QRect(10, 10, 50, 20), Scale, Scale, Keep, Keep, NoErase | Repaint);
    d.Add(3, QRect(10, 10, 50, 20), Move, Move, Keep, Keep, NoErase);
    d.DragRight(40);

    const std::vector<AnchorMove> moves = d.DragRight(40);
    ASSERT_EQ(moves.size(), 3u);
    EXPECT_TRUE(moves[0].repaint);
    EXPECT_EQ(moves[0].vacated, QRect(10, 10, 90, 20));  // the stored rectangle
    EXPECT_TRUE(moves[1].repaint);
    EXPECT_EQ(moves[1].vacated, QRect(11, 10, 55, 20));  // where the last layout put it
    EXPECT_EQ(moves[1].rect, QRect(12, 10, 60, 20));
    EXPECT_FALSE(moves[2].repaint);
    EXPECT_EQ(moves[2].rect, QRect(90, 10, 50, 20));
}

TEST(ResizeLayout, MinimumSizeAndLocks)
{
    ResizeLayout layout;
    SizeLimits system{QSize(110, 40), QSize(2000, 1500), QSize(1920, 1080)};
    EXPECT_EQ(layout.MinimumSize(), QSize(32, 32));
    EXPECT_EQ(layout.Limits(system), system);  // not before initialisation

    layout.Initialise(QRect(0, 0, 400, 300));
    layout.SetMinimumSize(QSize(420, 330));
    layout.SetResizable(1920, 1080);
    EXPECT_EQ(layout.Limits(system), (SizeLimits{QSize(420, 330), QSize(2000, 1500), QSize(1920, 1080)}));

    layout.SetResizable(0, 1080);
    EXPECT_FALSE(layout.ResizableHorizontally());
    EXPECT_EQ(layout.Limits(system), (SizeLimits{QSize(420, 330), QSize(420, 1500), QSize(420, 1080)}));

    layout.SetResizable(-1, 0);
    EXPECT_TRUE(layout.ResizableHorizontally());
    EXPECT_EQ(layout.Limits(system), (SizeLimits{QSize(420, 330), QSize(2000, 330), QSize(1920, 330)}));
}

// The reading window: the text box follows both directions, the buttons in
// the column to its right follow only the width; the size grip is hidden
// but still follows the corner.
TEST(ResizeLayout, ReadingWindowFromEveryEdge)
{
    Dialog d(QRect(200, 100, 420, 160));
    const int buttons[] = {1002, 1004, 1001, 1003};
    d.Add(50, QRect(404, 144, 16, 16), Move, Move, Move, Move, 0);
    d.Add(1014, QRect(7, 7, 320, 146), Stretch, Stretch, Stretch, Stretch);
    for (int i = 0; i < 4; ++i) {
        d.Add(buttons[i], QRect(334, 7 + 26 * i, 79, 23), Move, Move, Keep, Keep);
    }
    const auto expect = [&](int textWidth, int textHeight, int buttonX) {
        EXPECT_EQ(d.At(1014), QRect(7, 7, textWidth, textHeight));
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(d.At(buttons[i]), QRect(buttonX, 7 + 26 * i, 79, 23));
        }
        EXPECT_EQ(d.At(50), QRect(d.Client().width() - 16, d.Client().height() - 16, 16, 16));
    };

    d.DragRight(40);
    expect(360, 146, 374);
    d.DragBottom(30);
    expect(360, 176, 374);
    d.DragLeft(25);
    expect(385, 176, 399);
    d.DragTop(10);
    expect(385, 186, 399);
    d.DragRight(-65);
    d.DragTop(-40);
    expect(320, 146, 334);
}

}  // namespace
