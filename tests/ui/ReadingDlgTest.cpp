#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTimer>

#include "core/DialogUnits.h"
#include "fakes/FakeDesktop.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeech.h"
#include "reading/ImeCatalog.h"
#include "settings/CPageGer.h"
#include "settings/Colours.h"
#include "settings/FontMapping.h"
#include "settings/IniProfile.h"
#include "window/CReadingDlg.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

// A popup over fake services and a settings file in a temporary folder.
class ReadingDlgTest : public ::testing::Test {
protected:
    ReadingDlgTest()
        : profile(dir.filePath(QStringLiteral("kotobane.ini"))),
          ime(log),
          clock(log),
          ui(log),
          speech(log),
          desktop(log)
    {
        ime.layouts = {0xE0010411};
        ime.descriptions[0xE0010411] = QStringLiteral("MeCab IPADIC");
    }

    void LoadDefaults()
    {
        SettingsContext context{profile, ime, ui, catalog, speech, DefaultLogFont(), QDateTime::currentDateTime()};
        LoadSettings(settings, context);
    }

    CReadingDlg& Popup()
    {
        if (!popup) {
            LoadDefaults();
            popup = std::make_unique<CReadingDlg>(
                ReadingWindowServices{settings, profile, ime, catalog, clock, ui, speech, desktop});
            popup->Initialise();
            QCoreApplication::processEvents();
        }
        return *popup;
    }

    static QRect Screen() { return QGuiApplication::primaryScreen()->geometry(); }
    // Template 102's window with the outline's band round it.
    QSize TemplateSizeWithBand() const
    {
        const int band = BorderBand(settings.RoundDialog);
        return DialogToPixels(QRect(0, 0, 112, 13)).size() + QSize(2 * band, 2 * band);
    }

    void StorePlacement(QRect normal)
    {
        WindowPlacement p;
        p.length = kWindowPlacementLength;
        p.showCmd = 1;
        p.minX = p.minY = p.maxX = p.maxY = -1;
        p.left = normal.left();
        p.top = normal.top();
        p.right = normal.left() + normal.width();
        p.bottom = normal.top() + normal.height();
        WriteWindowPlacement(profile, QStringLiteral("Settings"), QStringLiteral("DlgReading"), p);
    }

    QTemporaryDir dir;
    IniProfile profile;
    Recorder log;
    FakeIme ime;
    FakeClock clock;
    FakeMessageBox ui;
    FakeSpeech speech;
    FakeDesktopPlatform desktop;
    ImeCatalog catalog;
    Settings settings;
    std::unique_ptr<CReadingDlg> popup;
};

TEST_F(ReadingDlgTest, StartsHiddenAndAppearsOnlyThroughShowPopup)
{
    CReadingDlg& w = Popup();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Shown());

    // Anything but ShowPopup(true) leaves it hidden.
    w.show();
    w.setVisible(true);
    EXPECT_FALSE(w.isVisible());

    w.ShowPopup(true);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Shown());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::FramelessWindowHint));

    // Escape, close and the hide button all hide it; nothing ends the program.
    w.reject();
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Shown());
    w.ShowPopup(true);
    EXPECT_FALSE(w.close());
    EXPECT_FALSE(w.isVisible());
    w.ShowPopup(true);
    w.Button(IDC_HIDE)->click();
    EXPECT_FALSE(w.Shown());
    EXPECT_TRUE(w.Button(IDC_HIDE)->isDefault());

    // Showing twice is one show; hiding a hidden popup is nothing.
    w.ShowPopup(false);
    EXPECT_FALSE(w.isVisible());
    w.ShowText(QStringLiteral("漢字 (かんじ)"));
    w.ShowPopup(true);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.TextBox()->toPlainText(), QStringLiteral("漢字 (かんじ)"));
}

// The options sheet switches the hot keys off and on through the window,
// so the window holds them from its initialisation to its destruction.
TEST_F(ReadingDlgTest, OwnsItsHotKeysFromInitialisationToDestruction)
{
    LoadDefaults();
    CReadingDlg w(ReadingWindowServices{settings, profile, ime, catalog, clock, ui, speech, desktop});
    log.Clear();
    w.Initialise();
    EXPECT_THAT(log.calls, ::testing::Contains("RegisterHotKey 1 2 123"));
    EXPECT_THAT(log.calls, ::testing::Not(::testing::Contains("UnregisterHotKey 1")));
    log.Clear();
    w.Destroy();
    EXPECT_THAT(log.calls, ::testing::ElementsAre("UnregisterHotKey 1"));
}

TEST_F(ReadingDlgTest, ButtonsHaveTheirTooltipsAndIcons)
{
    CReadingDlg& w = Popup();
    EXPECT_EQ(w.Button(IDC_LOOKUP)->toolTip(), QStringLiteral("Get Selected text"));
    EXPECT_EQ(w.Button(IDC_SPEAK)->toolTip(), QStringLiteral("Speech the selected text"));
    EXPECT_EQ(w.Button(IDC_HIDE)->toolTip(), QStringLiteral("Hide the window"));
    EXPECT_EQ(w.Button(IDC_MENU)->toolTip(), QStringLiteral("Menu"));
    for (int id : {IDC_LOOKUP, IDC_SPEAK, IDC_HIDE, IDC_MENU}) {
        EXPECT_FALSE(w.Button(id)->InIcon().isNull()) << id;
    }
    EXPECT_FALSE(w.windowIcon().isNull());
}

TEST_F(ReadingDlgTest, EnterInTheTextBoxIsALineBreakNotTheDefaultButton)
{
    CReadingDlg& w = Popup();
    w.ShowText(QStringLiteral("東京"));
    w.TextBox()->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCoreApplication::sendEvent(w.TextBox(), &enter);
    EXPECT_EQ(w.TextBox()->toPlainText(), QStringLiteral("東京\n"));
    EXPECT_TRUE(w.Shown());
}

TEST_F(ReadingDlgTest, SpeakReadsTheSelectionOrThePhraseBeforeItsReading)
{
    CReadingDlg& w = Popup();
    speech.ready = true;
    settings.Speech.EnableSpeech = true;
    w.TextBox()->setPlainText(QStringLiteral("漢字の読み方 (かんじのよみかた)"));

    w.Speak();
    QTextCursor c = w.TextBox()->textCursor();
    c.setPosition(2);
    c.setPosition(5, QTextCursor::KeepAnchor);
    w.TextBox()->setTextCursor(c);
    w.Speak();
    EXPECT_EQ(speech.spoken, (QStringList{QStringLiteral("漢字の読み方 "), QStringLiteral("の読み")}));

    // A selection that begins with "(" is read as it stands.
    c.setPosition(7);
    c.setPosition(10, QTextCursor::KeepAnchor);
    w.TextBox()->setTextCursor(c);
    w.Speak();
    EXPECT_EQ(speech.spoken.last(), QStringLiteral("(かん"));

    // Without a ready engine or with speech off nothing is said.
    speech.ready = false;
    w.Speak();
    speech.ready = true;
    settings.Speech.EnableSpeech = false;
    w.Speak();
    EXPECT_EQ(speech.spoken.size(), 3);
}

TEST_F(ReadingDlgTest, StoredPlacementIsUsedWhenItLiesOnTheScreen)
{
    const QRect stored(40, 30, 260, 60);
    StorePlacement(stored);
    CReadingDlg& w = Popup();
    EXPECT_EQ(w.geometry(), stored);

    // Ending writes the placement back in the same form.
    w.Destroy();
    WindowPlacement p;
    ASSERT_TRUE(ReadWindowPlacement(profile, QStringLiteral("Settings"), QStringLiteral("DlgReading"), p));
    EXPECT_EQ(p.length, kWindowPlacementLength);
    EXPECT_EQ(p.showCmd, 1u);
    EXPECT_EQ(QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1)), stored);
}

TEST_F(ReadingDlgTest, PlacementWithACornerOnTheRightEdgeIsRefused)
{
    const QRect screen = Screen();
    // right == screen width: one past the last column, so off the screen.
    StorePlacement(QRect(screen.width() - 200, 30, 200, 60));
    CReadingDlg& w = Popup();
    EXPECT_NE(w.geometry().topLeft(), QPoint(screen.width() - 200, 30));
    EXPECT_EQ(w.geometry().center(), screen.center());
    EXPECT_EQ(w.size(), w.minimumSize());
}

TEST_F(ReadingDlgTest, NoStoredPlacementCentresTheTemplateSize)
{
    CReadingDlg& w = Popup();
    EXPECT_EQ(w.geometry().center(), Screen().center());
    EXPECT_EQ(w.size(), TemplateSizeWithBand());
}

// However round the stored corners, the popup starts at a sensible size on
// the screen and stores that at the end, so the next start is the same;
// the stored value itself stays as the user wrote it.
TEST_F(ReadingDlgTest, RoundCornersKeepThePopupOnTheScreen)
{
    const QSize bare = DialogToPixels(QRect(0, 0, 112, 13)).size();
    for (const int round : {9, 0, 100000}) {
        ASSERT_TRUE(
            profile.WriteString(QStringLiteral("Settings"), QStringLiteral("RoundDialog"), QString::number(round)));
        ASSERT_TRUE(profile.WriteString(QStringLiteral("Settings"), QStringLiteral("DlgReading"), QString()));
        for (const char* start : {"first", "next"}) {
            popup.reset();
            CReadingDlg& w = Popup();
            const QRect available = w.screen()->availableGeometry();
            EXPECT_TRUE(available.contains(w.geometry())) << round << " " << start;
            EXPECT_LE(w.height(), 2 * bare.height()) << round << " " << start;
            EXPECT_LE(w.width(), bare.width() + bare.height()) << round << " " << start;
            EXPECT_EQ(settings.RoundDialog, round);
            const QRect shown = w.geometry();
            w.Destroy();
            WindowPlacement p;
            ASSERT_TRUE(ReadWindowPlacement(profile, QStringLiteral("Settings"), QStringLiteral("DlgReading"), p));
            EXPECT_EQ(QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1)), shown) << round << " " << start;
        }
    }
}

TEST_F(ReadingDlgTest, DeactivationMakesItTranslucentAndMovingOverAControlOpaque)
{
    CReadingDlg& w = Popup();
    w.ShowPopup(true);
    QCoreApplication::processEvents();

    // Activation makes it opaque; another window taking over, translucent.
    QWidget other;
    const auto activate = [](QWidget* target) {
        target->activateWindow();
        QApplication::setActiveWindow(target);
        QCoreApplication::processEvents();
    };
    activate(&w);
    EXPECT_EQ(w.Alpha(), 255);
    other.show();
    activate(&other);
    ASSERT_FALSE(w.isActiveWindow());
    EXPECT_EQ(w.Alpha(), 80);
    EXPECT_NEAR(w.windowOpacity(), 80 / 255.0, 0.01);

    for (QWidget* target :
         {static_cast<QWidget*>(w.TextBox()->viewport()), static_cast<QWidget*>(w.Button(IDC_SPEAK))}) {
        activate(&w);
        activate(&other);
        EXPECT_EQ(w.Alpha(), 80);
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), target->mapToGlobal(QPointF(2, 2)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &move);
        EXPECT_EQ(w.Alpha(), 255);
        EXPECT_NEAR(w.windowOpacity(), 1.0, 0.01);
    }
}

// The text box stretches and the buttons move with the right edge, whichever
// edge the cursor says is being dragged.
TEST_F(ReadingDlgTest, ControlsFollowAResizeFromEveryEdge)
{
    CReadingDlg& w = Popup();
    w.ShowPopup(true);
    QCoreApplication::processEvents();

    struct Drag {
        const char* edge;
        int dx, dy;  // growth
        bool movesLeft, movesTop;  // the window's origin moves with the drag
    };
    const Drag drags[] = {
        {"right", 40, 0, false, false},
        {"bottom", 0, 30, false, false},
        {"left", 24, 0, true, false},
        {"top", 0, 16, false, true},
    };
    for (const Drag& d : drags) {
        const QRect before = w.geometry();
        const QRect text = w.TextBox()->geometry();
        QList<QRect> buttons;
        for (int id : {IDC_LOOKUP, IDC_SPEAK, IDC_HIDE, IDC_MENU}) {
            buttons.append(w.Button(id)->geometry());
        }
        QRect after = before.adjusted(d.movesLeft ? -d.dx : 0, d.movesTop ? -d.dy : 0, d.movesLeft ? 0 : d.dx,
                                      d.movesTop ? 0 : d.dy);
        // Put the cursor on the dragged edge.
        const QPoint c = after.center();
        QCursor::setPos(d.movesLeft  ? QPoint(after.left(), c.y())
                        : d.movesTop ? QPoint(c.x(), after.top())
                        : d.dx       ? QPoint(after.right(), c.y())
                                     : QPoint(c.x(), after.bottom()));
        w.setGeometry(after);
        QCoreApplication::processEvents();

        EXPECT_EQ(w.TextBox()->geometry(), text.adjusted(0, 0, d.dx, d.dy)) << d.edge;
        for (int i = 0; i < buttons.size(); ++i) {
            EXPECT_EQ(w.Button(QList<int>{IDC_LOOKUP, IDC_SPEAK, IDC_HIDE, IDC_MENU}[i])->geometry(),
                      buttons[i].translated(d.dx, 0))
                << d.edge << " button " << i;
        }
    }

    // A move without a size change repositions nothing.
    const QRect text = w.TextBox()->geometry();
    w.move(w.pos() + QPoint(5, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(w.TextBox()->geometry(), text);

    // It cannot shrink below the template size.
    EXPECT_EQ(w.minimumSize(), TemplateSizeWithBand());
}

// The controls leave the outline uncovered on all four sides, and its band
// resizes the window from the edge or corner it lies on.
TEST_F(ReadingDlgTest, OutlineShowsAllRoundAndItsBandResizes)
{
    CReadingDlg& w = Popup();
    w.ShowPopup(true);
    const QImage shot = w.grab().toImage();
    const QPoint text = w.TextBox()->geometry().center();
    // The middle of each side; which edge or corner each point of the band
    // resizes is the logic's test.
    const QList<std::pair<QPoint, Qt::CursorShape>> sides = {{{0, text.y()}, Qt::SizeHorCursor},
                                                             {{text.x(), 0}, Qt::SizeVerCursor},
                                                             {{text.x(), w.height() - 1}, Qt::SizeVerCursor},
                                                             {{w.width() - 1, text.y()}, Qt::SizeHorCursor}};
    for (const auto& [at, cursor] : sides) {
        EXPECT_EQ(shot.pixelColor(at), ToQColor(settings.BorderColor)) << at.x() << "," << at.y();
        QMouseEvent move(QEvent::MouseMove, at, w.mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&w, &move);
        EXPECT_EQ(w.cursor().shape(), cursor) << at.x() << "," << at.y();
    }
}

// A look-up's text shows whole: the window grows to it within half the
// screen's width, never below the size the user gave it, which is the one
// it stores.
TEST_F(ReadingDlgTest, LookUpGrowsToTheWholeTextAndKeepsTheUsersSize)
{
    CReadingDlg& w = Popup();
    const auto showsWhole = [&](const QString& text) {
        w.ShowText(text);
        QCoreApplication::processEvents();
        QTextCursor end(w.TextBox()->document());
        end.movePosition(QTextCursor::End);
        return w.TextBox()->cursorRect(end).bottom() < w.TextBox()->viewport()->height();
    };
    const QString sentence =
        QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。何でも薄暗い所 "
                       "(わがはいはねこである。なまえはまだない。どこでうまれたかとんとけんとうがつかぬ。)");
    const QRect start = w.geometry();
    EXPECT_TRUE(showsWhole(sentence));
    EXPECT_GT(w.width(), start.width());
    EXPECT_GT(w.height(), start.height());
    EXPECT_LE(w.width(), w.screen()->availableGeometry().width() / 2);

    const QRect user = start.adjusted(-20, -10, 40, 30);  // as dragged by the user
    w.setGeometry(user);
    EXPECT_TRUE(showsWhole(QStringLiteral("東京 (とうきょう)")));
    EXPECT_EQ(w.geometry(), user);
    EXPECT_TRUE(showsWhole(sentence));
    w.Destroy();
    WindowPlacement p;
    ASSERT_TRUE(ReadWindowPlacement(profile, QStringLiteral("Settings"), QStringLiteral("DlgReading"), p));
    EXPECT_EQ(QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1)), user);
}

TEST_F(ReadingDlgTest, TrayPressLooksUpOrHidesAndExitRemovesTheIcon)
{
    CReadingDlg& w = Popup();
    int lookUps = 0;
    w.SetLookUp([&] {
        ++lookUps;
        w.ShowText(QStringLiteral("漢字 (かんじ)"));
    });
    EXPECT_TRUE(w.Tray().Enabled());
    EXPECT_EQ(w.Tray().Icon()->toolTip(), QStringLiteral("Get Reading"));
    EXPECT_FALSE(w.Tray().Icon()->icon().isNull());

    // Commands from the icon run once its own handler has returned.
    w.Tray().OnActivated(QSystemTrayIcon::Trigger);
    EXPECT_EQ(lookUps, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(lookUps, 1);
    EXPECT_TRUE(w.Shown());
    // The double click that follows a press is not a second press.
    w.Tray().OnActivated(QSystemTrayIcon::DoubleClick);
    w.Tray().OnActivated(QSystemTrayIcon::MiddleClick);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.Shown());
    w.Tray().OnActivated(QSystemTrayIcon::Trigger);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.Shown());
    EXPECT_EQ(lookUps, 1);

    // The look-up button and the menu's Get text always look up.
    w.Button(IDC_LOOKUP)->click();
    w.OnCommand(ID_GET_TEXT);
    EXPECT_EQ(lookUps, 3);

    w.OnCommand(ID_APP_EXIT);
    EXPECT_FALSE(w.Tray().Enabled());
    EXPECT_FALSE(w.Tray().Icon()->isVisible());

    // exit() with no loop running makes every later nested loop (a menu's)
    // return at once; a run of the application's own loop clears that.
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
}

TEST_F(ReadingDlgTest, MenuButtonOpensTheShortMenuWithHistoryAsDefault)
{
    CReadingDlg& w = Popup();
    w.ShowPopup(true);
    QStringList texts;
    QString bold;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* a : menu->actions()) {
            texts.append(a->isSeparator() ? QStringLiteral("-") : a->text());
            EXPECT_TRUE(a->isSeparator() || !a->icon().isNull()) << a->text().toStdString();
        }
        bold = menu->defaultAction() ? menu->defaultAction()->text() : QString();
        menu->close();
    });
    w.Button(IDC_MENU)->click();
    EXPECT_EQ(texts, (QStringList{"&History", "-", "&Option", "-", "About ...", "-", "&Exit"}));
    EXPECT_EQ(bold, QStringLiteral("&History"));
    EXPECT_TRUE(w.Tray().Enabled());  // closing without a choice runs nothing
}

}  // namespace

// What the load found wrong is said once, when the window starts: a
// back-end that is not installed (this run reads with the locale's) and a
// hot key that cannot be (none is registered). Look-ups add nothing.
TEST_F(ReadingDlgTest, StartUpProblemsAreSaidOnceEach)
{
    ime.refusesUnlisted = true;
    ime.candidate = QStringLiteral("かんじ");
    ASSERT_TRUE(
        profile.WriteString(QStringLiteral("Settings"), QStringLiteral("keylayout"), QStringLiteral("E0020411")));
    ASSERT_TRUE(profile.WriteString(HotKeySection(QStringLiteral("Get Text")), QStringLiteral("Modifier_Key"),
                                    QStringLiteral("300")));
    CReadingDlg& w = Popup();
    EXPECT_EQ(w.Engine().GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
    EXPECT_EQ(w.Engine().GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_THAT(ui.boxes[0].first.toStdString(), ::testing::StartsWith("The hot key stored in "));
    EXPECT_THAT(ui.boxes[1].first.toStdString(), ::testing::StartsWith("The reading back-end E0020411 is not"));
    EXPECT_THAT(log.calls, ::testing::Not(::testing::Contains(::testing::StartsWith("RegisterHotKey"))));
}

namespace {

std::vector<std::string> HotKeyCalls(const std::vector<std::string>& calls)
{
    std::vector<std::string> out;
    std::copy_if(calls.begin(), calls.end(), std::back_inserter(out),
                 [](const std::string& call) { return call.find("HotKey ") != std::string::npos; });
    return out;
}

// The sheet runs without the hot keys, at most once, and what OK changed
// reaches the popup before the hot keys come back in their new form.
TEST_F(ReadingDlgTest, OptionsRunOneSheetWithoutTheHotKeysAndApplyItsChanges)
{
    CReadingDlg& w = Popup();
    for (const bool ok : {false, true}) {
        log.Clear();
        std::vector<std::string> whileOpen;
        QTimer::singleShot(0, &w, [&] {
            COptionSheet* sheet = w.OptionSheet();
            ASSERT_NE(sheet, nullptr);
            w.OnCommand(ID_OPTION);  // from the tray or the command line meanwhile
            whileOpen = HotKeyCalls(log.calls);
            auto* general = static_cast<CPageGer*>(sheet->Page(COptionSheet::General));
            general->ColourButton(CPageGer::IDC_BACKGROUND)->SetColour(0x00FF00);
            QTest::keyClick(general->HotKeyControl(), Qt::Key_F11, Qt::ControlModifier);
            ok ? sheet->accept() : sheet->reject();
        });
        w.OnCommand(ID_OPTION);
        EXPECT_THAT(whileOpen, ElementsAre("UnregisterHotKey 1"));
        EXPECT_EQ(w.OptionSheet(), nullptr);
        EXPECT_THAT(HotKeyCalls(log.calls),
                    ElementsAre("UnregisterHotKey 1", ok ? "RegisterHotKey 1 2 122" : "RegisterHotKey 1 2 123"));
        EXPECT_EQ(w.TextBox()->palette().color(QPalette::Base), ToQColor(ShiftColour(ok ? 0x00FF00 : 0x800000, 70)));
    }
}

}  // namespace
