#include "reading/ImeCatalog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct CatalogTest : ::testing::Test {
    Recorder log;
    FakeIme ime{log};
    FakeMessageBox ui{log};
    ImeCatalog catalog;
};

TEST_F(CatalogTest, EntriesFollowThePlatformOrderWithDescriptionAndLanguage)
{
    ime.layouts = {0xE0010411, 0x04090409, 0x04070407, 0xE0200804};
    ime.descriptions[0xE0010411] = QStringLiteral("X");
    ime.descriptions[0xE0200804] = QStringLiteral("Pinyin");
    LoadIMEList(catalog, ime, ui);
    EXPECT_THAT(catalog,
                ElementsAre(ImeCatalogEntry{QStringLiteral("E0010411"), QStringLiteral("X (Japanese)")},
                            ImeCatalogEntry{QStringLiteral("4090409"), QStringLiteral("4090409 (English)")},
                            ImeCatalogEntry{QStringLiteral("4070407"), QStringLiteral("4070407 (Default)")},
                            ImeCatalogEntry{QStringLiteral("E0200804"), QStringLiteral("Pinyin (Simp_Chinese)")}));
    EXPECT_EQ(log.calls.front(), "GetKeyboardLayoutList 25");
    EXPECT_EQ(log.calls[1], "ImmGetDescriptionW E0010411 1000");
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(CatalogTest, AppendsNeverClearsAndTakesAtMost25)
{
    for (Hkl i = 0; i < 30; ++i) {
        ime.layouts.push_back(0x04090409 + (i << 16));
    }
    catalog.append({QStringLiteral("K"), QStringLiteral("kept")});
    LoadIMEList(catalog, ime, ui);
    ASSERT_EQ(catalog.size(), 26);
    EXPECT_EQ(catalog.front().key, QStringLiteral("K"));
    EXPECT_EQ(catalog.back().key, QStringLiteral("4210409"));

    ime.layouts.clear();
    ImeCatalog none;
    LoadIMEList(none, ime, ui);
    EXPECT_THAT(none, IsEmpty());
}

TEST_F(CatalogTest, DescriptionFailureWithItsOwnTextShowsTwoBoxes)
{
    ime.descriptionThrows = true;
    EXPECT_EQ(GetImeDescription(0xE0010411, ime, ui), QStringLiteral("E0010411"));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error"));
    EXPECT_EQ(ui.boxes[1].first, QStringLiteral("error on GetImeDescription: description store is gone"));
    EXPECT_EQ(EffectiveMessageBoxType(ui.boxes[1].second), MB_OK | MB_ICONEXCLAMATION);
}

TEST(LanguageName, BothFormsUseTheLow16Bits)
{
    EXPECT_EQ(LanguageName(0x0404u), QStringLiteral("Trad_Chinese"));
    EXPECT_EQ(LanguageName(0x04090409u), QStringLiteral("English"));
    EXPECT_EQ(LanguageName(0xE0010411u), QStringLiteral("Japanese"));
    EXPECT_EQ(LanguageName(0x0412u), QStringLiteral("Korean"));
    EXPECT_EQ(LanguageName(0xE0200804u), QStringLiteral("Simp_Chinese"));
    EXPECT_EQ(LanguageName(0x0407u), QStringLiteral("Default"));
    EXPECT_EQ(LanguageName(QStringLiteral("411")), QStringLiteral("Japanese"));
    EXPECT_EQ(LanguageName(QStringLiteral("804;404")), QStringLiteral("Simp_Chinese"));
    EXPECT_EQ(LanguageName(QStringLiteral("10411")), QStringLiteral("Japanese"));
    EXPECT_EQ(LanguageName(QStringLiteral("zz")), QStringLiteral("Default"));
    EXPECT_EQ(LanguageName(QString()), QStringLiteral("Default"));
}

TEST(SystemError, PrefixIsFollowedDirectlyByTheSystemText)
{
    Recorder log;
    FakeMessageBox ui{log};
    ShowSystemError(ui, QStringLiteral("error on LoadIMEList"), 5);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("error on LoadIMEList") + SystemErrorText(5));
    EXPECT_EQ(SystemErrorText(5), QStringLiteral("Input/output error"));
    EXPECT_EQ(ui.boxes[0].second, MB_OK | MB_ICONINFORMATION);
}

TEST(MessageBoxType, ExclamationIsAddedOnlyToCommonButtonSetsWithoutIcon)
{
    EXPECT_EQ(EffectiveMessageBoxType(MB_OK), MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(EffectiveMessageBoxType(MB_OKCANCEL), MB_OKCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(EffectiveMessageBoxType(MB_YESNO), MB_YESNO | MB_ICONEXCLAMATION);
    EXPECT_EQ(EffectiveMessageBoxType(MB_YESNOCANCEL), MB_YESNOCANCEL | MB_ICONEXCLAMATION);
    EXPECT_EQ(EffectiveMessageBoxType(MB_RETRYCANCEL), MB_RETRYCANCEL);
    EXPECT_EQ(EffectiveMessageBoxType(MB_OK | MB_ICONINFORMATION), MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(ProgramName(QStringLiteral("/usr/bin/kotobane")), QStringLiteral("kotobane"));
    EXPECT_EQ(ProgramName(QStringLiteral("/opt/Kotobane.bin")), QStringLiteral("Kotobane"));
}

TEST(SystemErrorText, ErrnoTextsAndTheTakenHotKey)
{
    EXPECT_EQ(SystemErrorText(ENOENT), QStringLiteral("No such file or directory"));
    // A taken hot key is told in words a user understands, not as EBUSY.
    EXPECT_EQ(SystemErrorText(kErrorHotKeyAlreadyRegistered),
              QStringLiteral("Hot key is already registered by another program."));
    EXPECT_NE(SystemErrorText(kErrorHotKeyAlreadyRegistered), SystemErrorText(EBUSY));
}

}  // namespace
