#include "window/GetText.h"

#include <gtest/gtest.h>

using namespace kotobane;

namespace {

TEST(TrimPhrase, RemovesCSpacesAndUnicodeSpacesAboveLatin1)
{
    EXPECT_EQ(TrimPhrase(QStringLiteral(" \t\n\v\f\r漢字\r\n ")), QStringLiteral("漢字"));
    EXPECT_EQ(TrimPhrase(QStringLiteral("\u3000東京\u3000\u2003")), QStringLiteral("東京"));
    EXPECT_EQ(TrimPhrase(QStringLiteral("a  b")), QStringLiteral("a  b"));
    // No-break space (U+00A0) and NEL (U+0085) are below 256 and not C white space.
    EXPECT_EQ(TrimPhrase(QStringLiteral("\u00a0x\u0085")), QStringLiteral("\u00a0x\u0085"));
    EXPECT_EQ(TrimPhrase(QStringLiteral(" \r\n \u3000")), QString());
}

TEST(ComposeLookup, LimitIsCountedInUtf16UnitsAfterTrimming)
{
    int asked = 0;
    const auto reader = [&](const QString&) {
        ++asked;
        return QStringLiteral("(r)");
    };
    const QString exactly(1000, u'字');
    EXPECT_EQ(ComposeLookup(u' ' + exactly + u' ', reader).Display(), exactly + QStringLiteral(" (r)"));
    EXPECT_EQ(asked, 1);

    const LookupText tooLong = ComposeLookup(QString(1001, u'字'), reader);
    EXPECT_EQ(tooLong.Display(), QStringLiteral("The string is more than 1000 byte."));
    EXPECT_EQ(asked, 1);

    // 500 characters outside the BMP are 1000 units; one more is too many.
    QString astral;
    for (int i = 0; i < 500; ++i) {
        astral += QStringLiteral("𠀋");
    }
    EXPECT_NE(ComposeLookup(astral, reader).phrase, kTooLongMessage);
    EXPECT_EQ(ComposeLookup(astral + u'a', reader).phrase, kTooLongMessage);
}

TEST(ComposeLookup, DisplayAndHistoryForms)
{
    const LookupText withReading = ComposeLookup(QStringLiteral(" 漢字 "), [](const QString& p) {
        return p == QStringLiteral("漢字") ? QStringLiteral("(かんじ)") : QString();
    });
    EXPECT_EQ(withReading.Display(), QStringLiteral("漢字 (かんじ)"));
    EXPECT_EQ(withReading.BareReading(), QStringLiteral("かんじ"));

    const LookupText none = ComposeLookup(QStringLiteral("abc"), [](const QString&) { return QString(); });
    EXPECT_EQ(none.Display(), QStringLiteral("abc"));
    EXPECT_EQ(none.BareReading(), QString());

    QString seen = QStringLiteral("unset");
    EXPECT_EQ(ComposeLookup(QStringLiteral("  \u3000 "),
                            [&](const QString& p) {
                                seen = p;
                                return QString();
                            })
                  .Display(),
              QString());
    EXPECT_EQ(seen, QString());
}

}  // namespace
