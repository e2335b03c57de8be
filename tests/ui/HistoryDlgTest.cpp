#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include <memory>
#include <optional>

#include "fakes/FakePlatform.h"
#include "fakes/HistoryFiles.h"
#include "history/CHistoryDlg.h"
#include "reading/TextGrabber.h"
#include "settings/FontMapping.h"
#include "settings/IniProfile.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

QStringList Phrases(const CHistoryDlg& w)
{
    QStringList cells;
    const HistoryTable& table = w.List()->Table();
    for (int row = 0; row < table.rowCount(); ++row) {
        cells.append(table.Rows().Cell(row, 0).toString());
    }
    return cells;
}

// A history window over fake services, its files in a temporary folder.
class HistoryDlgTest : public ::testing::Test {
protected:
    HistoryDlgTest()
        : profile(dir.filePath(QStringLiteral("Kotobane.ini"))),
          historyFile(dir.filePath(QStringLiteral("Kotobane.txt"))),
          clock(log),
          ui(log),
          clipboard(log),
          keyboard(log),
          windows(log),
          grabber(clipboard, keyboard, windows, clock, ui),
          appender(historyFile, ui, [this] { return now; })
    {
        settings.HistoryFont = DefaultLogFont();
    }

    // Five rows, a the oldest, e the newest.
    void WriteFiveRows()
    {
        ASSERT_TRUE(WriteHistoryLines(
            historyFile, {QStringLiteral("a\tA\t2024/01/01 10:00:00"), QStringLiteral("c\tC\t2024/01/03 10:00:00"),
                          QStringLiteral("b\tB\t2024/01/02 10:00:00"), QStringLiteral("e\tE\t2024/01/05 10:00:00"),
                          QStringLiteral("d\tD\t2024/01/04 10:00:00")}));
    }

    CHistoryDlg& Window(const QString& file = QString())
    {
        if (!window) {
            window = std::make_unique<CHistoryDlg>(HistoryWindowServices{
                &settings, &profile, &ui, file.isEmpty() ? historyFile : file, &appender, &grabber});
            window->askPath = [this](bool save) {
                asked.append(save);
                return chosenPath;
            };
            window->Initialise();
            window->show();
            window->activateWindow();
            QApplication::setActiveWindow(window.get());
            QCoreApplication::processEvents();
        }
        return *window;
    }

    void Select(const QList<int>& rows)
    {
        QItemSelectionModel* selection = window->List()->selectionModel();
        selection->clearSelection();
        for (int row : rows) {
            selection->select(window->List()->model()->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
            selection->setCurrentIndex(window->List()->model()->index(row, 0), QItemSelectionModel::NoUpdate);
        }
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(window->List(), Qt::Key(key), modifiers);
        QCoreApplication::processEvents();
    }

    void ClickHeader(int column)
    {
        CSortHeader& header = window->List()->Header();
        const QPoint at(header.sectionViewportPosition(column) + header.sectionSize(column) / 2, header.height() / 2);
        QTest::mouseClick(header.viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }

    bool Enabled(const QString& menuTitle, int command)
    {
        for (QAction* top : window->MenuBar()->actions()) {
            if (top->text() == menuTitle) {
                window->UpdateMenu(top->menu());
                return window->Action(command)->isEnabled();
            }
        }
        ADD_FAILURE() << "no menu " << Utf8(menuTitle);
        return false;
    }

    QTemporaryDir dir;
    IniProfile profile;
    QString historyFile;
    Recorder log;
    FakeClock clock;
    FakeMessageBox ui;
    FakeClipboard clipboard;
    FakeKeyboard keyboard;
    FakeWindows windows;
    TextGrabber grabber;
    QDateTime now = QDateTime(QDate(2024, 1, 3), QTime(12, 0));
    HistoryAppender appender;
    Settings settings;
    QList<bool> asked;
    QString chosenPath;
    std::unique_ptr<CHistoryDlg> window;
};

TEST_F(HistoryDlgTest, OpensAsTheTemplateSaysNewestFirst)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kotobane History"));
    EXPECT_THAT(Phrases(w), ElementsAre("e", "d", "c", "b", "a"));
    EXPECT_EQ(w.List()->Header().MarkedColumn(), 2);
    EXPECT_FALSE(w.List()->Header().MarkAscending());
    const QAbstractItemModel* model = w.List()->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Phrase"));
    EXPECT_EQ(w.List()->Header().sectionSize(1), 160);
    // A first opening widens the date column to show a whole date.
    const QString date = w.List()->model()->index(0, 2).data().toString();
    EXPECT_GT(w.List()->Header().sectionSize(2), w.List()->fontMetrics().horizontalAdvance(date));
    EXPECT_EQ(w.List()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(w.List()->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(w.List()->showGrid());
    EXPECT_FALSE(w.List()->verticalHeader()->isVisible());
    // Centred without a stored placement.
    EXPECT_EQ(w.frameGeometry().center(), QGuiApplication::primaryScreen()->geometry().center());
    QStringList titles;
    for (QAction* top : w.MenuBar()->actions()) {
        titles.append(top->text());
    }
    EXPECT_THAT(titles, ElementsAre("&File", "&Edit", "&View"));
    EXPECT_EQ(w.Action(ID_FILE_SAVE)->text(), QStringLiteral("&Save\tCtrl+S"));
}

TEST_F(HistoryDlgTest, HeaderClicksToggleTheDirectionOfTheSameColumn)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    ClickHeader(2);  // after the newest-first sort: ascending
    EXPECT_THAT(Phrases(w), ElementsAre("a", "b", "c", "d", "e"));
    EXPECT_TRUE(w.List()->Header().MarkAscending());
    ClickHeader(2);
    EXPECT_THAT(Phrases(w), ElementsAre("e", "d", "c", "b", "a"));
    // The selection follows its rows.
    Select({0, 1});  // e and d
    ClickHeader(1);
    EXPECT_EQ(w.List()->SelectedRows(), (QList<int>{3, 4}));
    EXPECT_EQ(w.List()->currentIndex().row(), 3);  // d, the current row
    ClickHeader(1);
    EXPECT_EQ(w.List()->SelectedRows(), (QList<int>{0, 1}));
    EXPECT_EQ(w.List()->Table().FieldsOf(1).first(), QStringLiteral("d"));
    ClickHeader(1);
    EXPECT_EQ(w.List()->Header().MarkedColumn(), 1);
    EXPECT_TRUE(w.List()->Table().Ascending());
    EXPECT_THAT(Phrases(w), ElementsAre("a", "b", "c", "d", "e"));
}

TEST_F(HistoryDlgTest, ExportNeedsTwoRows)
{
    ASSERT_TRUE(WriteHistoryLines(historyFile, {QStringLiteral("a\tA\t2024/01/01 10:00:00")}));
    CHistoryDlg& w = Window();
    EXPECT_FALSE(Enabled(QStringLiteral("&File"), ID_HISTORY_EXPORT));
    w.OnCommand(ID_HISTORY_EXPORT);
    EXPECT_TRUE(asked.isEmpty());

    appender.AppendHistory(QStringLiteral("b"), QStringLiteral("B"));
    EXPECT_TRUE(Enabled(QStringLiteral("&File"), ID_HISTORY_EXPORT));
    EXPECT_TRUE(Enabled(QStringLiteral("&File"), ID_HISTORY_IMPORT));
    EXPECT_FALSE(Enabled(QStringLiteral("&File"), ID_FILE_SAVE));
    chosenPath = dir.filePath(QStringLiteral("out.csv"));
    w.OnCommand(ID_HISTORY_EXPORT);
    EXPECT_THAT(asked, ElementsAre(true));
    EXPECT_THAT(ReadHistoryLines(chosenPath),
                ElementsAre(QStringLiteral("b,B,2024/01/03 12:00:00"), QStringLiteral("a,A,2024/01/01 10:00:00")));
}

TEST_F(HistoryDlgTest, CtrlDeleteRemovesExactlyTheSelectedRowsAndEnablesSave)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    EXPECT_FALSE(Enabled(QStringLiteral("&Edit"), ID_HISTORY_DELETE));
    Select({0, 2, 4});
    EXPECT_TRUE(Enabled(QStringLiteral("&Edit"), ID_HISTORY_DELETE));
    Key(Qt::Key_Delete);
    EXPECT_THAT(Phrases(w), ElementsAre("d", "b"));
    EXPECT_TRUE(w.Document().Modified());
    EXPECT_TRUE(Enabled(QStringLiteral("&File"), ID_FILE_SAVE));
    EXPECT_TRUE(w.List()->SelectedRows().isEmpty());

    Key(Qt::Key_S);
    EXPECT_FALSE(w.Document().Modified());
    EXPECT_THAT(ReadHistoryLines(historyFile),
                ElementsAre(QStringLiteral("d\tD\t2024/01/04 10:00:00"), QStringLiteral("b\tB\t2024/01/02 10:00:00")));
}

TEST_F(HistoryDlgTest, CtrlCCopiesTheSelectedRowsInDisplayOrder)
{
    WriteFiveRows();
    Window();
    Select({3, 1});
    Key(Qt::Key_C);
    EXPECT_EQ(clipboard.placed, Utf16Le(QStringLiteral("d\tD\t2024/01/04 10:00:00\r\nb\tB\t2024/01/02 10:00:00\r\n"))
                                    + QByteArray(2, '\0'));
    // Nothing selected: the clipboard is left alone.
    clipboard.placed.clear();
    Select({});
    Key(Qt::Key_C);
    EXPECT_TRUE(clipboard.placed.isEmpty());
}

struct CloseCase {
    const char* name;
    int answer;
    bool closes;
    int rowsInFile;
};

class HistoryCloseDlgTest : public HistoryDlgTest, public ::testing::WithParamInterface<CloseCase> { };

TEST_P(HistoryCloseDlgTest, AsksBeforeClosingWithUnsavedDeletions)
{
    const CloseCase& c = GetParam();
    WriteFiveRows();
    CHistoryDlg& w = Window();
    Select({0});
    Key(Qt::Key_Delete);
    ui.answers = {c.answer};
    w.OnCommand(ID_FILE_CLOSE);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].first, QStringLiteral("Save it before close?"));
    EXPECT_EQ(w.isVisible(), !c.closes) << c.name;
    EXPECT_EQ(ReadHistoryLines(historyFile).size(), c.rowsInFile) << c.name;
    EXPECT_EQ(Phrases(w).size(), 4) << c.name;
    // Placement and widths are stored only by a close that happens.
    EXPECT_EQ(profile.GetString(QStringLiteral("Settings"), QStringLiteral("DlgHistory"), QString()).isEmpty(),
              !c.closes)
        << c.name;
}

// Exit from the tray while deletions are unsaved asks as closing does.
TEST_F(HistoryDlgTest, ExitWithTheWindowOpenAsksFirst)
{
    EXPECT_TRUE(CloseHistoryWindowForExit(nullptr));
    WriteFiveRows();
    CHistoryDlg& w = Window();
    Select({0});
    Key(Qt::Key_Delete);
    ui.answers = {IDCANCEL, IDNO};
    EXPECT_FALSE(CloseHistoryWindowForExit(&w));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(CloseHistoryWindowForExit(&w));
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(ui.boxes.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Answers, HistoryCloseDlgTest,
                         ::testing::Values(CloseCase{"yes", IDYES, true, 4}, CloseCase{"no", IDNO, true, 5},
                                           CloseCase{"cancel", IDCANCEL, false, 5}));

TEST_F(HistoryDlgTest, AFailedSaveOnClosingKeepsTheWindowOpen)
{
    // A history file whose folder is a regular file can be neither read
    // nor replaced.
    const QString blocker = dir.filePath(QStringLiteral("blocker"));
    ASSERT_TRUE(WriteHistoryLines(blocker, {QStringLiteral("x\ty\tz")}));
    CHistoryDlg& w = Window(blocker + QStringLiteral("/Kotobane.txt"));
    ui.boxes.clear();
    chosenPath = blocker;
    w.OnCommand(ID_HISTORY_IMPORT);
    w.OnCommand(ID_HISTORY_IMPORT);
    Select({1});
    Key(Qt::Key_Delete);
    ui.answers = {IDYES};
    w.reject();
    EXPECT_TRUE(w.isVisible());
    EXPECT_GE(ui.boxes.size(), 2u);  // the question, then the save's error
    EXPECT_TRUE(w.Document().Modified());
    EXPECT_EQ(Phrases(w).size(), 1);
}

TEST_F(HistoryDlgTest, EscapeAndEnterDoNotCloseIt)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    Key(Qt::Key_Escape, Qt::NoModifier);
    Key(Qt::Key_Return, Qt::NoModifier);
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(HistoryDlgTest, ALookUpWhileOpenAppearsInPlaceAndSurvivesTheSave)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    now = QDateTime(QDate(2024, 1, 3), QTime(12, 0));
    appender.AppendHistory(QStringLiteral("新"), QStringLiteral("しん"));
    EXPECT_THAT(Phrases(w), ElementsAre("e", "d", "新", "c", "b", "a"));
    Select({5});
    Key(Qt::Key_Delete);
    Key(Qt::Key_S);
    EXPECT_THAT(ReadHistoryLines(historyFile),
                ElementsAre(QStringLiteral("e\tE\t2024/01/05 10:00:00"), QStringLiteral("d\tD\t2024/01/04 10:00:00"),
                            QStringLiteral("新\tしん\t2024/01/03 12:00:00"),
                            QStringLiteral("c\tC\t2024/01/03 10:00:00"), QStringLiteral("b\tB\t2024/01/02 10:00:00")));
    // After the window is gone the appender writes on its own.
    window.reset();
    appender.AppendHistory(QStringLiteral("後"), QStringLiteral("あと"));
    EXPECT_EQ(ReadHistoryLines(historyFile).size(), 6);
}

TEST_F(HistoryDlgTest, ColumnWidthsAndPlacementComeBackNextTime)
{
    WriteFiveRows();
    Window().List()->Header().resizeSection(0, 222);
    Window().List()->Header().resizeSection(2, 30);
    window->setGeometry(100, 120, 400, 600);
    window->reject();
    window.reset();
    CHistoryDlg& w = Window();
    EXPECT_EQ(w.List()->Header().sectionSize(0), 222);
    EXPECT_EQ(w.List()->Header().sectionSize(2), 30) << "a width the user chose is kept";
    EXPECT_EQ(w.geometry(), QRect(100, 120, 400, 600));
}

TEST_F(HistoryDlgTest, FontChoiceChangesTheSharedHistoryFont)
{
    WriteFiveRows();
    CHistoryDlg& w = Window();
    QFont big = ToQFont(*settings.HistoryFont);
    big.setPixelSize(31);
    w.askFont = [&](const QFont&) { return std::optional<QFont>(big); };
    w.OnCommand(ID_HISTORY_FONT);
    ASSERT_TRUE(settings.HistoryFont);
    EXPECT_EQ(settings.HistoryFont->lfHeight, -31);
    EXPECT_EQ(w.List()->font().pixelSize(), 31);
    EXPECT_FALSE(w.Document().Modified());
    w.askFont = [](const QFont&) { return std::nullopt; };
    w.OnCommand(ID_HISTORY_FONT);
    EXPECT_EQ(settings.HistoryFont->lfHeight, -31);
}

TEST_F(HistoryDlgTest, OneWindowAtATime)
{
    WriteFiveRows();
    QPointer<CHistoryDlg> current;
    QWidget owner;
    owner.show();
    int opened = 0;
    // Once the window runs its modal loop.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (current == nullptr || !current->isVisible()) {
            return;
        }
        poll.stop();
        EXPECT_FALSE(owner.isEnabled());
        // A second request only raises the open window.
        CHistoryDlg* first = current;
        OpenHistoryWindow(current, {&settings, &profile, &ui, historyFile, &appender, &grabber}, &owner);
        EXPECT_EQ(current, first);
        ++opened;
        current->OnCommand(ID_FILE_CLOSE);
    });
    poll.start();
    OpenHistoryWindow(current, {&settings, &profile, &ui, historyFile, &appender, &grabber}, &owner);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(current, nullptr);
    EXPECT_TRUE(owner.isEnabled());
}

TEST_F(HistoryDlgTest, TheWaitCursorShowsBeforeTheHistoryLoads)
{
    WriteFiveRows();
    QPointer<CHistoryDlg> current;
    std::optional<Qt::CursorShape> shapeBeforeLoad;
    int rowsThen = -1;
    // Runs in the first event pass after the command, before the load.
    QTimer::singleShot(0, [&] {
        if (const QCursor* cursor = QApplication::overrideCursor()) {
            shapeBeforeLoad = cursor->shape();
        }
        rowsThen = current != nullptr ? current->List()->Table().rowCount() : -2;
    });
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (current != nullptr && current->isVisible()) {
            poll.stop();
            EXPECT_EQ(QApplication::overrideCursor(), nullptr);  // gone once it is shown
            current->OnCommand(ID_FILE_CLOSE);
        }
    });
    poll.start();
    OpenHistoryWindow(current, {&settings, &profile, &ui, historyFile, &appender, &grabber}, nullptr);
    EXPECT_EQ(shapeBeforeLoad, Qt::WaitCursor);
    EXPECT_EQ(rowsThen, 0);
}

// Painting a cell of millions of characters takes seconds a repaint: the
// list shows the start of it, and copy takes it whole.
TEST_F(HistoryDlgTest, AHugeCellIsShownCutAndCopiedWhole)
{
    const QString huge = QString(4'000'000, QChar(u'猫'));
    ASSERT_TRUE(WriteHistoryLines(historyFile, {huge + QStringLiteral("\tねこ\t2024/01/01 10:00:00")}));
    CHistoryDlg& w = Window();
    const QString shown = w.List()->model()->index(0, 0).data().toString();
    EXPECT_EQ(shown, huge.left(kShownUnits) + QChar(0x2026));
    EXPECT_EQ(w.List()->model()->index(0, 1).data().toString(), QStringLiteral("ねこ"));
    Select({0});
    Key(Qt::Key_C);
    EXPECT_EQ(clipboard.placed.size(), 2 * (huge.size() + 25) + 2);
}

TEST_F(HistoryDlgTest, TooltipsShowCellsTheColumnCutsShort)
{
    ASSERT_TRUE(WriteHistoryLines(historyFile,
                                  {QStringLiteral("吾輩は猫である。名前はまだ無い。\tわがはい\t2024/01/01 10:00:00"),
                                   QStringLiteral("猫\tねこ\t2024/01/02 10:00:00")}));
    CHistoryDlg& w = Window();
    CSortableList* list = w.List();
    list->Header().resizeSection(0, 60);
    QCoreApplication::processEvents();
    const auto tipAt = [&](int row) {
        QToolTip::hideText();
        const QRect cell = list->visualRect(list->model()->index(row, 0));
        QHelpEvent help(QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
        QCoreApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    // The short one first: a hidden tip stays up a moment.
    EXPECT_EQ(tipAt(0), QString());
    EXPECT_EQ(tipAt(1), QStringLiteral("吾輩は猫である。名前はまだ無い。"));
    QToolTip::hideText();
}

}  // namespace
