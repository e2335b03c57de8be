#include "window/ReadingWindowLogic.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace kotobane;

namespace {

TEST(TextToSpeak, SelectionOrWholeTextCutBeforeTheReading)
{
    const QString text = QStringLiteral("漢字 (かんじ)");
    EXPECT_EQ(TextToSpeak(text, 0, 0), QStringLiteral("漢字 "));
    EXPECT_EQ(TextToSpeak(text, 5, 5), QStringLiteral("漢字 "));  // an empty selection is none
    EXPECT_EQ(TextToSpeak(text, 0, 1), QStringLiteral("漢"));
    EXPECT_EQ(TextToSpeak(text, 3, 8), QStringLiteral("(かんじ)"));  // a "(" at the start cuts nothing
    EXPECT_EQ(TextToSpeak(text, 1, 5), QStringLiteral("字 "));
    EXPECT_EQ(TextToSpeak(QStringLiteral("(a)(b)"), 0, 0), QStringLiteral("(a)(b)"));
    EXPECT_EQ(TextToSpeak(QStringLiteral("a(b(c"), 0, 0), QStringLiteral("a"));
    EXPECT_EQ(TextToSpeak(QString(), 0, 0), QString());
}

TEST(PlacementFitsScreen, BothCornersMustBeOnTheScreen)
{
    const QSize screen(1280, 800);
    const auto placement = [](int l, int t, int r, int b) {
        WindowPlacement p;
        p.left = l;
        p.top = t;
        p.right = r;
        p.bottom = b;
        return p;
    };
    EXPECT_TRUE(PlacementFitsScreen(placement(0, 0, 200, 30), screen));
    EXPECT_TRUE(PlacementFitsScreen(placement(1000, 700, 1279, 799), screen));
    EXPECT_FALSE(PlacementFitsScreen(placement(1100, 700, 1280, 730), screen));  // right edge exactly at the width
    EXPECT_FALSE(PlacementFitsScreen(placement(100, 780, 300, 800), screen));
    EXPECT_FALSE(PlacementFitsScreen(placement(-1, 10, 100, 40), screen));
    EXPECT_FALSE(PlacementFitsScreen(placement(1500, 10, 1700, 40), screen));  // another screen's position
}

TEST(OpacityRule, ActivationMouseAndTimer)
{
    OpacityRule rule;
    EXPECT_FALSE(rule.Opaque());
    EXPECT_EQ(rule.OnActivate(true), 255);
    EXPECT_EQ(rule.OnMouseMove(), std::nullopt);  // already opaque
    EXPECT_EQ(rule.OnTimer(true, false), std::nullopt);  // still in front
    EXPECT_EQ(rule.OnActivate(false), 80);  // another window was clicked
    EXPECT_EQ(rule.OnTimer(false, false), std::nullopt);  // already translucent
    EXPECT_EQ(rule.OnMouseMove(), 255);  // hovering without activating
    EXPECT_EQ(rule.OnTimer(false, true), std::nullopt);  // the cursor is still over it
    EXPECT_EQ(rule.OnTimer(false, false), 80);  // it left
    EXPECT_FALSE(rule.Opaque());
    EXPECT_EQ(rule.OnActivate(false), 80);  // every deactivation applies the alpha again
}

// The popup laid out as the template puts it at 7x15 base units.
struct Popup {
    QRect client{0, 0, 196, 25};
    QRect lookUp{121, 0, 22, 25};
    QRect menu{170, 13, 12, 11};
};

TEST(HitTest, ShortWindowDragsRightOfTheButtonsAndHasNoAreaBelow)
{
    const Popup p;
    EXPECT_EQ(DragAreaA(p.client, p.menu), QRect(QPoint(184, 0), QPoint(195, 12)));
    EXPECT_TRUE(DragAreaB(p.client, p.lookUp, p.menu).isEmpty());
    EXPECT_EQ(HitTest({184, 0}, p.client, p.lookUp, p.menu), HitArea::Drag);
    EXPECT_EQ(HitTest({183, 0}, p.client, p.lookUp, p.menu), HitArea::None);
    // A point both in a drag area and in the grip (buttons reaching into
    // the corner) drags the window.
    const QRect narrow(0, 0, 100, 60);
    EXPECT_EQ(HitTest({95, 55}, narrow, QRect(60, 0, 20, 25), QRect(85, 13, 12, 11)), HitArea::Drag);
    EXPECT_EQ(HitTest({99, 55}, narrow, QRect(60, 0, 20, 25), QRect(85, 13, 12, 11)), HitArea::Grip);
    EXPECT_EQ(HitTest({190, 13}, p.client, p.lookUp, p.menu), HitArea::None);  // between A and the grip
    EXPECT_EQ(HitTest({190, 14}, p.client, p.lookUp, p.menu), HitArea::Grip);
    EXPECT_EQ(HitTest({195, 24}, p.client, p.lookUp, p.menu), HitArea::Grip);
    EXPECT_EQ(HitTest({196, 24}, p.client, p.lookUp, p.menu), HitArea::None);
    EXPECT_EQ(HitTest({185, 14}, p.client, p.lookUp, p.menu), HitArea::Grip);
    EXPECT_EQ(HitTest({184, 14}, p.client, p.lookUp, p.menu), HitArea::None);
    EXPECT_EQ(HitTest({10, 10}, p.client, p.lookUp, p.menu), HitArea::None);

    // Exactly as tall as the look-up button plus two: still no strip below.
    Popup q;
    q.client.setHeight(27);
    EXPECT_TRUE(DragAreaB(q.client, q.lookUp, q.menu).isEmpty());
}

TEST(HitTest, TallWindowDragsBelowTheButtons)
{
    Popup p;
    p.client.setHeight(60);
    EXPECT_EQ(DragAreaB(p.client, p.lookUp, p.menu), QRect(QPoint(121, 27), QPoint(183, 59)));
    EXPECT_EQ(HitTest({121, 27}, p.client, p.lookUp, p.menu), HitArea::Drag);
    EXPECT_EQ(HitTest({121, 26}, p.client, p.lookUp, p.menu), HitArea::None);
    EXPECT_EQ(HitTest({120, 40}, p.client, p.lookUp, p.menu), HitArea::None);
    EXPECT_EQ(HitTest({183, 59}, p.client, p.lookUp, p.menu), HitArea::Drag);
    EXPECT_EQ(HitTest({190, 50}, p.client, p.lookUp, p.menu), HitArea::Grip);
    EXPECT_EQ(HitTest({190, 40}, p.client, p.lookUp, p.menu), HitArea::Drag);  // area A reaches to bottom - 12
}

TEST(GripStrokes, ThreeGroupsInsideTheCorner)
{
    const QList<GripStroke> strokes = GripStrokes(QSize(100, 50));
    // d = 11: 10 + 9 + 8 pixels; d = 7: 6 + 5 + 4; d = 3: 2 + 1 (the third is empty).
    ASSERT_EQ(strokes.size(), 8);
    EXPECT_FALSE(strokes[0].dark);
    EXPECT_EQ(strokes[0].line, QLine(90, 49, 99, 40));
    EXPECT_TRUE(strokes[1].dark);
    EXPECT_EQ(strokes[1].line, QLine(91, 49, 99, 41));
    EXPECT_EQ(strokes[2].line, QLine(92, 49, 99, 42));
    EXPECT_EQ(strokes[3].line, QLine(94, 49, 99, 44));
    EXPECT_FALSE(strokes[6].dark);
    EXPECT_EQ(strokes[6].line, QLine(98, 49, 99, 48));
    EXPECT_EQ(strokes[7].line, QLine(99, 49, 99, 49));
    for (const GripStroke& s : strokes) {
        EXPECT_LT(s.line.x2(), 100);
        EXPECT_LT(s.line.y1(), 50);
        EXPECT_EQ(s.line.x2() - s.line.x1(), s.line.y1() - s.line.y2()) << "a 45 degree stroke";
    }
}

TEST(BorderBand, PenPlusHowFarTheRoundedCornersReachIn)
{
    // r = round / 2; the band b is the least with sqrt(2) * (r - b) <= r - 1.
    const struct {
        int round, band;
    } cases[] = {{-4, 1}, {0, 1}, {2, 1}, {5, 2}, {9, 3}, {30, 6}};
    for (const auto& c : cases) {
        EXPECT_EQ(BorderBand(c.round), c.band) << c.round;
    }
}

// The corners are no rounder than the window they make allows: the
// ellipse fits the smaller side of the controls' area with the band round
// it, whatever the settings file says.
TEST(FrameFor, CornerEllipseFitsTheWindowItMakes)
{
    const struct {
        int round;
        QSize content;
        int framed, band;
    } cases[] = {
        {9, {196, 24}, 9, 3},  // the default stays as it is
        {0, {196, 24}, 0, 1},           {38, {196, 24}, 38, 7},  // 38 <= 24 + 2 * 7
        {100000, {196, 24}, 38, 7},  // 39 is more than 24 + 2 * 7
        {100000, {24, 196}, 38, 7},  // the smaller side, whichever it is
        {2147483647, {196, 24}, 38, 7}, {100000, {2000, 1000}, 1418, 209},
        {100000, {0, 0}, 4, 2},
    };
    for (const auto& c : cases) {
        const PopupFrame frame = FrameFor(c.round, c.content);
        EXPECT_EQ(frame.round, c.framed) << c.round << " in " << c.content.width() << "x" << c.content.height();
        EXPECT_EQ(frame.band, c.band) << c.round;
        EXPECT_LE(frame.round, std::min(c.content.width(), c.content.height()) + 2 * frame.band) << c.round;
    }
    // The band's edges and corners follow the framed ellipse, not the stored one.
    const PopupFrame frame = FrameFor(100000, {196, 24});
    EXPECT_EQ(frame.Client({210, 38}), QRect(7, 7, 196, 24));
    EXPECT_EQ(frame.EdgesAt({25, 0}, {210, 38}), Qt::Edges(Qt::LeftEdge | Qt::TopEdge));
    EXPECT_EQ(frame.EdgesAt({26, 0}, {210, 38}), Qt::Edges(Qt::TopEdge));
}

TEST(CentreOnScreen, CentredAndKeptWithinTheAvailableArea)
{
    const QRect screen(0, 0, 1280, 800);
    const struct {
        const char* what;
        QSize window;
        QRect available;
        QPoint at;
    } cases[] = {
        {"centred", {210, 38}, screen, {535, 381}},
        {"below a panel at the top", {210, 700}, {0, 80, 1280, 720}, {535, 80}},
        {"left of a panel at the right", {1200, 38}, {0, 0, 1180, 800}, {0, 381}},
        {"larger than the screen: its top-left corner", {29488, 29315}, screen, {0, 0}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CentreOnScreen(c.window, screen, c.available), c.at) << c.what;
    }
}

TEST(ResizeEdgesAt, EdgesInTheBandAndCornersAlongThem)
{
    const Qt::Edges none;
    const Qt::Edge L = Qt::LeftEdge, R = Qt::RightEdge, T = Qt::TopEdge, B = Qt::BottomEdge;
    const struct {
        QPoint at;
        Qt::Edges edges;
    } cases[] = {
        // a window of 200 x 30 with a band of 3 and corners 7 long
        {{0, 15}, L},     {{2, 15}, L},       {{3, 15}, none},   {{197, 15}, R},  {{196, 15}, none},
        {{100, 0}, T},    {{100, 27}, B},     {{100, 26}, none}, {{6, 0}, L | T}, {{7, 0}, T},
        {{0, 23}, L | B}, {{199, 29}, R | B}, {{200, 15}, none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ResizeEdgesAt(c.at, QSize(200, 30), 3, 7), c.edges) << c.at.x() << "," << c.at.y();
    }
}

TEST(ResizeCursor, ArrowsAlongTheEdgesAndDiagonalsAtTheCorners)
{
    const QList<std::pair<Qt::Edges, Qt::CursorShape>> cases = {{Qt::LeftEdge, Qt::SizeHorCursor},
                                                                {Qt::RightEdge, Qt::SizeHorCursor},
                                                                {Qt::TopEdge, Qt::SizeVerCursor},
                                                                {Qt::BottomEdge, Qt::SizeVerCursor},
                                                                {Qt::LeftEdge | Qt::TopEdge, Qt::SizeFDiagCursor},
                                                                {Qt::RightEdge | Qt::BottomEdge, Qt::SizeFDiagCursor},
                                                                {Qt::RightEdge | Qt::TopEdge, Qt::SizeBDiagCursor},
                                                                {Qt::LeftEdge | Qt::BottomEdge, Qt::SizeBDiagCursor}};
    for (const auto& [edges, cursor] : cases) {
        EXPECT_EQ(ResizeCursor(edges), cursor) << edges.toInt();
    }
}

TEST(FitToText, GrowsToTheWholeTextWithinHalfTheScreenAndStaysOnIt)
{
    // A text 20-pixel lines high with a one-pixel margin, laid out anywhere.
    const auto heightAt = [](int natural) {
        return [natural](int width) { return 2 + 20 * ((natural - 2 + width - 3) / (width - 2)); };
    };
    const QSize chrome(80, 6);  // a user's box of 120 x 24 in a window of 200 x 30
    const QRect screen(0, 0, 1280, 800);
    const struct {
        const char* what;
        QRect home, available;
        int natural;
        QRect fit;
    } cases[] = {
        {"a short text keeps the user's size", {100, 100, 200, 30}, screen, 50, {100, 100, 200, 30}},
        {"one line widens only", {100, 100, 200, 30}, screen, 302, {100, 100, 382, 30}},
        {"a long text wraps at half the screen", {100, 100, 200, 30}, screen, 1402, {100, 100, 640, 68}},
        {"wraps at the user's width when wider", {100, 100, 800, 30}, screen, 1402, {100, 100, 800, 48}},
        {"moves left to stay on the screen", {1000, 100, 200, 30}, screen, 1402, {640, 100, 640, 68}},
        {"moves up to stay on the screen", {100, 760, 200, 30}, screen, 1402, {100, 732, 640, 68}},
        {"no taller than the screen", {100, 100, 200, 30}, screen, 27902, {100, 0, 640, 800}},
        {"on the screen it is on, below its panel",
         {2300, 40, 200, 30},
         {1280, 30, 1280, 770},
         1402,
         {1920, 40, 640, 68}},
        {"as far off the screen as the user put it", {1200, 100, 200, 30}, screen, 50, {1200, 100, 200, 30}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FitToText(c.home, chrome, c.available, c.natural, heightAt(c.natural)), c.fit) << c.what;
    }
}

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero)
{
    EXPECT_EQ(MulDiv(7, 6, 4), 11);  // 10.5
    EXPECT_EQ(MulDiv(5, 6, 4), 8);  // 7.5
    EXPECT_EQ(MulDiv(-5, 6, 4), -8);
    EXPECT_EQ(MulDiv(13, 15, 8), 24);  // 24.375
    EXPECT_EQ(MulDiv(1, 1, 0), -1);
    EXPECT_EQ(DialogRect(QRect(69, 0, 13, 13), 7, 15), QRect(121, 0, 23, 24));  // right edge 143.5 rounds up
    EXPECT_EQ(DialogRect(QRect(97, 7, 7, 6), 7, 15), QRect(170, 13, 12, 11));
    EXPECT_EQ(DialogRect(QRect(0, 0, 112, 13), 7, 15), QRect(0, 0, 196, 24));
}

}  // namespace
