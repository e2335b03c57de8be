#pragma once

#include <QList>
#include <QString>

#include <functional>

#include "history/HistoryStore.h"
#include "platform/DesktopServices.h"
#include "reading/TextGrabber.h"
#include "settings/Settings.h"

namespace kotobane {

struct LookupText;

// The stored modifiers (1 Shift, 2 Control, 4 Alt) as the registration's
// (4 Shift, 2 Control, 1 Alt); other bits pass as they are.
HotKeyModifiers RegistrationModifiers(StoredModifiers stored);

// Registers every entry under its position + 1, showing one message per
// entry that fails, and skips cleared (0/0) and invalid entries without a
// word; or unregisters them all, ignoring failures.
void RegisterHotKeys(HotKeyService& hotKeys, MessageBoxService& ui, const QList<HotKeyEntry>& entries, bool reg);

// The window to copy from: the given one when it is another titled window,
// else the first titled, visible, top-level, not minimised window below it
// that is not the popup; 0 when there is none.
Hwnd FindTargetWindow(DesktopWindows& desktop, Hwnd popup, Hwnd window);

// What the look-up needs of the popup.
struct PopupAccess {
    Hwnd window = 0;
    std::function<void(const QString&)> setText;
    std::function<void(bool)> showPopup;
};

// The get-text command: capture, reading, popup and history.
class GetTextFlow final {
    Q_DISABLE_COPY_MOVE(GetTextFlow)
public:
    GetTextFlow(DesktopWindows& desktop, WindowService& windows, TextGrabber& grabber, Clock& clock,
                std::function<QString(const QString&)> getReading, HistoryAppender& history, PopupAccess popup);

    // Where the session lets the selection be read directly (Wayland), the
    // look-up reads it there: no copy is synthesized, no keys need to be
    // released first and the clipboard stays as the user left it.
    void SetSelectionReader(SelectionReader* reader) { m_selection = reader; }

    void LookUp();
    // A hot key with its registration identifier.
    void OnHotKey(int id, const QList<HotKeyEntry>& entries);
    // "kotobane --get-text", typically bound to a desktop shortcut: the keys
    // of that shortcut may still be down, so it waits like a hot key does.
    void OnGetTextRequest();

    static constexpr int kHotKeyWaitMs = 300;

private:
    DesktopWindows& m_desktop;
    WindowService& m_windows;
    TextGrabber& m_grabber;
    Clock& m_clock;
    std::function<QString(const QString&)> m_getReading;
    HistoryAppender& m_history;
    PopupAccess m_popup;
    SelectionReader* m_selection = nullptr;
    bool m_reading = false;

    void LookUpSelection();
    void Record(const LookupText& text);
    void WaitForKeysUp();
};

}  // namespace kotobane
