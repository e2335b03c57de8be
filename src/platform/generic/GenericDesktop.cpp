#include "platform/generic/GenericDesktop.h"

#include <QGuiApplication>

#include "platform/generic/QtClipboard.h"

namespace kotobane {

namespace {

class NoWindows final : public DesktopWindows, public WindowService {
public:
    Hwnd GetForegroundWindow() override { return 0; }
    Hwnd NextBelow(Hwnd) override { return 0; }
    QString Title(Hwnd) override { return QString(); }
    bool IsVisible(Hwnd) override { return false; }
    bool HasParent(Hwnd) override { return false; }
    quint32 ShowState(Hwnd) override { return 0; }
    bool SetForegroundWindow(Hwnd) override { return false; }
};

class NoKeyboard final : public KeyboardService {
public:
    void KeyEvent(quint8, quint8, quint32, quintptr) override { }
};

// The session's own shortcut settings can run "kotobane --get-text"; the
// user is told so once instead of once per hot key.
class NoHotKeys final : public HotKeyService {
public:
    bool RegisterHotKey(int, HotKeyModifiers, quint8) override { return true; }
    void UnregisterHotKey(int) override { }
    quint32 GetLastError() override { return 0; }
    void SetPressHandler(std::function<void(int)>) override { }
};

class GenericPlatform final : public DesktopPlatform {
public:
    explicit GenericPlatform(QString limitation) : m_limitation(std::move(limitation)) { }

    DesktopWindows& Windows() override { return m_windows; }
    WindowService& Activation() override { return m_windows; }
    KeyboardService& Keyboard() override { return m_keyboard; }
    ClipboardService& Clipboard() override { return m_clipboard; }
    ClipboardWatch* OwnerWatch() override { return nullptr; }
    SelectionReader* Selection() override { return nullptr; }
    HotKeyService& HotKeys() override { return m_hotKeys; }
    void KeepOffTaskbar(Hwnd, bool) override { }
    QString Limitation() const override { return m_limitation; }
    // A Wayland session is always composited; elsewhere nothing is known.
    bool Composited() const override { return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")); }

private:
    QString m_limitation;
    NoWindows m_windows;
    NoKeyboard m_keyboard;
    QtClipboard m_clipboard;
    NoHotKeys m_hotKeys;
};

}  // namespace

std::unique_ptr<DesktopPlatform> CreateGenericPlatform(const QString& limitation)
{
    return std::make_unique<GenericPlatform>(limitation);
}

}  // namespace kotobane
