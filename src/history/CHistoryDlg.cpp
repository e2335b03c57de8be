#include "history/CHistoryDlg.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScreen>

#include <memory>
#include <utility>

#include "core/DialogUnits.h"
#include "settings/FontMapping.h"

namespace kotobane {

namespace {

const QString kSettingsSection = QStringLiteral("Settings");
const QString kPlacementKey = QStringLiteral("DlgHistory");
// The menu bar follows the window's width like the list; it has no id of
// its own in the template.
constexpr int kMenuBarAnchorId = 51;

// The wait cursor for as long as the guard lives.
class WaitCursor final {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString AskPathWithDialog(QWidget* parent, bool save)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The names carry their patterns already.
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setNameFilter(QtFileFilter(kHistoryFileFilter));
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setWindowTitle(save ? QStringLiteral("Export") : QStringLiteral("Import"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}

}  // namespace

CHistoryDlg::CHistoryDlg(HistoryWindowServices services, QWidget* parent)
    : CResizeDlg(parent),
      m_services(std::move(services)),
      m_menuBar(new QMenuBar(this)),
      m_list(new CSortableList(this)),
      m_document(m_list->Table(), m_services.historyFile, *m_services.ui)
{
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("Kotobane History"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/128.svg")));
    setFont(TemplateFont());
    m_list->setObjectName(QStringLiteral("list"));

    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    AddCommand(file, ID_HISTORY_IMPORT, QStringLiteral("&Import"));
    AddCommand(file, ID_HISTORY_EXPORT, QStringLiteral("&Export"));
    AddCommand(file, ID_FILE_SAVE, QStringLiteral("&Save\tCtrl+S"), QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    AddCommand(file, ID_FILE_CLOSE, QStringLiteral("&Close"));
    QMenu* edit = m_menuBar->addMenu(QStringLiteral("&Edit"));
    AddCommand(edit, ID_HISTORY_DELETE, QStringLiteral("&Delete line\tCtrl+Delete"),
               QKeySequence(Qt::CTRL | Qt::Key_Delete));
    edit->addSeparator();
    AddCommand(edit, ID_EDIT_COPY, QStringLiteral("&Copy\tCtrl+C"), QKeySequence(Qt::CTRL | Qt::Key_C));
    QMenu* view = m_menuBar->addMenu(QStringLiteral("&View"));
    AddCommand(view, ID_HISTORY_FONT, QStringLiteral("Font ..."));
    for (QMenu* menu : {file, edit, view}) {
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { UpdateMenu(menu); });
        // The accelerators stay live; OnCommand applies the rules to them.
        connect(menu, &QMenu::aboutToHide, this, [menu] {
            for (QAction* action : menu->actions()) {
                action->setEnabled(true);
            }
        });
    }

    // Template 131 below the menu bar, which Qt puts into the client area.
    const int menuHeight = m_menuBar->sizeHint().height();
    const QRect client = DialogToPixels(QRect(0, 0, 169, 210));
    resize(client.width(), client.height() + menuHeight);
    m_menuBar->setGeometry(0, 0, client.width(), menuHeight);
    m_list->setGeometry(DialogToPixels(QRect(1, 0, 167, 202)).translated(0, menuHeight));

    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QWidget::customContextMenuRequested, this,
            [this](QPoint pos) { ShowContextMenu(m_list->viewport()->mapToGlobal(pos)); });

    askPath = [this](bool save) { return AskPathWithDialog(this, save); };
    askFont = [this](const QFont& current) -> std::optional<QFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, current, this, QStringLiteral("Font"));
        return ok ? std::optional<QFont>(chosen) : std::nullopt;
    };
}

CHistoryDlg::~CHistoryDlg()
{
    if (m_services.appender != nullptr) {
        m_services.appender->SetAppendedHandler(nullptr);
    }
}

QAction* CHistoryDlg::AddCommand(QMenu* menu, int command, const QString& text, const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(text);
    action->setData(command);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Ctrl+C must reach the window rather than the list's own copy.
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    m_actions.insert(command, action);
    return action;
}

void CHistoryDlg::Initialise()
{
    InitResizeBase();

    m_list->SetColumns(kHistoryColumnSpec);
    m_list->DeleteAllRows();
    const bool restored = m_list->RestoreColumnWidths(*m_services.profile, kHistoryListId);
    Settings& s = *m_services.settings;
    if (s.HistoryFont) {
        m_list->setFont(ToQFont(*s.HistoryFont));
    }
    if (!restored) {
        // The widths were made for a small proportional font; in the
        // history font a date would be cut short until the user widened it.
        m_list->FitColumnTo(kHistoryDateColumn, HistoryDate(QDateTime(QDate(2000, 12, 28), QTime(20, 48, 48))));
    }

    m_document.Open();
    if (m_services.appender != nullptr) {
        m_services.appender->SetAppendedHandler(
            [this](const HistoryRecord& record, ByteRange range) { m_document.OnAppended(record, range); });
    }

    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    SetResizable(screen.width(), screen.height());
    AddAnchor(m_list, kHistoryListId, Stretch, Stretch, Stretch, Stretch, NoErase, -1.0, -1.0, -1.0, -1.0);
    AddAnchor(m_menuBar, kMenuBarAnchorId, Stretch, Stretch, Keep, Keep, NoErase, -1.0, -1.0, -1.0, -1.0);
    RestorePlacement();
    m_list->setFocus();
}

bool CHistoryDlg::CommandEnabled(int command) const
{
    return HistoryCommandEnabled(command, m_list->Table().rowCount(), int(m_list->SelectedRows().size()),
                                 m_document.Modified());
}

void CHistoryDlg::UpdateMenu(QMenu* menu) const
{
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            action->setEnabled(CommandEnabled(action->data().toInt()));
        }
    }
}

void CHistoryDlg::OnCommand(int command)
{
    if (!CommandEnabled(command)) {
        return;
    }
    switch (command) {
    case ID_HISTORY_IMPORT:
        ImportOrExport(false);
        break;
    case ID_HISTORY_EXPORT:
        ImportOrExport(true);
        break;
    case ID_FILE_SAVE: {
        WaitCursor wait;
        m_document.Save();
        break;
    }
    case ID_FILE_CLOSE:
        reject();
        break;
    case ID_HISTORY_DELETE:
        DeleteLines();
        break;
    case ID_EDIT_COPY:
        Copy();
        break;
    case ID_HISTORY_FONT:
        ChooseFont();
        break;
    default:
        break;
    }
}

void CHistoryDlg::ImportOrExport(bool save)
{
    const QString path = askPath(save);
    if (path.isEmpty()) {
        return;
    }
    WaitCursor wait;
    if (save) {
        m_document.Export(path);
    } else {
        m_document.Import(path);
    }
}

void CHistoryDlg::DeleteLines()
{
    const QList<int> rows = m_list->SelectedRows();
    if (rows.isEmpty()) {
        return;
    }
    WaitCursor wait;
    m_document.DeleteRows(rows);
    m_list->viewport()->repaint();
}

void CHistoryDlg::Copy()
{
    const QList<int> rows = m_list->SelectedRows();
    if (rows.isEmpty()) {
        return;
    }
    WaitCursor wait;
    const QStringList lines = m_document.CopyLines(rows);
    if (!lines.isEmpty() && m_services.clipboard != nullptr) {
        m_services.clipboard->WriteClipboardText(lines);
    }
}

void CHistoryDlg::ChooseFont()
{
    Settings& s = *m_services.settings;
    const LogFont base = s.HistoryFont.value_or(LogFont());
    const std::optional<QFont> chosen = askFont(s.HistoryFont ? ToQFont(*s.HistoryFont) : m_list->font());
    if (!chosen) {
        return;
    }
    s.HistoryFont = FromQFont(*chosen, base);
    m_list->setFont(ToQFont(*s.HistoryFont));
}

void CHistoryDlg::ShowContextMenu(QPoint globalPos)
{
    QMenu menu(this);
    const auto add = [&](int command) {
        // The menu bar's text, shortcut column included, without a live
        // shortcut of its own.
        QAction* action = menu.addAction(m_actions.value(command)->text());
        action->setData(command);
        action->setEnabled(CommandEnabled(command));
    };
    add(ID_EDIT_COPY);
    menu.addSeparator();
    add(ID_HISTORY_DELETE);
    menu.addSeparator();
    add(ID_HISTORY_FONT);
    if (QAction* chosen = menu.exec(globalPos)) {
        OnCommand(chosen->data().toInt());
    }
}

void CHistoryDlg::reject()
{
    if (!ConfirmHistoryClose(m_document.Modified(), *m_services.ui, [this] { return m_document.Save(); })) {
        return;
    }
    m_list->SaveColumnWidths(*m_services.profile, kHistoryListId);
    StorePlacement();
    done(QDialog::Rejected);
}

void CHistoryDlg::keyPressEvent(QKeyEvent* event)
{
    // Escape and Enter mean nothing to this window; keys go to the list.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        return;
    default:
        CResizeDlg::keyPressEvent(event);
    }
}

bool CHistoryDlg::focusNextPrevChild(bool)
{
    // Tab does not move the focus: the list is the window's one control.
    return true;
}

void CHistoryDlg::RestorePlacement()
{
    WindowPlacement p;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (ReadWindowPlacement(*m_services.profile, kSettingsSection, kPlacementKey, p)
        && PlacementFitsScreen(p, screen.size())) {
        setGeometry(p.left, p.top, p.right - p.left, p.bottom - p.top);
        if (p.showCmd == SW_SHOWMAXIMIZED) {
            setWindowState(windowState() | Qt::WindowMaximized);
        }
        return;
    }
    m_centre = true;
    Centre();
}

void CHistoryDlg::Centre()
{
    QRect frame = frameGeometry();
    frame.moveCenter(QGuiApplication::primaryScreen()->geometry().center());
    move(frame.topLeft());
}

void CHistoryDlg::showEvent(QShowEvent* event)
{
    CResizeDlg::showEvent(event);
    // The frame is known only once the window is shown.
    if (std::exchange(m_centre, false)) {
        Centre();
    }
}

void CHistoryDlg::StorePlacement()
{
    const bool maximised = isMaximized();
    const QRect normal = maximised && normalGeometry().isValid() ? normalGeometry() : geometry();
    if (const std::optional<WindowPlacement> p = PlacementToStore(normal, maximised, isMinimized())) {
        WriteWindowPlacement(*m_services.profile, kSettingsSection, kPlacementKey, *p);
    }
}

void OpenHistoryWindow(QPointer<CHistoryDlg>& current, const HistoryWindowServices& services, QWidget* owner)
{
    if (current != nullptr) {
        if (current->isMinimized()) {
            current->showNormal();
        }
        current->raise();
        current->activateWindow();
        return;
    }
    // Known as the open window before anything else runs, so that a request
    // arriving meanwhile does not make a second one.
    auto window = std::make_unique<CHistoryDlg>(services);
    current = window.get();
    {
        // A big history takes a moment to load: the wait cursor shows first.
        WaitCursor wait;
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        window->Initialise();
    }
    window->setWindowModality(Qt::ApplicationModal);
    if (owner != nullptr) {
        owner->setEnabled(false);
    }
    window->exec();
    if (owner != nullptr) {
        owner->setEnabled(true);
    }
    window.reset();
}

bool CloseHistoryWindowForExit(CHistoryDlg* current)
{
    if (current == nullptr || !current->isVisible()) {
        return true;
    }
    current->reject();
    return !current->isVisible();
}

}  // namespace kotobane
