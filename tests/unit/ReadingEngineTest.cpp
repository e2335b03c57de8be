#include "reading/ReadingEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

constexpr Hwnd kTextBox = 1014;

struct EngineTest : ::testing::Test {
    Recorder log;
    FakeIme ime{log};
    FakeClock clock{log};
    FakeMessageBox ui{log};
    CReadingEngine engine{ime, clock, ui};

    // Selects E0010411 for the text box and forgets the calls it made.
    void Select()
    {
        ime.active = 0xE0010411;
        ASSERT_TRUE(engine.SelectIme(QStringLiteral("E0010411"), kTextBox));
        log.Clear();
    }
    std::string Conversion(const char* phrase, const char* rest)
    {
        return std::string("ImmGetConversionListW E0010411 100 ") + phrase + rest;
    }
};

TEST_F(EngineTest, SelectImeSetsLocaleLoadsLayoutAndOpensANewContext)
{
    ime.associatedBefore = 7;
    EXPECT_TRUE(engine.SelectIme(QStringLiteral("E0010411"), kTextBox));
    EXPECT_THAT(log.calls, ElementsAre("SetThreadLocale 411", "GetThreadLocale", "LoadKeyboardLayoutW E0010411 1",
                                       "ImmCreateContext", "ImmAssociateContext 1014 100", "ImmDestroyContext 7",
                                       "ImmSetOpenStatus 100 1"));
    EXPECT_EQ(engine.Context(), 100u);
    EXPECT_EQ(engine.TargetWindow(), kTextBox);
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(EngineTest, SelectingAgainReleasesTheHeldContextFirst)
{
    Select();
    EXPECT_TRUE(engine.SelectIme(QStringLiteral("4090409"), kTextBox));
    ASSERT_GE(log.calls.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(log.calls.begin(), log.calls.begin() + 4),
                ElementsAre("ImmSetOpenStatus 100 0", "ImmReleaseContext 1014 100", "ImmDestroyContext 100",
                            "SetThreadLocale 409"));
    EXPECT_EQ(engine.Context(), 101u);
}

TEST_F(EngineTest, RejectedLocaleIsReportedTwiceAndTheLayoutIsStillLoaded)
{
    ime.setLocaleFails = true;
    ime.lastError = EINVAL;
    EXPECT_TRUE(engine.SelectIme(QStringLiteral("E0010ABC"), kTextBox));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].first, SystemErrorText(EINVAL));
    EXPECT_EQ(ui.boxes[0].second, MB_OK | MB_ICONINFORMATION);
    EXPECT_EQ(ui.boxes[1].first, QStringLiteral("error on SetThreadLocale (0xabc)"));
    EXPECT_EQ(ui.boxes[1].second, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_NE(engine.Context(), 0u);
}

TEST_F(EngineTest, FailedLoadKeepsNoContextAndThePreviousTargetWindow)
{
    Select();
    ime.loadFails = true;
    ime.lastError = ENOENT;
    EXPECT_FALSE(engine.SelectIme(QStringLiteral("E0020411"), 55));
    EXPECT_EQ(engine.Context(), 0u);
    EXPECT_EQ(engine.TargetWindow(), kTextBox);
    EXPECT_EQ(engine.LayoutId(), QStringLiteral("E0020411"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, SystemErrorText(ENOENT));
}

TEST(LocaleFromLayoutId, ReadsTheLastThreeCharactersAsHex)
{
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("E0010411")), 0x411u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("00000411")), 0x411u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("E0200804")), 0x804u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("4090409")), 0x409u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("12")), 0x12u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("")), 0u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("XYZ")), 0u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("41G")), 0x41u);  // stops at a non-digit
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("a b")), 0xau);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("AA 12")), 0x12u);  // leading space skipped
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("0-1")), 0u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("9-1")), 9u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("A -1")), 0xFFFFFFFFu);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("0x5")), 5u);
    EXPECT_EQ(LocaleFromLayoutId(QStringLiteral("e0010411")), 0x411u);
}

TEST_F(EngineTest, EmptyPhraseCallsNothing)
{
    Select();
    EXPECT_EQ(engine.GetReading(QString()), QString());
    EXPECT_THAT(log.calls, IsEmpty());
}

TEST_F(EngineTest, LookUpWithTheActiveLayoutAsksSizeThenList)
{
    Select();
    ime.candidate = QStringLiteral("かんじ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
    const std::string size = std::to_string(FakeIme::MakeList(QStringLiteral("かんじ")).size());
    EXPECT_THAT(log.calls,
                ElementsAre("GetKeyboardLayout", "ImmSetOpenStatus 100 1", "ImmGetOpenStatus 100",
                            Conversion("漢字", " null 0 2"), Conversion("漢字", (" buffer " + size + " 2").c_str())));
    EXPECT_THAT(clock.sleeps, IsEmpty());
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(EngineTest, ChangedActiveLayoutIsReselectedWithAWaitAndReadAgain)
{
    Select();
    ime.candidate = QStringLiteral("よみ");
    ime.active = 0x4090409;  // the user switched layouts
    EXPECT_EQ(engine.GetReading(QStringLiteral("読み")), QStringLiteral("(よみ)"));
    ASSERT_GE(log.calls.size(), 12u);
    EXPECT_EQ(log.calls[0], "GetKeyboardLayout");
    EXPECT_EQ(log.calls[1], "ImmSetOpenStatus 100 0");  // release before re-selecting
    EXPECT_EQ(log.calls[4], "SetThreadLocale 411");
    EXPECT_EQ(log.calls[6], "LoadKeyboardLayoutW E0010411 1");
    EXPECT_EQ(log.calls[10], "ImmSetOpenStatus 101 1");
    EXPECT_EQ(log.calls[11], "Sleep 200");
    EXPECT_EQ(log.calls[12], "GetKeyboardLayout");
    EXPECT_EQ(log.calls[15], "ImmGetConversionListW E0010411 101 読み null 0 2");
}

TEST_F(EngineTest, ASwitchAfterAReadingIsStillNoticed)
{
    Select();
    ime.candidate = QStringLiteral("じ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_THAT(clock.sleeps, IsEmpty());
    ime.active = 0x4090409;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_THAT(clock.sleeps, ElementsAre(200));
    // The re-selection made it active again.
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_THAT(clock.sleeps, ElementsAre(200));
}

TEST_F(EngineTest, ALayoutThatMatchedTheFormerSelectionNoLongerDoes)
{
    Select();
    ime.candidate = QStringLiteral("じ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    ime.loadResult = 0xE0010411;  // the system keeps the layout read before
    ASSERT_TRUE(engine.SelectIme(QStringLiteral("E0020411"), kTextBox));
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_THAT(clock.sleeps, ElementsAre(200));
}

TEST_F(EngineTest, TheLayoutReadLastIsTheOneConverted)
{
    Select();
    ime.candidate = QStringLiteral("x");
    ime.active = 0x4090409;
    ime.loadResult = 0xE0020411;  // the system settled on another layout
    engine.GetReading(QStringLiteral("字"));
    EXPECT_EQ(log.calls.at(log.calls.size() - 2), "ImmGetConversionListW E0020411 101 字 null 0 2");
}

TEST_F(EngineTest, LowerCaseIdentifierReselectsOnEveryLookUp)
{
    ime.active = 0xE0010411;
    engine.SelectIme(QStringLiteral("e0010411"), kTextBox);
    ime.candidate = QStringLiteral("じ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
    EXPECT_THAT(clock.sleeps, ElementsAre(200, 200));
}

TEST_F(EngineTest, LookUpWithoutContextReportsTheLastErrorAndRetriesNextTime)
{
    ime.loadFails = true;
    engine.SelectIme(QStringLiteral("E0010411"), kTextBox);
    ime.active = 0x4090409;
    ui.boxes.clear();
    ime.lastError = EIO;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    // The re-selection failed again (one box), then the missing context.
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].first, SystemErrorText(EIO));
    EXPECT_EQ(ui.boxes[1].second, MB_OK | MB_ICONINFORMATION);

    ime.loadFails = false;
    ime.candidate = QStringLiteral("じ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(じ)"));
}

TEST_F(EngineTest, OpenFailureIsReportedAndClosedContextIsSilent)
{
    Select();
    ime.candidate = QStringLiteral("じ");
    ime.openFails = true;
    ime.lastError = EBUSY;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, SystemErrorText(EBUSY));

    ime.openFails = false;
    ime.reportsOpen = false;
    log.Clear();
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(log.calls.back(), "ImmGetOpenStatus 100");  // no conversion asked for
}

TEST_F(EngineTest, NoReadingCasesAreSilent)
{
    Select();
    // Not an input method: the size query answers 0.
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    // The other "no reading" size.
    ime.candidate = QStringLiteral("じ");
    ime.sizeAnswer = 0xFFFFFFFFu;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    // The fill fails.
    ime.sizeAnswer = 0;
    ime.fillFails = true;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    // An empty first candidate gives no parentheses.
    ime.fillFails = false;
    ime.candidate = QString();
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    // A list without candidates.
    ime.rawList = FakeIme::MakeList(QStringLiteral("じ"), 0);
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(EngineTest, OnlyTheFirstCandidateIsTakenAsItStands)
{
    Select();
    ime.candidate = QStringLiteral(" (a) ");
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("( (a) )"));
}

TEST_F(EngineTest, MalformedListsNeverReadPastTheBlock)
{
    Select();
    std::vector<unsigned char> list = FakeIme::MakeList(QStringLiteral("ab"));
    qToLittleEndian<quint32>(0x7FFFFFF0u, list.data() + CandidateListLayout::kOffsets);
    ime.rawList = list;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());

    // A candidate without terminator ends at the block's end.
    list = FakeIme::MakeList(QStringLiteral("ab"));
    list.resize(list.size() - 2);
    ime.rawList = list;
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QStringLiteral("(ab)"));

    // Too short to hold a header.
    ime.rawList = std::vector<unsigned char>(10, 1);
    EXPECT_EQ(engine.GetReading(QStringLiteral("字")), QString());
}

TEST(EngineLifetime, DestructionReleasesAHeldContext)
{
    Recorder log;
    FakeIme ime{log};
    FakeClock clock{log};
    FakeMessageBox ui{log};
    {
        CReadingEngine engine{ime, clock, ui};
        engine.SelectIme(QStringLiteral("E0010411"), kTextBox);
        log.Clear();
    }
    EXPECT_THAT(log.calls,
                ElementsAre("ImmSetOpenStatus 100 0", "ImmReleaseContext 1014 100", "ImmDestroyContext 100"));
    log.Clear();
    {
        CReadingEngine unused{ime, clock, ui};
    }
    EXPECT_THAT(log.calls, IsEmpty());
}

}  // namespace
