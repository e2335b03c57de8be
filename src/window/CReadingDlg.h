#pragma once

#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include "chrome/CFlatButton.h"
#include "chrome/CRoundFrameEdit.h"
#include "history/CHistoryDlg.h"
#include "history/CResizeDlg.h"
#include "platform/DesktopServices.h"
#include "reading/ReadingEngine.h"
#include "settings/COptionSheet.h"
#include "settings/Settings.h"
#include "speech/SpeechEngine.h"
#include "window/CTrayIcon.h"
#include "window/Menus.h"
#include "window/ReadingWindowLogic.h"

namespace kotobane {

// Control identifiers of the popup.
enum ReadingControl {
    IDC_TEXT = 1014,
    IDC_LOOKUP = 1002,
    IDC_SPEAK = 1004,
    IDC_HIDE = 1001,
    IDC_MENU = 1003,
};

// What the popup needs from the rest of the program.
struct ReadingWindowServices {
    Settings& settings;
    const IniProfile& profile;
    ImeService& ime;
    const ImeCatalog& catalog;  // the back-ends found at start-up
    Clock& clock;
    MessageBoxService& ui;
    SpeechEngine& speech;
    DesktopPlatform& desktop;
};

// The always-on-top popup that shows a phrase and its reading. It starts
// hidden and appears only through ShowPopup(true).
class CReadingDlg final : public CResizeDlg {
    Q_OBJECT
public:
    explicit CReadingDlg(ReadingWindowServices services);
    ~CReadingDlg() override;

    // The initialisation sequence; run once before the event loop.
    void Initialise();
    // The destroy sequence: timer, hot key, placement.
    void Destroy();

    void ShowPopup(bool show);
    bool Shown() const { return m_shown; }

    // Puts text into the text box and shows the popup.
    void ShowText(const QString& text);
    // Puts text into the text box and fits the window to show it whole; the
    // size the user gave the window stays the one it returns to and stores.
    void SetText(const QString& text);
    void Speak();
    void ShowAbout();
    void ShowRunning();

    // A command of the buttons, the menus or the tray icon.
    void OnCommand(int command);
    // Pop-up 0 (tray) or 1 (menu button) at the cursor; carries out the
    // command chosen.
    void ShowMenu(int position);
    // The look-up, supplied by the application once its services exist.
    void SetLookUp(std::function<void()> lookUp) { m_lookUpHandler = std::move(lookUp); }
    CTrayIcon& Tray() { return m_tray; }
    // The history file, its appender and the clipboard, for the history
    // window and its automatic display; supplied by the application.
    void SetHistory(HistoryWindowServices history) { m_history = std::move(history); }
    // The History command: one window, run modally.
    void OpenHistory();
    // The Option command: one sheet, run modally without the hot keys.
    void OpenOptions();
    COptionSheet* OptionSheet() const { return m_sheet; }

    // The current alpha of the window (80 or 255).
    int Alpha() const { return m_alpha; }
    QPlainTextEdit* TextBox() const { return m_text; }
    CRoundedFlatButton* Button(int id) const;
    CReadingEngine& Engine() { return m_engine; }

    void setVisible(bool visible) override;

public Q_SLOTS:
    void accept() override;
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SetupButton(CRoundedFlatButton* button, const QString& icon, const QString& tooltip);
    // The hover fill, rest fill, border and icon colours from the settings.
    void ApplyButtonColours(CRoundedFlatButton* button);
    void ApplyColours();
    // What OK on the options sheet changed, in its order.
    void ApplyOptions();
    void ApplyAlpha(std::optional<int> alpha);
    void OnTimer();
    void RestorePlacement();
    void UpdateMask();
    void ShowSystemMenu(QPoint globalPos);
    HitArea HitAt(QPoint clientPos) const;
    void FitWindowToText();
    // Takes a move or resize that no fit asked for as the user's.
    void NoteUserGeometry(bool resized);

    ReadingWindowServices m_services;
    CRoundFrameEdit* m_text;
    CRoundedFlatButton* m_lookUp;
    CRoundedFlatButton* m_speak;
    CRoundedFlatButton* m_hide;
    CRoundedFlatButton* m_menu;
    CReadingEngine m_engine;
    QFont m_font;
    OpacityRule m_opacity;
    int m_alpha = OpacityRule::kOpaque;
    bool m_shown = false;
    PopupFrame m_frame;
    QSize m_chrome;  // the window's size less the text box's
    QRect m_home;  // where and how big the user made the window
    QRect m_fitted;  // the geometry the last fit asked for
    QTimer m_timer;
    CTrayIcon m_tray;
    std::function<void()> m_lookUpHandler;
    HistoryWindowServices m_history;
    QPointer<CHistoryDlg> m_historyWindow;
    QPointer<COptionSheet> m_sheet;
};

}  // namespace kotobane
