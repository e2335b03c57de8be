#include "history/HistoryWindowLogic.h"

#include <QFileInfo>

#include <utility>

namespace kotobane {

namespace {

const QString kListCtrls = QStringLiteral("ListCtrls");

}  // namespace

bool HistoryCommandEnabled(int command, int rowCount, int selectedCount, bool modified)
{
    switch (command) {
    case ID_HISTORY_EXPORT:
        return rowCount >= 2;
    case ID_FILE_SAVE:
        return modified;
    case ID_HISTORY_DELETE:
    case ID_EDIT_COPY:
        return selectedCount > 0;
    default:
        return true;
    }
}

bool ConfirmHistoryClose(bool modified, MessageBoxService& ui, const std::function<bool()>& save)
{
    if (!modified) {
        return true;
    }
    switch (ui.MessageBox(QStringLiteral("Save it before close?"), MB_YESNOCANCEL)) {
    case IDYES:
        return save();
    case IDNO:
        return true;
    default:
        return false;
    }
}

void StoreColumnWidths(const IniProfile& profile, int controlId, const QList<int>& widths)
{
    // A failed write loses only the widths; the next start uses the defaults.
    profile.WriteString(kListCtrls, QString::number(controlId), EncodeByteBlock(ColumnWidthsBlock(widths)));
}

std::optional<QList<int>> StoredColumnWidths(const IniProfile& profile, int controlId, int count)
{
    const QString letters = profile.GetString(kListCtrls, QString::number(controlId), QString());
    if (letters.isEmpty()) {
        return std::nullopt;
    }
    return ColumnWidthsFromBlock(DecodeByteBlock(letters), count);
}

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        // Qt takes the patterns from the last parentheses; the name keeps
        // its own text, shown alone when the dialog hides the details.
        entries.append(parts[i] + QStringLiteral(" (") + QString(parts[i + 1]).replace(u';', u' ') + u')');
    }
    return entries.join(QStringLiteral(";;"));
}

HistoryDocument::HistoryDocument(HistoryTable& table, QString historyFile, MessageBoxService& ui)
    : m_table(table),
      m_path(std::move(historyFile)),
      m_ui(ui)
{ }

bool HistoryDocument::Open()
{
    bool loaded = false;
    m_mark = HistoryFileMark();
    m_table.ChangeRows([&](HistoryRows& rows) { loaded = LoadHistory(rows, m_path, u'\t', false, m_ui, &m_mark); });
    m_table.SortBy(kHistoryDateColumn, false);
    return loaded;
}

bool HistoryDocument::Save()
{
    // Lines another copy appended since the load join the list where the
    // current sort puts them, so the rewrite keeps them.
    const bool saved = SaveHistoryFile(m_table.RowsForSave(), m_path, m_mark, m_ui, [this](const HistoryRecord& r) {
        m_table.InsertSorted({r.phrase, r.reading, r.date});
    });
    if (saved) {
        m_modified = false;
    }
    return saved;
}

bool HistoryDocument::Import(const QString& path)
{
    bool loaded = false;
    m_table.ChangeRows(
        [&](HistoryRows& rows) { loaded = LoadHistory(rows, path, SeparatorForFile(path), true, m_ui); });
    return loaded;
}

bool HistoryDocument::Export(const QString& path)
{
    const bool saved = SaveHistory(m_table.Rows(), path, SeparatorForFile(path), m_ui);
    if (saved) {
        m_modified = false;
    }
    return saved;
}

void HistoryDocument::DeleteRows(const QList<int>& rows)
{
    if (rows.isEmpty()) {
        return;
    }
    m_table.DeleteRows(rows);
    m_modified = true;
}

void HistoryDocument::OnAppended(const HistoryRecord& record, ByteRange range)
{
    m_table.InsertSorted({record.phrase, record.reading, record.date});
    m_mark.own.append(range);
}

void CheckHistoryDisplay(Settings& s, const QDateTime& now, const QString& historyFile,
                         const std::function<void()>& openHistoryWindow)
{
    if (!s.HistoryDue) {
        return;
    }
    if (!s.DispOnStart) {
        const QTime t = now.time();
        const QTime c = s.Clock.time();
        const int seconds = ((t.hour() - c.hour()) * 60 + (t.minute() - c.minute())) * 60 + (t.second() - c.second());
        if (seconds < 0) {
            return;
        }
    }
    s.HistoryDue = false;
    s.DispHis = now;
    const QFileInfo file(historyFile);
    if (file.exists() && file.size() != 0) {
        openHistoryWindow();
    }
}

}  // namespace kotobane
