#pragma once

#include <QDateTime>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "core/Commands.h"
#include "history/HistoryStore.h"
#include "history/HistoryTable.h"
#include "platform/SystemServices.h"
#include "settings/IniProfile.h"
#include "settings/Settings.h"

namespace kotobane {

// The history list's control id, also its key under "ListCtrls".
inline constexpr int kHistoryListId = 1015;
inline constexpr int kHistoryDateColumn = 2;
inline const QString kHistoryColumnSpec = QStringLiteral("Phrase,150;Reading,160;Date,120");

// Whether a command of the history window can run: Export needs two rows,
// Save unsaved deletions, Delete line and Copy a selection.
bool HistoryCommandEnabled(int command, int rowCount, int selectedCount, bool modified);

// The close sequence's question: true when the window goes on closing.
// Unsaved deletions ask "Save it before close?"; Yes saves, and a save that
// fails keeps the window open so that the rows are not lost with it.
bool ConfirmHistoryClose(bool modified, MessageBoxService& ui, const std::function<bool()>& save);

// The stored column widths of a list ("ListCtrls", the control id).
void StoreColumnWidths(const IniProfile& profile, int controlId, const QList<int>& widths);
std::optional<QList<int>> StoredColumnWidths(const IniProfile& profile, int controlId, int count);

// The file dialogs' filter, "name(pattern)|pattern|..." as Qt writes it.
QString QtFileFilter(const QString& filter);
inline const QString kHistoryFileFilter =
    QStringLiteral("タブ区切りテキストファイル(*.txt)|*.txt|カンマ区切りCSVファイル(*.CSV)|*.csv|");

// What the history window does with its rows and files, without widgets.
class HistoryDocument final {
public:
    HistoryDocument(HistoryTable& table, QString historyFile, MessageBoxService& ui);

    // The history file, newest first.
    bool Open();
    // Merges what other copies appended since Open() and writes the list
    // to the history file.
    bool Save();
    // Appends a file's rows at the end, unsorted; Modified stays.
    bool Import(const QString& path);
    bool Export(const QString& path);
    void DeleteRows(const QList<int>& rows);
    QStringList CopyLines(const QList<int>& rows) const { return m_table.LinesOf(rows); }

    // A look-up of this program appended record while the window is open:
    // it joins the list at its sorted place, and the save knows the line.
    void OnAppended(const HistoryRecord& record, ByteRange range);

    bool Modified() const { return m_modified; }

private:
    HistoryTable& m_table;
    QString m_path;
    MessageBoxService& m_ui;
    HistoryFileMark m_mark;
    bool m_modified = false;
};

// One tick of the automatic display, with the local time now. Clears
// HistoryDue and sets DispHis when the display is due now; opens the window
// only when the history file holds something.
void CheckHistoryDisplay(Settings& settings, const QDateTime& now, const QString& historyFile,
                         const std::function<void()>& openHistoryWindow);

}  // namespace kotobane
