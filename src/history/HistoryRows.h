#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <array>
#include <memory>
#include <vector>

namespace kotobane {

// The history list's columns: phrase, reading, date.
inline constexpr int kHistoryColumns = 3;

// The rows of the history list. Every cell is a slice of a text block the
// rows share (a loaded file is one block), so that a row costs a few
// integers and a million rows fit in little more than the file's size.
// Cells never change after they are added.
class HistoryRows {
public:
    HistoryRows();
    ~HistoryRows();
    HistoryRows(const HistoryRows&) = delete;
    HistoryRows& operator=(const HistoryRows&) = delete;

    int Count() const { return int(m_rows.size()); }
    // Empty for a column at or past the column count.
    QStringView Cell(int row, int column) const;

    // Appends a row; fields past the third are ignored, missing ones empty.
    int AddRow(const QStringList& fields);
    // Inserts a row at index (0..Count()).
    void InsertRow(int index, const QStringList& fields);
    void DeleteRow(int row);
    // Deletes the given rows (any order, duplicates ignored) in one pass.
    void DeleteRows(QList<int> rows);
    void DeleteAllRows();
    // The rows deleted since DeleteAllRows(), in the order of deletion: the
    // history's save must not take them for another copy's lines.
    int DeletedCount() const { return int(m_deleted.size()); }
    QStringView DeletedCell(int row, int column) const;

    // Adopts a block of text; AddSlices() rows may then point into it.
    // Returns the block's first unit.
    const QChar* AdoptBlock(QString block);
    // A row made of slices of adopted blocks (or of no text).
    int AddSlices(const std::array<QStringView, kHistoryColumns>& cells);

    // Sorts all rows by column with CompareRows; safe with any mix of cells.
    void SortBy(int column, bool ascending);
    // The row index at which a new row with these fields goes under a sort
    // by column (the first place where it compares lower than the row there).
    int SortedPosition(const QStringList& fields, int column, bool ascending) const;

private:
    struct Row {
        std::array<const QChar*, kHistoryColumns> text{};
        std::array<qint32, kHistoryColumns> length{};
    };
    QStringView Slice(const Row& row, int column) const;
    // True when the rows are already sorted, reversing them if they were
    // in the opposite order.
    bool InOneRun(int column, bool ascending);
    // Puts row order[i] at i, for every i.
    void Permute(std::vector<quint32> order);

    std::vector<Row> m_rows;
    std::vector<Row> m_deleted;
    std::vector<std::unique_ptr<QString>> m_blocks;
    QString* m_small = nullptr;  // the block AddRow() copies into
};

// -1, 0 or 1 as the list compares x (the first row's cell) with y, sorting
// ascending; descending exchanges the operands, but x still chooses the
// comparison: numeric (digits and "." only, or empty) by integer prefix, the
// shape dd/mm/yyyy by year, month, day, otherwise locale-aware and
// case-sensitive over the first kCollatedUnits units (texts that agree that
// far are equal, so that a huge cell costs no more than a long phrase).
// Not symmetric when a column mixes the shapes.
int CompareRows(QStringView x, QStringView y, bool ascending);
inline constexpr qsizetype kCollatedUnits = 1024;

// At most n units from the start of text; one fewer rather than half of a
// surrogate pair.
QStringView Leading(QStringView text, qsizetype n);

// The integer prefix of text: leading spaces, a sign, then decimal digits
// up to the first other character; 0 for none. Saturates at the int range.
int IntegerPrefix(QStringView text);

}  // namespace kotobane
