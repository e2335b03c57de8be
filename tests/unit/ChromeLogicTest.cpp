#include "chrome/ChromeLogic.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

using namespace kotobane;

namespace {

// Expected values from a separate single-precision model of the round trip
// (every step rounded to float), not from this code.
TEST(ChromeLogicTest, HlsRoundTripMatchesTheSinglePrecisionSteps)
{
    const std::pair<Colour, Colour> cases[] = {
        {0x800000, 0x800000}, {0xFFFFFF, 0xFFFFFF}, {0x7FFFFF, 0x7FFDFF}, {0xC64646, 0xC54646}, {0x00FF00, 0x00FE00},
        {0x123456, 0x123355}, {0x000000, 0x000000}, {0x808080, 0x808080}, {0x0000FF, 0x0000FE}, {0xFF9933, 0xFF9C33},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(HlsRoundTrip(in), out) << std::hex << in;
    }
}

TEST(ChromeLogicTest, ShadowStripsDarkenFromTheOutsideInWithTaperedEnds)
{
    constexpr int W = 40, H = 30;
    std::map<std::pair<int, int>, std::vector<int>> at;
    for (const ShadowPixel& p : ShadowStrips(W, H)) {
        at[{p.x, p.y}].push_back(p.percent);
    }
    const auto percentAt = [&at](int x, int y) {
        const auto it = at.find({x, y});
        return it == at.end() ? std::vector<int>{} : it->second;
    };
    using V = std::vector<int>;
    // The middle of the bottom strip: 93 on the outermost row to 78 next to the body.
    EXPECT_EQ(percentAt(20, H - 1), V{93});
    EXPECT_EQ(percentAt(20, H - 2), V{88});
    EXPECT_EQ(percentAt(20, H - 3), V{83});
    EXPECT_EQ(percentAt(20, H - 4), V{78});
    EXPECT_EQ(percentAt(20, H - 5), V{});  // the body
    // The middle of the right strip, likewise.
    EXPECT_EQ(percentAt(W - 1, 15), V{93});
    EXPECT_EQ(percentAt(W - 4, 15), V{78});
    EXPECT_EQ(percentAt(W - 5, 15), V{});
    // The left end of the bottom strip starts 4 pixels in and tapers.
    EXPECT_EQ(percentAt(3, H - 1), V{});
    EXPECT_EQ(percentAt(4, H - 3), V{93});  // i = 0: lightest
    EXPECT_EQ(percentAt(4, H - 1), V{});  // j0 = 2
    EXPECT_EQ(percentAt(5, H - 4), V{88});  // i = 1, j >= 2
    EXPECT_EQ(percentAt(6, H - 2), V{88});  // i = 2, j = 1
    // The top end of the right strip starts 4 pixels down and tapers.
    EXPECT_EQ(percentAt(W - 1, 3), V{});
    EXPECT_EQ(percentAt(W - 3, 4), V{93});  // j = 0
    EXPECT_EQ(percentAt(W - 4, 5), V{88});  // j = 1, k = 3
    EXPECT_EQ(percentAt(W - 1, 4), V{});  // k = 0 starts at j = 2
    // Every pixel lies in the 4-pixel band and no pixel is darkened twice.
    for (const auto& [xy, percents] : at) {
        EXPECT_TRUE(xy.first >= W - 4 || xy.second >= H - 4) << xy.first << "," << xy.second;
        EXPECT_EQ(percents.size(), 1u) << xy.first << "," << xy.second;
    }
    EXPECT_EQ(Darken(255, 93), 237);
    EXPECT_EQ(Darken(199, 78), 155);
}

TEST(ChromeLogicTest, GrayIconPixelIsOneStepDarkerForNeutralGreys)
{
    const std::pair<quint32, quint32> cases[] = {
        {0xFF808080, 0xFF7F7F7F}, {0xFFFFFFFF, 0xFFFEFEFE}, {0xFF000000, 0xFF000000},
        {0x00000000, 0x00000000}, {0xFF010101, 0xFF000000}, {0x80FF0000, 0x804C4C4C},  // red: 0.299 * 255 = 76.2
        {0xFF00FF00, 0xFF959595},  // green: 0.587 * 255 = 149.7
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(GrayIconPixel(in), out) << std::hex << in;
    }
}

TEST(ChromeLogicTest, MenuMetricsPackAndMeasure)
{
    EXPECT_EQ(MenuItemHeight(12), 20);
    EXPECT_EQ(MenuItemHeight(15), 21);
    EXPECT_EQ(MenuSeparatorValue(15), 9u);
    const struct {
        int label, accelerator, height, identifier;
        QSize size;
    } cases[] = {
        {80, 30, 20, 32773, {154, 20}},
        {80, 300, 20, 32773, {80 + (300 & 0xFF) + 44, 20}},  // only the low 8 bits of the accelerator
        {0, 0, 0, 5, {4, 0}},  // no height: label + 4
        {80, 30, 20, 0, {154, 5}},  // identifier 0: 5 high
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MeasureMenuItem(PackMenuItemData(c.label, c.accelerator, c.height), c.identifier), c.size)
            << c.label << " " << c.accelerator;
    }
    EXPECT_EQ(MeasureMenuItem(MenuSeparatorValue(15), 0), QSize(44, 5));
}

TEST(ChromeLogicTest, MenuTextSplitsAtTheFirstTabAndDropsOneAmpersand)
{
    const MenuText withKey = SplitMenuText(QStringLiteral("&Copy\tCtrl+C\tx"));
    EXPECT_EQ(withKey.label, QStringLiteral("&Copy"));
    EXPECT_EQ(withKey.accelerator, QStringLiteral("Ctrl+C\tx"));
    EXPECT_EQ(SplitMenuText(QStringLiteral("About ...")).accelerator, QString());
    EXPECT_EQ(LabelWithoutMnemonic(QStringLiteral("Fish && &Chips")), QStringLiteral("Fish & &Chips"));
}

TEST(ChromeLogicTest, MenuCharToItemSkipsDoubledAmpersands)
{
    const QStringList labels = {QStringLiteral("Salt &&pepper"), QStringLiteral("&History"), QStringLiteral("O&ption"),
                                QStringLiteral("Sa&lt &&pepper &Go")};
    const struct {
        char c;
        int item;
    } cases[] = {
        {'h', 1},  // at position 0
        {'P', 2},  // not the doubled one in item 0
        {'l', 3},  {'g', 3},  // any single "&" counts, not only the first
        {'x', -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MenuCharToItem(labels, QLatin1Char(c.c)), c.item) << c.c;
    }
}

}  // namespace
