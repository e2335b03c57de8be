#include "settings/FontMapping.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include <climits>

using namespace kotobane;

namespace {

TEST(FontMapping, StoredFieldsSurviveTheTripThroughQt)
{
    LogFont f;
    f.lfHeight = -20;
    f.lfWeight = 700;
    f.lfItalic = 1;
    f.lfUnderline = 1;
    f.lfStrikeOut = 1;
    f.lfCharSet = 128;
    f.lfQuality = 5;
    f.SetFaceName(QStringLiteral("DejaVu Sans"));

    const QFont font = ToQFont(f);
    EXPECT_EQ(font.family(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(font.pixelSize(), 20);
    EXPECT_EQ(font.weight(), QFont::Bold);
    EXPECT_TRUE(font.italic());
    EXPECT_TRUE(font.underline());
    EXPECT_TRUE(font.strikeOut());

    // Character set and quality are not Qt's: they come from the base.
    EXPECT_EQ(FromQFont(font, f), f);
    EXPECT_EQ(FromQFont(font).lfCharSet, 0);
}

TEST(FontMapping, PositiveHeightIsTheCellHeight)
{
    LogFont f;
    f.lfHeight = 30;
    f.SetFaceName(QStringLiteral("DejaVu Sans"));
    const QFont font = ToQFont(f);
    EXPECT_LT(font.pixelSize(), 30);
    EXPECT_NEAR(QFontMetrics(font).height(), 30, 2);
}

// Heights come from the settings file, where any 32-bit number can stand:
// the font is kept within 1..1000 pixels, the sign still telling character
// height (negative) from cell height (positive); 0 leaves Qt's default size.
TEST(FontMapping, StoredHeightsOfAnySizeGiveASaneFont)
{
    struct Row {
        qint32 height;
        int pixels;  // the character height; 0 for a cell height, -1 for Qt's default
        int cell;  // the line height a cell height asks for
    };
    const Row rows[] = {
        {0, -1, 0},         {-1, 1, 0},        {1, 0, 1},          {-15, 15, 0},       {15, 0, 15},
        {-100000, 1000, 0}, {100000, 0, 1000}, {INT_MIN, 1000, 0}, {INT_MAX, 0, 1000},
    };
    for (const Row& row : rows) {
        LogFont f;
        f.lfHeight = row.height;
        f.SetFaceName(QStringLiteral("DejaVu Sans"));
        const QFont font = ToQFont(f);
        if (row.cell == 0) {
            EXPECT_EQ(font.pixelSize(), row.pixels) << row.height;
            continue;
        }
        EXPECT_GE(font.pixelSize(), 1) << row.height;
        EXPECT_LE(font.pixelSize(), row.cell) << row.height;
        EXPECT_NEAR(QFontMetrics(font).height(), row.cell, 2 + row.cell / 100) << row.height;
    }
}

TEST(FontMapping, DefaultIsTheFixedPitchSystemFontAt15Pixels)
{
    const LogFont f = DefaultLogFont();
    EXPECT_EQ(f.lfHeight, -15);
    EXPECT_EQ(f.lfPitchAndFamily & 3, FIXED_PITCH);
    EXPECT_EQ(f.lfCharSet, OEM_CHARSET);
    EXPECT_FALSE(f.FaceName().isEmpty());
    const QFont font = ToQFont(f);
    EXPECT_EQ(font.pixelSize(), 15);
    EXPECT_TRUE(QFontInfo(font).fixedPitch());
}

}  // namespace
