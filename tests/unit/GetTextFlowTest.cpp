#include "window/GetTextFlow.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "core/Commands.h"
#include "core/SystemError.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakePlatform.h"
#include "history/HistoryStore.h"
#include "window/GetText.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::Contains;
using ::testing::ElementsAre;

namespace {

// Stored bits in, registration bits out.
quint32 Registered(quint8 stored)
{
    return quint32(RegistrationModifiers(StoredModifiers(stored)));
}

TEST(RegistrationModifiers, ShiftAndAltSwapPlacesOtherBitsPass)
{
    EXPECT_EQ(Registered(0), 0u);
    EXPECT_EQ(Registered(2), 2u);  // Control
    EXPECT_EQ(Registered(1), 4u);  // Shift
    EXPECT_EQ(Registered(4), 1u);  // Alt
    EXPECT_EQ(Registered(5), 5u);  // Shift + Alt
    EXPECT_EQ(Registered(3), 6u);  // Shift + Control
    EXPECT_EQ(Registered(0x8A), 0x8Au);  // extended key and an unknown bit
    EXPECT_EQ(Registered(0xFF), 0xFFu);
}

TEST(RegisterHotKeys, OneMessagePerFailingEntryAndTheRestStillRegistered)
{
    Recorder log;
    FakeHotKeys keys(log);
    FakeMessageBox ui(log);
    const QList<HotKeyEntry> entries{{"Get Text", StoredModifiers(2), 123, ID_GET_READING},
                                     {"Other", StoredModifiers(3), 65, 9},
                                     {"Third", StoredModifiers(4), 66, 9}};
    keys.fails[1] = true;
    keys.fails[3] = true;
    RegisterHotKeys(keys, ui, entries, true);
    EXPECT_THAT(log.calls, ElementsAre("RegisterHotKey 1 2 123", "MessageBox " + Utf8(SystemErrorText(EBUSY)),
                                       "RegisterHotKey 2 6 65", "RegisterHotKey 3 1 66",
                                       "MessageBox " + Utf8(SystemErrorText(EBUSY))));
    EXPECT_EQ(ui.boxes[0].second, MB_OK | MB_ICONINFORMATION);

    log.Clear();
    RegisterHotKeys(keys, ui, entries, false);
    EXPECT_THAT(log.calls, ElementsAre("UnregisterHotKey 1", "UnregisterHotKey 2", "UnregisterHotKey 3"));
}

TEST(RegisterHotKeys, ClearedAndInvalidEntriesAreLeftOutWithoutAWord)
{
    Recorder log;
    FakeHotKeys keys(log);
    FakeMessageBox ui(log);
    keys.fails[1] = keys.fails[2] = true;  // as an empty key code would
    const QList<HotKeyEntry> entries{{"Cleared", StoredModifiers(0), 0, 9},
                                     {"Invalid", StoredModifiers(2), 123, 9, false},
                                     {"Set", StoredModifiers(0), 65, 9}};
    RegisterHotKeys(keys, ui, entries, true);
    EXPECT_THAT(log.calls, ElementsAre("RegisterHotKey 3 0 65"));
}

TEST(FindTargetWindow, ForegroundUnlessItIsThePopupOrUntitled)
{
    Recorder log;
    FakeDesktop d(log);
    constexpr Hwnd popup = 7;
    d.stack = {{popup, {"IME reading"}},
               {10, {"hidden", false}},
               {11, {"child", true, true}},
               {12, {"", true}},
               {13, {"minimised", true, false, 2}},
               {14, {"iconic", true, false, 6}},
               {15, {"zero state", true, false, 0}},
               {16, {"editor", true, false, 3}},
               {17, {"below", true}}};

    // Another titled window in front is used without further tests.
    EXPECT_EQ(FindTargetWindow(d, popup, 10), 10u);
    EXPECT_EQ(FindTargetWindow(d, popup, 13), 13u);
    // The popup or an untitled window: the first suitable one below.
    EXPECT_EQ(FindTargetWindow(d, popup, popup), 16u);
    EXPECT_EQ(FindTargetWindow(d, popup, 12), 16u);
    EXPECT_EQ(FindTargetWindow(d, popup, 17), 17u);
    d.stack.pop_back();
    d.stack.pop_back();
    EXPECT_EQ(FindTargetWindow(d, popup, popup), 0u);
    EXPECT_EQ(FindTargetWindow(d, popup, 0), 0u);
}

TEST(FindTargetWindow, ACycleInTheStackingOrderEnds)
{
    Recorder log;
    FakeDesktop d(log);
    d.stack = {{1, {""}}, {2, {"", false}}, {1, {""}}};  // 2 leads back to 1
    EXPECT_EQ(FindTargetWindow(d, 9, 1), 0u);
}

class GetTextFlowTest : public ::testing::Test {
protected:
    GetTextFlowTest()
        : desktop(log),
          windows(log),
          clipboard(log),
          keyboard(log),
          clock(log),
          ui(log),
          grabber(clipboard, keyboard, windows, clock, ui),
          history(dir.filePath(QStringLiteral("Kotobane.txt")), ui,
                  [] { return QDateTime(QDate(2026, 12, 8), QTime(10, 0, 0)); }),
          flow(
              desktop, windows, grabber, clock,
              [this](const QString& p) {
                  log.Add("GetReading " + Utf8(p));
                  asked.append(p);
                  return readings.value(p);
              },
              history,
              PopupAccess{kPopup,
                          [this](const QString& t) {
                              log.Add("SetText " + Utf8(t));
                              text = t;
                          },
                          [this](bool s) {
                              log.Add(s ? "ShowPopup 1" : "ShowPopup 0");
                              shown = s;
                          }})
    {
        desktop.stack = {{kPopup, {"IME reading"}}, {20, {"FeatherPad"}}};
        desktop.foreground = 20;
    }

    QString History() const
    {
        QFile f(dir.filePath(QStringLiteral("Kotobane.txt")));
        if (!f.open(QIODevice::ReadOnly)) {
            return QStringLiteral("<none>");
        }
        const QByteArray b = f.readAll();
        return QString::fromUtf16(reinterpret_cast<const char16_t*>(b.constData()), b.size() / 2);
    }

    static constexpr Hwnd kPopup = 7;
    QTemporaryDir dir;
    Recorder log;
    FakeDesktop desktop;
    FakeWindows windows;
    FakeClipboard clipboard;
    FakeKeyboard keyboard;
    FakeClock clock;
    FakeMessageBox ui;
    TextGrabber grabber;
    HistoryAppender history;
    QHash<QString, QString> readings{{QStringLiteral("漢字の読み方"), QStringLiteral("(かんじのよみかた)")}};
    QStringList asked;
    QString text;
    bool shown = false;
    GetTextFlow flow;
};

TEST_F(GetTextFlowTest, CapturesFromTheForegroundWindowShowsAndRecords)
{
    clipboard.unicode = QStringLiteral("\u3000 漢字の読み方\r\n");
    flow.LookUp();
    EXPECT_EQ(text, QStringLiteral("漢字の読み方 (かんじのよみかた)"));
    EXPECT_TRUE(shown);
    EXPECT_EQ(History(), QStringLiteral("漢字の読み方\tかんじのよみかた\t2026/12/08 10:00:00\r\n"));

    // Capture from the foreground window first, then the text, the popup,
    // the popup to the front; the reading is asked for in between.
    std::vector<std::string> order;
    for (const std::string& c : log.calls) {
        if (c == "GetForegroundWindow" || c.rfind("SetForegroundWindow", 0) == 0 || c.rfind("GetReading", 0) == 0
            || c.rfind("SetText", 0) == 0 || c.rfind("ShowPopup", 0) == 0) {
            order.push_back(c);
        }
    }
    EXPECT_THAT(order, ElementsAre("GetForegroundWindow", "SetForegroundWindow 20", "GetReading 漢字の読み方",
                                   "SetText 漢字の読み方 (かんじのよみかた)", "ShowPopup 1", "SetForegroundWindow 7"));
}

TEST_F(GetTextFlowTest, WithThePopupInFrontTheWindowBelowIsUsedAndTheSamePhraseIsNotRecordedTwice)
{
    clipboard.unicode = QStringLiteral("漢字の読み方");
    flow.LookUp();
    desktop.foreground = kPopup;
    log.Clear();
    flow.LookUp();
    EXPECT_THAT(log.calls, ::testing::Contains("SetForegroundWindow 20"));
    EXPECT_EQ(History().count(u'\n'), 1);
}

TEST_F(GetTextFlowTest, NoReadingOrTooLongLeavesTheHistoryAlone)
{
    clipboard.unicode = QStringLiteral("hello");
    flow.LookUp();
    EXPECT_EQ(text, QStringLiteral("hello"));
    EXPECT_TRUE(shown);

    clipboard.unicode = QString(1001, u'字');
    flow.LookUp();
    EXPECT_EQ(text, kTooLongMessage);
    EXPECT_EQ(asked, QStringList{QStringLiteral("hello")});

    clipboard.unicode = QString(1000, u'字');
    readings[*clipboard.unicode] = QStringLiteral("(じ)");
    flow.LookUp();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(History(), QString(1000, u'字') + QStringLiteral("\tじ\t2026/12/08 10:00:00\r\n"));
}

TEST_F(GetTextFlowTest, HotKeyWaitsThenLooksUp)
{
    const QList<HotKeyEntry> entries{{"Get Text", StoredModifiers(2), 123, ID_GET_READING},
                                     {"Other", StoredModifiers(2), 65, 99}};
    clipboard.unicode = QStringLiteral("漢字の読み方");
    flow.OnHotKey(0, entries);
    flow.OnHotKey(2, entries);  // not the get-text command
    flow.OnHotKey(3, entries);
    EXPECT_TRUE(clock.sleeps.empty());
    EXPECT_FALSE(shown);

    flow.OnHotKey(1, entries);
    ASSERT_FALSE(clock.sleeps.empty());
    EXPECT_EQ(clock.sleeps.front(), GetTextFlow::kHotKeyWaitMs);
    EXPECT_TRUE(shown);

    // A request from the command line waits for the shortcut's keys too,
    // before the copy chord, and looks up even with the popup shown.
    log.Clear();
    flow.OnGetTextRequest();
    ASSERT_FALSE(log.calls.empty());
    EXPECT_EQ(log.calls.front(), "Sleep 300");
    EXPECT_THAT(log.calls, Contains(testing::StartsWith("KeyEvent")));
    EXPECT_TRUE(shown);
}

// A selection read directly, as on Wayland.
class FakeSelection final : public SelectionReader {
public:
    explicit FakeSelection(Recorder& log) : m_log(log) { }
    QString SelectedText(Hwnd popup) override
    {
        m_log.Add("SelectedText " + std::to_string(popup));
        if (during) {
            during();
        }
        return selected;
    }
    QString selected;
    std::function<void()> during;  // what happens while the read waits

private:
    Recorder& m_log;
};

TEST_F(GetTextFlowTest, ADirectReadShowsThePopupFirstCopiesNothingAndDoesNotWait)
{
    FakeSelection selection(log);
    flow.SetSelectionReader(&selection);
    clipboard.unicode = QStringLiteral("the clipboard");
    const QList<HotKeyEntry> entries{{"Get Text", StoredModifiers(2), 123, ID_GET_READING}};
    for (const QString& selected : {QStringLiteral(" 漢字の読み方\r\n"), QString()}) {
        SCOPED_TRACE(Utf8(selected));
        selection.selected = selected;
        log.Clear();
        flow.OnHotKey(1, entries);
        const std::string shownText = selected.isEmpty() ? "SetText " : "SetText 漢字の読み方 (かんじのよみかた)";
        const std::string phrase = selected.isEmpty() ? "" : "漢字の読み方";
        EXPECT_THAT(log.calls, ElementsAre("ShowPopup 1", "SetForegroundWindow 7", "SelectedText 7",
                                           "GetReading " + phrase, shownText));
    }
    // The first read was recorded, the empty one was not.
    EXPECT_EQ(History(), QStringLiteral("漢字の読み方\tかんじのよみかた\t2026/12/08 10:00:00\r\n"));
    EXPECT_TRUE(clock.sleeps.empty());

    log.Clear();
    flow.OnGetTextRequest();
    EXPECT_EQ(log.calls.front(), "ShowPopup 1");

    // A second press while the read waits for the focus starts nothing.
    log.Clear();
    selection.during = [this] { flow.OnHotKey(1, {{"Get Text", StoredModifiers(2), 123, ID_GET_READING}}); };
    flow.LookUp();
    EXPECT_EQ(std::count(log.calls.begin(), log.calls.end(), "SelectedText 7"), 1);
}

}  // namespace
