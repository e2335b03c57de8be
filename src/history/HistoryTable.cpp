#include "history/HistoryTable.h"

#include <QtEndian>

#include <algorithm>

namespace kotobane {

QList<ColumnSpec> ParseColumns(QStringView spec)
{
    QList<ColumnSpec> columns;
    qsizetype at = 0;
    while (at <= spec.size()) {
        const qsizetype comma = spec.indexOf(u',', at);
        if (comma < 0) {
            break;
        }
        qsizetype semicolon = spec.indexOf(u';', comma + 1);
        if (semicolon < 0) {
            semicolon = spec.size();
        }
        columns.append(
            {spec.mid(at, comma - at).toString(), IntegerPrefix(spec.mid(comma + 1, semicolon - comma - 1))});
        at = semicolon + 1;
    }
    return columns;
}

bool AscendingForClick(int sortColumn, bool ascending, int clickedColumn)
{
    return clickedColumn != sortColumn ? true : !ascending;
}

QByteArray ColumnWidthsBlock(const QList<int>& widths)
{
    QByteArray block(4 * (widths.size() + 1), '\0');
    qToLittleEndian<qint32>(qint32(widths.size()), block.data());
    for (qsizetype i = 0; i < widths.size(); ++i) {
        qToLittleEndian<qint32>(widths[i], block.data() + 4 * (i + 1));
    }
    return block;
}

std::optional<QList<int>> ColumnWidthsFromBlock(const QByteArray& block, int count)
{
    if (block.size() < 4 || qFromLittleEndian<qint32>(block.constData()) != count
        || block.size() < 4 * (qsizetype(count) + 1)) {
        return std::nullopt;
    }
    QList<int> widths;
    for (int i = 0; i < count; ++i) {
        widths.append(qFromLittleEndian<qint32>(block.constData() + 4 * (i + 1)));
    }
    return widths;
}

QList<ArrowLine> SortArrowLines(QRect item, bool ascending)
{
    // Edge-exclusive right and bottom, as the item rectangle is given to
    // the header's owner draw.
    const int r = item.x() + item.width();
    const int b = item.y() + item.height();
    const int o = item.height() / 4;
    if (ascending) {
        return {{true, QLine(r - 2 * o, o, r - o, b - o - 1)},
                {true, QLine(r - o, b - o - 1, r - 3 * o - 2, b - o - 1)},
                {false, QLine(r - 3 * o - 1, b - o - 1, r - 2 * o, o - 1)}};
    }
    return {{true, QLine(r - o - 1, o, r - 2 * o - 1, b - o)},
            {false, QLine(r - 2 * o - 2, b - o, r - 3 * o - 1, o)},
            {false, QLine(r - 3 * o - 1, o, r - o - 1, o)}};
}

QRect HeaderTextRect(QRect item, bool marked, bool pressed)
{
    int left = item.x();
    int top = item.y();
    int right = item.x() + item.width();
    const int bottom = item.y() + item.height();
    if (pressed) {
        left += 1;
        right += 1;
        top += 2;
    }
    const int o = item.height() / 4;
    if (marked) {
        right -= 3 * o;
    }
    left += o;
    right -= o;
    if (left >= right) {
        return QRect();
    }
    return QRect(left, top, right - left, bottom - top);
}

QString ShownText(QStringView cell)
{
    const QStringView shown = Leading(cell, kShownUnits);
    return shown.size() == cell.size() ? cell.toString() : shown.toString() + QChar(0x2026);
}

HistoryTable::HistoryTable(QObject* parent) : QAbstractTableModel(parent)
{ }

bool HistoryTable::SetColumns(QStringView spec)
{
    const QList<ColumnSpec> parsed = ParseColumns(spec);
    beginResetModel();
    bool all = true;
    for (const ColumnSpec& column : parsed) {
        // The row store holds the history's three texts a row.
        if (m_columns.size() >= kHistoryColumns) {
            all = false;
            break;
        }
        m_columns.append(column);
    }
    endResetModel();
    return all;
}

void HistoryTable::ChangeRows(const std::function<void(HistoryRows&)>& change)
{
    beginResetModel();
    change(m_rows);
    endResetModel();
}

int HistoryTable::AddRow(const QStringList& fields)
{
    const int row = m_rows.Count();
    beginInsertRows(QModelIndex(), row, row);
    m_rows.AddRow(fields);
    endInsertRows();
    return row;
}

int HistoryTable::InsertSorted(const QStringList& fields)
{
    if (m_sortColumn < 0) {
        return AddRow(fields);
    }
    const int row = m_rows.SortedPosition(fields, m_sortColumn, m_ascending);
    beginInsertRows(QModelIndex(), row, row);
    m_rows.InsertRow(row, fields);
    endInsertRows();
    return row;
}

void HistoryTable::DeleteRow(int row)
{
    if (row < 0 || row >= m_rows.Count()) {
        return;
    }
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.DeleteRow(row);
    endRemoveRows();
}

void HistoryTable::DeleteRows(const QList<int>& rows)
{
    if (rows.isEmpty()) {
        return;
    }
    // One pass over the store rather than a removal per row: deleting many
    // rows of a big history stays linear.
    beginResetModel();
    m_rows.DeleteRows(rows);
    endResetModel();
}

void HistoryTable::DeleteAllRows()
{
    beginResetModel();
    m_rows.DeleteAllRows();
    endResetModel();
}

void HistoryTable::SortBy(int column, bool ascending)
{
    m_sortColumn = column;
    m_ascending = ascending;
    beginResetModel();
    m_rows.SortBy(column, ascending);
    endResetModel();
    Q_EMIT Sorted(column, ascending);
}

bool HistoryTable::SortByClick(int column)
{
    const bool ascending = AscendingForClick(m_sortColumn, m_ascending, column);
    SortBy(column, ascending);
    return ascending;
}

int HistoryTable::FindRow(const QStringList& fields) const
{
    // Rows that compare equal sit just before the sorted position; a few
    // hundred of them with the same key is already far more than a history
    // holds.
    constexpr int kSearch = 256;
    const int end = m_sortColumn >= 0 ? m_rows.SortedPosition(fields, m_sortColumn, m_ascending) : m_rows.Count();
    const auto holds = [&](int row) {
        for (int column = 0; column < kHistoryColumns; ++column) {
            const QStringView field = column < fields.size() ? QStringView(fields[column]) : QStringView();
            if (m_rows.Cell(row, column) != field) {
                return false;
            }
        }
        return true;
    };
    for (int row = end - 1; row >= 0 && row >= end - kSearch; --row) {
        if (holds(row)) {
            return row;
        }
    }
    return -1;
}

QStringList HistoryTable::FieldsOf(int row) const
{
    QStringList fields;
    for (int column = 0; column < kHistoryColumns; ++column) {
        fields.append(m_rows.Cell(row, column).toString());
    }
    return fields;
}

QStringList HistoryTable::LinesOf(QList<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    QStringList lines;
    for (int row : rows) {
        if (row < 0 || row >= m_rows.Count()) {
            continue;
        }
        QString line;
        for (int column = 0; column < kHistoryColumns; ++column) {
            line += m_rows.Cell(row, column);
            line += column + 1 < kHistoryColumns ? QStringLiteral("\t") : QStringLiteral("\r\n");
        }
        lines.append(line);
    }
    return lines;
}

int HistoryTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows.Count();
}

int HistoryTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant HistoryTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.Count()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return ShownText(m_rows.Cell(index.row(), index.column()));
    }
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    }
    return {};
}

QVariant HistoryTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_columns.size()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return m_columns[section].name;
    }
    return {};
}

}  // namespace kotobane
