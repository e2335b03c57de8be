#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>
#include <optional>

#include "core/WindowId.h"
#include "platform/SystemServices.h"

namespace kotobane {

// The desktop's top-level windows, as far as the look-up needs them.
class DesktopWindows {
public:
    virtual ~DesktopWindows() = default;
    virtual Hwnd GetForegroundWindow() = 0;
    // The next window below in the stacking order, or 0 at the bottom.
    virtual Hwnd NextBelow(Hwnd window) = 0;
    virtual QString Title(Hwnd window) = 0;
    virtual bool IsVisible(Hwnd window) = 0;
    virtual bool HasParent(Hwnd window) = 0;
    // 0 hidden, 1 normal, 2 shown minimised, 3 maximised, 6 minimised ...
    virtual quint32 ShowState(Hwnd window) = 0;
};

// The modifiers of a hot-key registration: 1 Alt, 2 Control, 4 Shift,
// 8 Super. A type of its own, so that the stored form (StoredModifiers of
// the settings, with Shift and Alt the other way round) cannot be passed
// for it.
enum class HotKeyModifiers : quint32 { None = 0, Alt = 1, Control = 2, Shift = 4, Super = 8 };

constexpr HotKeyModifiers operator|(HotKeyModifiers a, HotKeyModifiers b)
{
    return HotKeyModifiers(quint32(a) | quint32(b));
}

constexpr bool HasModifier(HotKeyModifiers set, HotKeyModifiers modifier)
{
    return (quint32(set) & quint32(modifier)) != 0;
}

// System-wide key combinations delivered to the program.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    // virtualKey: a Windows virtual-key code.
    virtual bool RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 virtualKey) = 0;
    virtual void UnregisterHotKey(int id) = 0;
    virtual quint32 GetLastError() = 0;
    // Called on the user-interface thread, outside the event dispatch, with
    // the identifier of a registered combination that was pressed.
    virtual void SetPressHandler(std::function<void(int id)> handler) = 0;
    // Where the desktop owns the keys (a shortcut portal): what it says
    // the first hot key is, "" for none yet; nullopt where the stored
    // setting is the key.
    virtual std::optional<QString> DesktopTrigger() const { return std::nullopt; }
    // Opens the desktop's own shortcut settings; false where there are none
    // to open.
    virtual bool OpenShortcutSettings() { return false; }
    // Whether OpenShortcutSettings can open them.
    virtual bool HasShortcutSettings() const { return false; }
};

// The text the user selected in another program, read directly: where
// no program can be made to copy (Wayland), the look-up reads it here.
class SelectionReader {
public:
    virtual ~SelectionReader() = default;
    // The selection (PRIMARY), or the clipboard's text when nothing is
    // selected, "" when neither holds text. popup is our window, already
    // asked to come to the front: where the compositor gives the selection
    // only to the focused window, the read waits for its focus, never long.
    // Nothing is written to either selection.
    virtual QString SelectedText(Hwnd popup) = 0;
};

// The desktop services of one session, chosen once at start: what the
// look-up, the hot keys and the popup need of the windowing system.
class DesktopPlatform {
public:
    virtual ~DesktopPlatform() = default;
    virtual DesktopWindows& Windows() = 0;
    virtual WindowService& Activation() = 0;
    virtual KeyboardService& Keyboard() = 0;
    virtual ClipboardService& Clipboard() = 0;
    // Null where the session cannot tell when the clipboard changes owner.
    virtual ClipboardWatch* OwnerWatch() = 0;
    virtual HotKeyService& HotKeys() = 0;
    // Null where the look-up copies the selection through the clipboard.
    virtual SelectionReader* Selection() = 0;
    // Keeps one of our top-level windows out of the task bar and pager;
    // mapped tells whether it is shown right now.
    virtual void KeepOffTaskbar(Hwnd window, bool mapped) = 0;
    // What the user should be told once because this session cannot look
    // up the selection, or "" where it can.
    virtual QString Limitation() const = 0;
    // Called, at most once, with what the user should be told when the
    // session finds out only later what it cannot do (a shortcut portal
    // that refuses its session).
    // NOLINTNEXTLINE(performance-unnecessary-value-param): overriders keep it
    virtual void SetLateLimitationHandler(std::function<void(const QString&)>) { }
    // Whether a compositing manager blends translucent windows with what
    // lies behind them right now.
    virtual bool Composited() const = 0;
};

}  // namespace kotobane
