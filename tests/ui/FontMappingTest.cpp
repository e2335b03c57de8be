#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "settings/FontMapping.h"

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
