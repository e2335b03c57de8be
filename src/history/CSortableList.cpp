#include "history/CSortableList.h"

#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>

#include "history/HistoryWindowLogic.h"

namespace kotobane {

namespace {

// Cells without the focused cell's frame: the list selects whole rows.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->state &= ~QStyle::State_HasFocus;
    }
};

}  // namespace

CSortHeader::CSortHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsClickable(true);
    setHighlightSections(false);
    setStretchLastSection(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

void CSortHeader::SetSortMark(int column, bool ascending)
{
    m_marked = column;
    m_ascending = ascending;
    if (column >= 0) {
        m_ownerDrawn.insert(column);
    }
    viewport()->update();
}

void CSortHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    if (!m_ownerDrawn.contains(logicalIndex)) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    painter->save();
    painter->setClipRect(rect);
    painter->fillRect(rect, palette().color(QPalette::Button));

    const bool marked = logicalIndex == m_marked;
    const QRect text = HeaderTextRect(rect, marked, logicalIndex == m_pressed);
    if (!text.isEmpty()) {
        const QString name =
            model() != nullptr ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
        painter->setPen(palette().color(QPalette::ButtonText));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          fontMetrics().elidedText(name, Qt::ElideRight, text.width()));
    }
    if (marked) {
        // Flat caps leave out each line's end point, as the arrow's
        // coordinates expect.
        const QPen highlight(palette().color(QPalette::Light), 0, Qt::SolidLine, Qt::FlatCap);
        const QPen shadow(palette().color(QPalette::Shadow), 0, Qt::SolidLine, Qt::FlatCap);
        painter->setRenderHint(QPainter::Antialiasing, false);
        for (const ArrowLine& line : SortArrowLines(rect, m_ascending)) {
            painter->setPen(line.highlight ? highlight : shadow);
            painter->drawLine(line.line);
        }
    }
    painter->restore();
}

void CSortHeader::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = logicalIndexAt(event->position().toPoint());
    }
    QHeaderView::mousePressEvent(event);
}

void CSortHeader::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressed = -1;
    QHeaderView::mouseReleaseEvent(event);
    viewport()->update();
}

CSortableList::CSortableList(QWidget* parent)
    : QTableView(parent),
      m_table(new HistoryTable(this)),
      m_header(new CSortHeader(this))
{
    setHorizontalHeader(m_header);
    setModel(m_table);
    setItemDelegate(new RowDelegate(this));
    // Rows of one height, no header per row: a million rows cost the view
    // nothing per row.
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FitRowHeight();
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setTabKeyNavigation(false);
    setSortingEnabled(false);  // the list sorts its rows itself
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::StyledPanel);

    connect(m_header, &QHeaderView::sectionClicked, this, &CSortableList::OnHeaderClicked);
    connect(m_table, &HistoryTable::Sorted, m_header, &CSortHeader::SetSortMark);
}

bool CSortableList::SetColumns(const QString& spec)
{
    const int before = int(m_table->Columns().size());
    const bool all = m_table->SetColumns(spec);
    const QList<ColumnSpec>& columns = m_table->Columns();
    for (int i = before; i < columns.size(); ++i) {
        m_header->resizeSection(i, std::max(0, columns[i].width));
    }
    return all;
}

void CSortableList::SortBy(int column, bool ascending)
{
    // The selected rows stay selected where the sort takes them; a larger
    // selection than a user picks by hand is let go rather than searched.
    constexpr qsizetype kKeptSelection = 1000;
    QList<QStringList> selected;
    const QList<int> rows = SelectedRows();
    if (rows.size() <= kKeptSelection) {
        for (int row : rows) {
            selected.append(m_table->FieldsOf(row));
        }
    }
    const QModelIndex current = currentIndex();
    const QStringList currentFields = current.isValid() ? m_table->FieldsOf(current.row()) : QStringList();

    m_table->SortBy(column, ascending);

    QItemSelection selection;
    const int last = m_table->columnCount() - 1;
    for (const QStringList& fields : selected) {
        if (const int row = m_table->FindRow(fields); row >= 0) {
            selection.select(m_table->index(row, 0), m_table->index(row, last));
        }
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!currentFields.isEmpty()) {
        if (const int row = m_table->FindRow(currentFields); row >= 0) {
            selectionModel()->setCurrentIndex(m_table->index(row, 0), QItemSelectionModel::NoUpdate);
            scrollTo(m_table->index(row, 0));
        }
    }
}

void CSortableList::OnHeaderClicked(int column)
{
    SortBy(column, AscendingForClick(m_table->SortColumn(), m_table->Ascending(), column));
}

void CSortableList::SaveColumnWidths(const IniProfile& profile, int controlId) const
{
    QList<int> widths;
    for (int i = 0; i < m_header->count(); ++i) {
        widths.append(m_header->sectionSize(i));
    }
    StoreColumnWidths(profile, controlId, widths);
}

bool CSortableList::RestoreColumnWidths(const IniProfile& profile, int controlId)
{
    const std::optional<QList<int>> widths = StoredColumnWidths(profile, controlId, m_header->count());
    if (widths) {
        for (int i = 0; i < widths->size(); ++i) {
            m_header->resizeSection(i, std::max(0, widths->at(i)));
        }
    }
    m_header->viewport()->update();
    return widths.has_value();
}

void CSortableList::FitColumnTo(int column, const QString& sample)
{
    // The cell's own margins, as the view's style draws them.
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 4;
    const int needed = fontMetrics().horizontalAdvance(sample) + margin;
    if (column >= 0 && column < m_header->count() && m_header->sectionSize(column) < needed) {
        m_header->resizeSection(column, needed);
    }
}

QList<int> CSortableList::SelectedRows() const
{
    QList<int> rows;
    if (selectionModel() == nullptr) {
        return rows;
    }
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.append(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool CSortableList::viewportEvent(QEvent* event)
{
    // The cell's whole text, only where the column cuts it short.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid()) {
            const QString text = index.data().toString();
            const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
            if (fontMetrics().horizontalAdvance(text) + margin > visualRect(index).width()) {
                QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
                return true;
            }
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QTableView::viewportEvent(event);
}

void CSortableList::changeEvent(QEvent* event)
{
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FitRowHeight();
    }
}

void CSortableList::FitRowHeight()
{
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumSectionSize(1);
}

}  // namespace kotobane
