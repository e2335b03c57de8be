#pragma once

#include <QFont>
#include <QHash>
#include <QMenuBar>
#include <QPointer>

#include <functional>
#include <optional>

#include "history/CResizeDlg.h"
#include "history/CSortableList.h"
#include "history/HistoryStore.h"
#include "history/HistoryWindowLogic.h"
#include "reading/TextGrabber.h"
#include "settings/Settings.h"

class QAction;
class QMenu;

namespace kotobane {

// What the history window needs from the rest of the program.
struct HistoryWindowServices {
    Settings* settings = nullptr;
    const IniProfile* profile = nullptr;
    MessageBoxService* ui = nullptr;
    QString historyFile;
    HistoryAppender* appender = nullptr;  // look-ups made while the window is open
    TextGrabber* clipboard = nullptr;  // Copy writes through it
};

// The history window: the look-ups, newest first, with commands to save,
// delete, copy, import, export and pick the list's font.
class CHistoryDlg final : public CResizeDlg {
    Q_OBJECT
public:
    explicit CHistoryDlg(HistoryWindowServices services, QWidget* parent = nullptr);
    ~CHistoryDlg() override;

    // The initialisation sequence: columns, font, the history file, the
    // newest-first sort, anchors and the stored placement.
    void Initialise();

    void OnCommand(int command);
    bool CommandEnabled(int command) const;
    // Gives every item of menu its enable state from the rules.
    void UpdateMenu(QMenu* menu) const;
    void ShowContextMenu(QPoint globalPos);

    CSortableList* List() const { return m_list; }
    HistoryDocument& Document() { return m_document; }
    QMenuBar* MenuBar() const { return m_menuBar; }
    QAction* Action(int command) const { return m_actions.value(command); }

    // The file dialogs and the font dialog; replaceable for tests. An empty
    // path or no font means the user cancelled.
    std::function<QString(bool save)> askPath;
    std::function<std::optional<QFont>(const QFont& current)> askFont;

public Q_SLOTS:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, int command, const QString& text, const QKeySequence& shortcut = {});
    void ImportOrExport(bool save);
    void DeleteLines();
    void Copy();
    void ChooseFont();
    void RestorePlacement();
    void StorePlacement();
    void Centre();

    HistoryWindowServices m_services;
    QMenuBar* m_menuBar;
    CSortableList* m_list;
    HistoryDocument m_document;
    QHash<int, QAction*> m_actions;
    bool m_centre = false;  // no stored placement: centred at the first show
};

// At most one history window: an open one is raised and activated;
// otherwise one is made, run modally with owner disabled meanwhile and
// destroyed when it closes. current tracks the open window.
void OpenHistoryWindow(QPointer<CHistoryDlg>& current, const HistoryWindowServices& services, QWidget* owner);
// Before the program ends: an open window goes through its close sequence,
// so that unsaved deletions are asked about. False when it stays open (the
// user cancelled, or the save failed) and the program should go on.
bool CloseHistoryWindowForExit(CHistoryDlg* current);

}  // namespace kotobane
