#pragma once

#include <QAbstractTableModel>
#include <QLine>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <optional>

#include "history/HistoryRows.h"

namespace kotobane {

struct ColumnSpec {
    QString name;
    int width = 0;
};

// "name,width;name,width": each complete entry gives a column; text after
// the last complete entry is ignored. The width is the integer prefix of
// the text after the comma, up to the next ";".
QList<ColumnSpec> ParseColumns(QStringView spec);

// The direction a click on a column header sorts in: ascending for a column
// other than the one sorted by, otherwise the opposite of its direction.
bool AscendingForClick(int sortColumn, bool ascending, int clickedColumn);

// The stored column widths: little-endian int32 count, then each width.
QByteArray ColumnWidthsBlock(const QList<int>& widths);
// The widths of a block written for count columns; nothing for an empty,
// short or other-count block.
std::optional<QList<int>> ColumnWidthsFromBlock(const QByteArray& block, int count);

// The sort arrow of a header item: 1-pixel lines, each without its end
// point, in the highlight or the shadow colour. item is the header item's
// rectangle with the header's top at y 0; o is a quarter of its height.
struct ArrowLine {
    bool highlight;
    QLine line;
};
QList<ArrowLine> SortArrowLines(QRect item, bool ascending);
// Where a header item's text goes: inset by o on either side, 3 o less on
// the right for the arrow of the sorted column, 1 right and 2 down while
// the item is pressed. Empty when nothing is left.
QRect HeaderTextRect(QRect item, bool marked, bool pressed);

// The units of a cell the list shows: painting a longer text takes seconds.
inline constexpr qsizetype kShownUnits = 1024;
// What the list shows of a cell: its first kShownUnits units (never half a
// surrogate pair), then "…" when there was more.
QString ShownText(QStringView cell);

// The history list's rows as a table for a view: no object per row, every
// cell read from the compact row store; a cell is shown cut (ShownText), and
// copy, export and save take it whole. Sorting, insertion and deletion go
// through here so that the view always sees consistent rows.
class HistoryTable final : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HistoryTable(QObject* parent = nullptr);

    // Appends the columns of spec; true when every entry made a column.
    bool SetColumns(QStringView spec);
    const QList<ColumnSpec>& Columns() const { return m_columns; }

    const HistoryRows& Rows() const { return m_rows; }
    // The rows for a save, which may insert lines through InsertSorted()
    // while it holds them.
    HistoryRows& RowsForSave() { return m_rows; }
    // Runs change on the rows as one reset of the table, for bulk loads.
    void ChangeRows(const std::function<void(HistoryRows&)>& change);

    int AddRow(const QStringList& fields);
    // Inserts where the current sort puts the row (at the end when the
    // table is not sorted); returns the index.
    int InsertSorted(const QStringList& fields);
    void DeleteRow(int row);
    void DeleteRows(const QList<int>& rows);
    void DeleteAllRows();

    void SortBy(int column, bool ascending);
    // A click on a column's header; returns the direction it sorted in.
    bool SortByClick(int column);
    int SortColumn() const { return m_sortColumn; }
    bool Ascending() const { return m_ascending; }

    // The row holding exactly these fields near where the current sort puts
    // them, or -1; for finding rows again after a sort.
    int FindRow(const QStringList& fields) const;
    QStringList FieldsOf(int row) const;

    // Column 0 TAB column 1 TAB column 2 CR LF of each of rows, top to
    // bottom whatever order they are given in; rows out of range are left
    // out.
    QStringList LinesOf(QList<int> rows) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    // After every sort, for the header's mark.
    void Sorted(int column, bool ascending);

private:
    HistoryRows m_rows;
    QList<ColumnSpec> m_columns;
    int m_sortColumn = -1;
    bool m_ascending = true;
};

}  // namespace kotobane
