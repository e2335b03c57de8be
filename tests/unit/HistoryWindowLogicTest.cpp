#include "history/HistoryWindowLogic.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cctype>

#include "fakes/FakePlatform.h"
#include "fakes/HistoryFiles.h"
#include "history/HistoryTable.h"
#include "settings/IniProfile.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

QStringList Column(const HistoryTable& table, int column)
{
    QStringList cells;
    for (int row = 0; row < table.rowCount(); ++row) {
        cells.append(table.Rows().Cell(row, column).toString());
    }
    return cells;
}

// --- the column specification ----------------------------------------------

struct ColumnsCase {
    const char* spec;
    QList<std::pair<QString, int>> columns;
};

class ParseColumnsTest : public ::testing::TestWithParam<ColumnsCase> { };

TEST_P(ParseColumnsTest, MakesAColumnOfEveryCompleteEntry)
{
    QList<std::pair<QString, int>> parsed;
    for (const ColumnSpec& c : ParseColumns(QString::fromUtf8(GetParam().spec))) {
        parsed.append({c.name, c.width});
    }
    EXPECT_EQ(parsed, GetParam().columns) << GetParam().spec;
}

INSTANTIATE_TEST_SUITE_P(
    Specs, ParseColumnsTest,
    ::testing::Values(ColumnsCase{"Phrase,150;Reading,160;Date,120",
                                  {{"Phrase", 150}, {"Reading", 160}, {"Date", 120}}},
                      // Two complete entries and a name without comma: two columns.
                      ColumnsCase{"Phrase,150;Reading,160;Date", {{"Phrase", 150}, {"Reading", 160}}},
                      ColumnsCase{"A, 7px;B,-3", {{"A", 7}, {"B", -3}}}, ColumnsCase{"A,x", {{"A", 0}}},
                      ColumnsCase{"A,10;", {{"A", 10}}}, ColumnsCase{"", {}}, ColumnsCase{"no comma", {}},
                      ColumnsCase{",5;;B,6", {{"", 5}, {";B", 6}}}));

TEST(HistoryTable, SetColumnsAppendsAndRefusesMoreThanTheRowsHold)
{
    HistoryTable table;
    EXPECT_TRUE(table.SetColumns(u"Phrase,150;Reading,160"));
    EXPECT_TRUE(table.SetColumns(u"Date,120"));
    EXPECT_EQ(table.columnCount(), 3);
    EXPECT_EQ(table.headerData(2, Qt::Horizontal).toString(), QStringLiteral("Date"));
    EXPECT_FALSE(table.SetColumns(u"Extra,10"));
    EXPECT_EQ(table.columnCount(), 3);
}

// --- header clicks -------------------------------------------------------

struct ClickCase {
    int sortColumn;
    bool ascending;
    int clicked;
    bool expected;
};

class HeaderClickTest : public ::testing::TestWithParam<ClickCase> { };

TEST_P(HeaderClickTest, AscendsOnANewColumnAndTogglesOnTheSameOne)
{
    const ClickCase& c = GetParam();
    EXPECT_EQ(AscendingForClick(c.sortColumn, c.ascending, c.clicked), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Clicks, HeaderClickTest,
                         ::testing::Values(ClickCase{-1, true, 0, true}, ClickCase{0, true, 0, false},
                                           ClickCase{0, false, 0, true}, ClickCase{2, false, 2, true},
                                           ClickCase{1, false, 2, true}, ClickCase{1, true, 2, true}));

TEST(HistoryTable, InsertSortedFollowsTheCurrentSortOrAppends)
{
    HistoryTable table;
    table.SetColumns(kHistoryColumnSpec);
    for (const char* date : {"2024/01/01 00:00:00", "2024/01/03 00:00:00"}) {
        table.AddRow({QStringLiteral("p"), QStringLiteral("r"), QString::fromUtf8(date)});
    }
    // Unsorted: at the end.
    EXPECT_EQ(table.InsertSorted({QStringLiteral("p"), QStringLiteral("r"), QStringLiteral("2024/01/02 00:00:00")}), 2);
    table.SortBy(2, false);
    EXPECT_EQ(table.InsertSorted({QStringLiteral("n"), QStringLiteral("r"), QStringLiteral("2025/01/01 00:00:00")}), 0);
    EXPECT_EQ(table.InsertSorted({QStringLiteral("o"), QStringLiteral("r"), QStringLiteral("2023/01/01 00:00:00")}), 4);
    EXPECT_THAT(Column(table, 2), ElementsAre("2025/01/01 00:00:00", "2024/01/03 00:00:00", "2024/01/02 00:00:00",
                                              "2024/01/01 00:00:00", "2023/01/01 00:00:00"));
}

TEST(HistoryTable, LinesOfCopyTopToBottomWhateverTheOrderGiven)
{
    HistoryTable table;
    table.SetColumns(kHistoryColumnSpec);
    table.AddRow({QStringLiteral("漢字"), QStringLiteral("かんじ"), QStringLiteral("d0")});
    table.AddRow({QStringLiteral("東京"), QStringLiteral("とうきょう"), QStringLiteral("d1")});
    table.AddRow({QStringLiteral("x"), QString(), QStringLiteral("d2")});
    EXPECT_THAT(table.LinesOf({2, 0, 2, 7, -1}),
                ElementsAre(QStringLiteral("漢字\tかんじ\td0\r\n"), QStringLiteral("x\t\td2\r\n")));
    EXPECT_TRUE(table.LinesOf({}).isEmpty());
}

// --- the header's drawing -------------------------------------------------

TEST(SortHeader, ArrowFollowsTheItemsRightAndBottomEdges)
{
    // o = 5, R = 110, B = 20.
    const QRect item(10, 0, 100, 20);
    const auto lines = [](const QList<ArrowLine>& arrow) {
        QList<std::pair<bool, QLine>> out;
        for (const ArrowLine& l : arrow) {
            out.append({l.highlight, l.line});
        }
        return out;
    };
    EXPECT_EQ(lines(SortArrowLines(item, true)),
              (QList<std::pair<bool, QLine>>{
                  {true, QLine(100, 5, 105, 14)}, {true, QLine(105, 14, 93, 14)}, {false, QLine(94, 14, 100, 4)}}));
    EXPECT_EQ(lines(SortArrowLines(item, false)),
              (QList<std::pair<bool, QLine>>{
                  {true, QLine(104, 5, 99, 15)}, {false, QLine(98, 15, 94, 5)}, {false, QLine(94, 5, 104, 5)}}));
}

struct TextRectCase {
    QRect item;
    bool marked;
    bool pressed;
    QRect expected;
};

class HeaderTextRectTest : public ::testing::TestWithParam<TextRectCase> { };

TEST_P(HeaderTextRectTest, InsetsByAQuarterOfTheHeight)
{
    const TextRectCase& c = GetParam();
    EXPECT_EQ(HeaderTextRect(c.item, c.marked, c.pressed), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Items, HeaderTextRectTest,
                         ::testing::Values(TextRectCase{QRect(0, 0, 100, 20), false, false, QRect(5, 0, 90, 20)},
                                           TextRectCase{QRect(0, 0, 100, 20), true, false, QRect(5, 0, 75, 20)},
                                           TextRectCase{QRect(0, 0, 100, 20), true, true, QRect(6, 2, 75, 18)},
                                           TextRectCase{QRect(50, 0, 23, 21), true, false, QRect()},
                                           TextRectCase{QRect(0, 0, 10, 20), false, false, QRect()}));

// --- stored column widths ---------------------------------------------------

TEST(ColumnWidths, RoundTripThroughTheSettingsFile)
{
    QTemporaryDir dir;
    const IniProfile profile(dir.filePath(QStringLiteral("Kotobane.ini")));
    StoreColumnWidths(profile, kHistoryListId, {150, 160, 300});
    // Count 3, then the widths, each little-endian, two letters a byte.
    EXPECT_EQ(profile.GetString(QStringLiteral("ListCtrls"), QStringLiteral("1015"), QString()).left(16),
              QStringLiteral("DAAAAAAAGJAAAAAA"));
    EXPECT_EQ(StoredColumnWidths(profile, kHistoryListId, 3), (QList<int>{150, 160, 300}));
    // Written for three columns: a list of two ignores it.
    EXPECT_EQ(StoredColumnWidths(profile, kHistoryListId, 2), std::nullopt);
    EXPECT_EQ(StoredColumnWidths(profile, 1016, 3), std::nullopt);
}

TEST(ColumnWidths, ShortOrEmptyBlocksAreIgnored)
{
    EXPECT_EQ(ColumnWidthsFromBlock(QByteArray(), 0), std::nullopt);
    EXPECT_EQ(ColumnWidthsFromBlock(QByteArray("\x03\x00\x00", 3), 3), std::nullopt);
    QByteArray cut = ColumnWidthsBlock({1, 2, 3});
    cut.chop(1);
    EXPECT_EQ(ColumnWidthsFromBlock(cut, 3), std::nullopt);
    EXPECT_EQ(ColumnWidthsFromBlock(ColumnWidthsBlock({-1, 0}), 2), (QList<int>{-1, 0}));
}

// --- commands -------------------------------------------------------------

struct EnableCase {
    int command;
    int rows;
    int selected;
    bool modified;
    bool enabled;
};

class HistoryEnableTest : public ::testing::TestWithParam<EnableCase> { };

TEST_P(HistoryEnableTest, FollowsRowsSelectionAndUnsavedChanges)
{
    const EnableCase& c = GetParam();
    EXPECT_EQ(HistoryCommandEnabled(c.command, c.rows, c.selected, c.modified), c.enabled) << c.command;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, HistoryEnableTest,
    ::testing::Values(EnableCase{ID_HISTORY_EXPORT, 1, 1, true, false},
                      EnableCase{ID_HISTORY_EXPORT, 2, 0, false, true}, EnableCase{ID_FILE_SAVE, 5, 5, false, false},
                      EnableCase{ID_FILE_SAVE, 0, 0, true, true}, EnableCase{ID_HISTORY_DELETE, 5, 0, true, false},
                      EnableCase{ID_HISTORY_DELETE, 5, 1, false, true}, EnableCase{ID_EDIT_COPY, 5, 0, true, false},
                      EnableCase{ID_EDIT_COPY, 5, 2, false, true}, EnableCase{ID_HISTORY_IMPORT, 0, 0, false, true},
                      EnableCase{ID_FILE_CLOSE, 0, 0, false, true}, EnableCase{ID_HISTORY_FONT, 0, 0, false, true}));

struct CloseCase {
    bool modified;
    int answer;
    bool saves;
    bool closes;
    int boxes;
    int saveCalls;
};

class HistoryCloseTest : public ::testing::TestWithParam<CloseCase> { };

TEST_P(HistoryCloseTest, AsksOnlyAboutUnsavedChanges)
{
    const CloseCase& c = GetParam();
    Recorder log;
    FakeMessageBox ui(log);
    ui.answers = {c.answer};
    int saveCalls = 0;
    EXPECT_EQ(ConfirmHistoryClose(c.modified, ui, [&] { return ++saveCalls, c.saves; }), c.closes);
    ASSERT_EQ(int(ui.boxes.size()), c.boxes);
    if (c.boxes > 0) {
        EXPECT_EQ(ui.boxes[0].first, QStringLiteral("Save it before close?"));
        EXPECT_EQ(ui.boxes[0].second & MB_TYPEMASK, MB_YESNOCANCEL);
    }
    EXPECT_EQ(saveCalls, c.saveCalls);
}

INSTANTIATE_TEST_SUITE_P(Answers, HistoryCloseTest,
                         ::testing::Values(CloseCase{false, IDYES, true, true, 0, 0},
                                           CloseCase{true, IDYES, true, true, 1, 1},
                                           // The save failed: the window stays, the rows with it.
                                           CloseCase{true, IDYES, false, false, 1, 1},
                                           CloseCase{true, IDNO, true, true, 1, 0},
                                           CloseCase{true, IDCANCEL, true, false, 1, 0}));

TEST(HistoryPlacement, StoredUnlessMinimisedWithTheMaximisedFlag)
{
    const QRect normal(10, 20, 300, 400);
    EXPECT_EQ(PlacementToStore(normal, false, true), std::nullopt);
    const std::optional<WindowPlacement> plain = PlacementToStore(normal, false, false);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->flags, 0u);
    EXPECT_EQ(plain->showCmd, 1u);
    EXPECT_EQ(QRect(QPoint(plain->left, plain->top), QPoint(plain->right - 1, plain->bottom - 1)), normal);
    const std::optional<WindowPlacement> max = PlacementToStore(normal, true, false);
    ASSERT_TRUE(max);
    EXPECT_EQ(max->flags, 2u);
    EXPECT_EQ(max->showCmd, 3u);
    EXPECT_EQ(max->length, kWindowPlacementLength);
    // A corner on the right edge itself is off the screen.
    WindowPlacement edge = *plain;
    edge.right = 1280;
    EXPECT_FALSE(PlacementFitsScreen(edge, QSize(1280, 800)));
    edge.right = 1279;
    EXPECT_TRUE(PlacementFitsScreen(edge, QSize(1280, 800)));
}

TEST(HistoryFileFilter, BecomesQtsFilterWithTheLowerCasePatterns)
{
    EXPECT_EQ(QtFileFilter(kHistoryFileFilter),
              QStringLiteral("タブ区切りテキストファイル(*.txt) (*.txt);;カンマ区切りCSVファイル(*.CSV) (*.csv)"));
    EXPECT_EQ(QtFileFilter(QStringLiteral("A|*.a;*.b||ignored|*.c|")), QStringLiteral("A (*.a *.b)"));
}

// --- the window's rows and files -------------------------------------------

class HistoryDocumentTest : public ::testing::Test {
protected:
    HistoryDocumentTest() : ui(log), document(table, dir.filePath(QStringLiteral("Kotobane.txt")), ui)
    {
        table.SetColumns(kHistoryColumnSpec);
    }
    QString File() const { return dir.filePath(QStringLiteral("Kotobane.txt")); }
    void WriteHistory(const QStringList& lines) { ASSERT_TRUE(WriteHistoryLines(File(), lines)); }

    QTemporaryDir dir;
    Recorder log;
    FakeMessageBox ui;
    HistoryTable table;
    HistoryDocument document;
};

TEST_F(HistoryDocumentTest, MissingFileOpensEmptyWithoutAWord)
{
    EXPECT_FALSE(document.Open());
    EXPECT_EQ(table.rowCount(), 0);
    EXPECT_TRUE(ui.boxes.empty());
    document.DeleteRows({});
    EXPECT_FALSE(document.Modified());
}

TEST_F(HistoryDocumentTest, ExportAndImportRoundTripAsTheFormatSays)
{
    WriteHistory({QStringLiteral("x,y\tX\t2024/01/01 10:00:00"), QStringLiteral("z\tZ\t2024/01/02 10:00:00")});
    ASSERT_TRUE(document.Open());
    document.DeleteRows({1});
    const QString csv = dir.filePath(QStringLiteral("out.csv"));
    ASSERT_TRUE(document.Export(csv));
    EXPECT_FALSE(document.Modified());  // an export counts as a save
    EXPECT_THAT(ReadHistoryLines(csv), ElementsAre(QStringLiteral("z,Z,2024/01/02 10:00:00")));

    // Appended at the end, unsorted; a phrase with a comma splits.
    WriteHistoryLines(csv, {QStringLiteral("x,y,X,2024/01/01 10:00:00"), QStringLiteral("a,A,2030/01/01 10:00:00")});
    ASSERT_TRUE(document.Import(csv));
    EXPECT_THAT(Column(table, 0), ElementsAre("z", "x", "a"));
    EXPECT_THAT(Column(table, 1), ElementsAre("Z", "y", "A"));
    EXPECT_FALSE(document.Modified());
}

TEST_F(HistoryDocumentTest, LinesAnotherCopyAppendedJoinAtTheSave)
{
    WriteHistory({QStringLiteral("mine\tM\t2024/01/02 10:00:00")});
    ASSERT_TRUE(document.Open());
    // Another copy of the program, with no handler into this window.
    HistoryAppender other(File(), ui, [] { return QDateTime(QDate(2024, 1, 3), QTime(8, 0)); });
    other.AppendHistory(QStringLiteral("theirs"), QStringLiteral("T"));
    EXPECT_EQ(table.rowCount(), 1);
    ASSERT_TRUE(document.Save());
    EXPECT_THAT(Column(table, 0), ElementsAre("theirs", "mine"));
    EXPECT_THAT(ReadHistoryLines(File()), ElementsAre(QStringLiteral("theirs\tT\t2024/01/03 08:00:00"),
                                                      QStringLiteral("mine\tM\t2024/01/02 10:00:00")));
}

// --- the automatic display ---------------------------------------------------

enum class FileState { Missing, Empty, Lines };

struct DisplayCase {
    const char* name;
    bool due;
    bool onStart;
    QTime clock;
    QTime now;
    FileState file;
    bool opens;
    bool doneAfter;  // HistoryDue cleared and DispHis set to now
};

class CheckHistoryDisplayTest : public ::testing::TestWithParam<DisplayCase> { };

TEST_P(CheckHistoryDisplayTest, OpensOnceAtItsTime)
{
    const DisplayCase& c = GetParam();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Kotobane.txt"));
    if (c.file != FileState::Missing) {
        ASSERT_TRUE(WriteHistoryLines(file, c.file == FileState::Lines ? QStringList{QStringLiteral("a\tb\tc")}
                                                                       : QStringList{}));
    }
    Settings s;
    s.HistoryDue = c.due;
    s.DispOnStart = c.onStart;
    s.Clock = QDateTime(QDate(1990, 1, 1), c.clock);
    const QDateTime before(QDate(2024, 1, 1), QTime(0, 0));
    s.DispHis = before;
    const QDateTime now(QDate(2024, 3, 10), c.now);
    int opened = 0;
    CheckHistoryDisplay(s, now, file, [&] { ++opened; });
    EXPECT_EQ(opened, c.opens ? 1 : 0) << c.name;
    EXPECT_EQ(s.HistoryDue, c.due && !c.doneAfter) << c.name;
    EXPECT_EQ(s.DispHis, c.doneAfter ? now : before) << c.name;
    // Never twice in a run.
    CheckHistoryDisplay(s, now.addSecs(1), file, [&] { ++opened; });
    EXPECT_LE(opened, 1) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    TimesOfDay, CheckHistoryDisplayTest,
    ::testing::Values(
        DisplayCase{"not due", false, true, QTime(10, 0), QTime(12, 0), FileState::Lines, false, false},
        DisplayCase{"on start", true, true, QTime(23, 0), QTime(1, 0), FileState::Lines, true, true},
        DisplayCase{"two seconds early", true, false, QTime(10, 0), QTime(9, 59, 58), FileState::Lines, false, false},
        DisplayCase{"a minute early with more seconds", true, false, QTime(10, 0, 0), QTime(9, 59, 59),
                    FileState::Lines, false, false},
        DisplayCase{"at the clock time", true, false, QTime(10, 0), QTime(10, 0), FileState::Lines, true, true},
        DisplayCase{"later that day", true, false, QTime(10, 0), QTime(15, 0), FileState::Lines, true, true},
        DisplayCase{"an hour early, later minutes", true, false, QTime(10, 5, 0), QTime(9, 59, 59), FileState::Lines,
                    false, false},
        DisplayCase{"same hour, seconds decide", true, false, QTime(10, 30, 30), QTime(10, 30, 29), FileState::Lines,
                    false, false},
        DisplayCase{"empty file counts as shown", true, true, QTime(10, 0), QTime(12, 0), FileState::Empty, false,
                    true},
        DisplayCase{"missing file counts as shown", true, false, QTime(10, 0), QTime(12, 0), FileState::Missing, false,
                    true}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(HistoryDue, YesterdayLateCountsAsADay)
{
    // 23:59 yesterday with Days = 1 is due, though not 24 hours ago.
    const QDateTime now(QDate(2024, 3, 10), QTime(0, 30));
    EXPECT_EQ(DaysBetween(QDateTime(QDate(2024, 3, 9), QTime(23, 59)), now), 1);
    EXPECT_EQ(DaysBetween(QDateTime(QDate(2024, 3, 10), QTime(0, 0)), now), 0);
}

}  // namespace
