#include "reading/TextGrabber.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/SystemError.h"
#include "fakes/FakePlatform.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct GrabberTest : ::testing::Test {
    Recorder log;
    FakeClipboard clipboard{log};
    FakeKeyboard keyboard{log};
    FakeWindows windows{log};
    FakeClock clock{log};
    FakeMessageBox ui{log};
    TextGrabber grabber{clipboard, keyboard, windows, clock, ui};
};

TEST_F(GrabberTest, NullWindowTouchesNothing)
{
    clipboard.unicode = QStringLiteral("old");
    EXPECT_EQ(grabber.CaptureSelection(0), QString());
    EXPECT_THAT(log.calls, IsEmpty());
}

TEST_F(GrabberTest, CaptureBringsTheWindowForwardCopiesWaitsAndReadsOnce)
{
    clipboard.unicode = QStringLiteral("漢字");
    EXPECT_EQ(grabber.CaptureSelection(42), QStringLiteral("漢字"));
    EXPECT_THAT(log.calls, ElementsAre("SetForegroundWindow 42", "Sleep 50", "KeyEvent 11 1d 0 0", "KeyEvent 43 0 0 0",
                                       "Sleep 10", "KeyEvent 43 0 2 0", "KeyEvent 11 1d 2 0", "Sleep 10",
                                       "OpenClipboard", "GetClipboardData unicode", "CloseClipboard"));
}

// With an owner watch the copy is awaited instead of a fixed 10 ms; a
// watch that cannot see the owner (no XFixes) leaves the fixed wait, which
// the clock logs as "Sleep 10".
TEST_F(GrabberTest, OwnerWatchReplacesTheWaitAfterTheKeysWhenItCanWatch)
{
    const struct {
        bool canWatch;
        const char* wait;
    } cases[] = {{true, "WaitForOwnerChange 10 500"}, {false, "Sleep 10"}};
    for (const auto& c : cases) {
        FakeClipboardWatch watch{log};
        watch.canWatch = c.canWatch;
        grabber.SetOwnerWatch(&watch);
        clipboard.unicode = QStringLiteral("新しい");
        log.Clear();
        EXPECT_EQ(grabber.CaptureSelection(42), QStringLiteral("新しい"));
        EXPECT_THAT(log.calls,
                    ElementsAre("SetForegroundWindow 42", "Sleep 50", "BeginOwnerWatch", "KeyEvent 11 1d 0 0",
                                "KeyEvent 43 0 0 0", "Sleep 10", "KeyEvent 43 0 2 0", "KeyEvent 11 1d 2 0", c.wait,
                                "OpenClipboard", "GetClipboardData unicode", "CloseClipboard"));
    }
}

TEST_F(GrabberTest, LineBreaksAndTabsBecomeSpacesInOrder)
{
    clipboard.unicode = QStringLiteral("a\r\nb\nc\td\r\r\ne\rf  g");
    EXPECT_EQ(grabber.CaptureSelection(1), QStringLiteral("a b c d\r e\rf  g"));
    EXPECT_EQ(NormaliseCapturedText(QStringLiteral("\n\r\n\t")), QStringLiteral("   "));
}

TEST_F(GrabberTest, ClipboardFormatsAndFailures)
{
    // Unicode wins over the 8-bit form.
    clipboard.unicode = QStringLiteral("ユ");
    clipboard.ansi = QByteArray("ansi");
    EXPECT_EQ(grabber.ReadClipboardText(), QStringLiteral("ユ"));

    // Only 8-bit text: decoded as Latin-1, up to its first zero byte.
    clipboard.unicode.reset();
    clipboard.ansi = QByteArray("caf\xe9\0tail", 9);
    log.Clear();
    EXPECT_EQ(grabber.ReadClipboardText(), QStringLiteral("café"));
    EXPECT_THAT(log.calls,
                ElementsAre("OpenClipboard", "GetClipboardData unicode", "GetClipboardData ansi", "CloseClipboard"));

    // Neither (e.g. only a picture).
    clipboard.ansi.reset();
    EXPECT_EQ(grabber.ReadClipboardText(), QString());

    // Held by another program: nothing is read, nothing is closed.
    clipboard.unicode = QStringLiteral("x");
    clipboard.openFails = true;
    log.Clear();
    EXPECT_EQ(grabber.ReadClipboardText(), QString());
    EXPECT_THAT(log.calls, ElementsAre("OpenClipboard"));
    EXPECT_THAT(ui.boxes, IsEmpty());
}

TEST_F(GrabberTest, UnicodeTextEndsAtItsFirstZeroUnit)
{
    const struct {
        QString held;
        QString read;
    } cases[] = {{QStringLiteral("漢字") + QChar(0), QStringLiteral("漢字")},
                 {QStringLiteral("漢") + QChar(0) + QStringLiteral("字"), QStringLiteral("漢")},
                 {QStringLiteral("漢字"), QStringLiteral("漢字")}};
    for (const auto& c : cases) {
        clipboard.unicode = c.held;
        EXPECT_EQ(grabber.ReadClipboardText(), c.read) << Utf8(c.held);
    }
}

TEST_F(GrabberTest, WriteJoinsTheStringsIntoOneTerminatedBlock)
{
    EXPECT_TRUE(grabber.WriteClipboardText({QStringLiteral("ab"), QString(), QStringLiteral("c")}));
    EXPECT_EQ(clipboard.placed, QByteArray("a\0b\0c\0\0\0", 8));
    EXPECT_THAT(log.calls, ElementsAre("OpenClipboard", "EmptyClipboard", "SetClipboardData 8", "CloseClipboard"));

    EXPECT_TRUE(grabber.WriteClipboardText({}));
    EXPECT_EQ(clipboard.placed, QByteArray("\0\0", 2));
    EXPECT_EQ(ClipboardBlock({QStringLiteral("漢")}), QByteArray("\x22\x6f\0\0", 4));
}

TEST_F(GrabberTest, WriteFailuresAreReported)
{
    clipboard.openFails = true;
    clipboard.lastError = EACCES;
    EXPECT_FALSE(grabber.WriteClipboardText({QStringLiteral("a")}));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, SystemErrorText(EACCES));

    // Refused data still counts as written once the clipboard was open.
    clipboard.openFails = false;
    clipboard.setFails = true;
    clipboard.lastError = ENOMEM;
    EXPECT_TRUE(grabber.WriteClipboardText({QStringLiteral("a")}));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[1].first, SystemErrorText(ENOMEM));
    EXPECT_EQ(ui.boxes[1].second, MB_OK | MB_ICONINFORMATION);
}

}  // namespace
