#pragma once

#include <QHeaderView>
#include <QList>
#include <QSet>
#include <QTableView>

#include "history/HistoryTable.h"
#include "settings/IniProfile.h"

namespace kotobane {

// The list's header: columns that were sorted by are drawn flat with their
// text inset, the one sorted by last with a small raised arrow.
class CSortHeader final : public QHeaderView {
    Q_OBJECT
public:
    explicit CSortHeader(QWidget* parent = nullptr);

    void SetSortMark(int column, bool ascending);
    int MarkedColumn() const { return m_marked; }
    bool MarkAscending() const { return m_ascending; }

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_marked = -1;
    bool m_ascending = true;
    QSet<int> m_ownerDrawn;  // sorted by once: drawn by us from then on
    int m_pressed = -1;
};

// The history list: a table over the compact rows, one row per line,
// whole rows selected, several at a time. A click on a column's header
// sorts by it, the same column again the other way round.
class CSortableList final : public QTableView {
    Q_OBJECT
public:
    explicit CSortableList(QWidget* parent = nullptr);

    bool SetColumns(const QString& spec);
    int AddRow(const QStringList& fields) { return m_table->AddRow(fields); }
    void DeleteRow(int row) { m_table->DeleteRow(row); }
    void DeleteAllRows() { m_table->DeleteAllRows(); }
    void SortBy(int column, bool ascending);

    // Under "ListCtrls", the control id.
    void SaveColumnWidths(const IniProfile& profile, int controlId) const;
    // True when stored widths were applied.
    bool RestoreColumnWidths(const IniProfile& profile, int controlId);
    // Widens column until sample fits in the list's font.
    void FitColumnTo(int column, const QString& sample);

    // Selected rows, top to bottom.
    QList<int> SelectedRows() const;

    HistoryTable& Table() { return *m_table; }
    const HistoryTable& Table() const { return *m_table; }
    CSortHeader& Header() { return *m_header; }

protected:
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnHeaderClicked(int column);
    void FitRowHeight();

    HistoryTable* m_table;
    CSortHeader* m_header;
};

}  // namespace kotobane
