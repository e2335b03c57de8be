#include "platform/desktop/DesktopChoice.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>

#include "fakes/FakePlatform.h"
#include "reading/TextGrabber.h"

using namespace kotobane;
using namespace kotobane::test;

namespace {

// Off X11 (here Qt's offscreen platform) the set that does nothing is
// chosen and says so once, yet the clipboard is still written: the history
// window's Copy must work on every session.
TEST(DesktopChoice, WithoutX11TheClipboardIsStillWritten)
{
    const std::unique_ptr<DesktopPlatform> desktop = ChooseDesktopPlatform();
    EXPECT_THAT(desktop->Limitation().toStdString(), ::testing::HasSubstr("need an X11 session"));
    EXPECT_EQ(desktop->OwnerWatch(), nullptr);

    Recorder log;
    FakeClock clock(log);
    FakeMessageBox ui(log);
    TextGrabber grabber(desktop->Clipboard(), desktop->Keyboard(), desktop->Activation(), clock, ui);
    EXPECT_TRUE(grabber.WriteClipboardText({QStringLiteral("漢字"), QStringLiteral("\tかんじ")}));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("漢字\tかんじ"));
    EXPECT_TRUE(log.calls.empty()) << "no message box";
}

}  // namespace
