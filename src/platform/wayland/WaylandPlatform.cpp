#include "platform/wayland/WaylandPlatform.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <QWindow>

#include "platform/generic/QtClipboard.h"
#include "platform/wayland/PortalShortcuts.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcSelection, "kotobane.selection", QtWarningMsg)

const QString kNoPortalNotice =
    QStringLiteral("This desktop does not let programs set a global shortcut, so the hot key cannot work here.\n\n"
                   "To look up selected text with a key, add a custom shortcut in your desktop's keyboard settings "
                   "that runs:\n\nkotobane --get-text");

QWindow* WindowOf(Hwnd id)
{
    for (QWindow* w : QGuiApplication::topLevelWindows()) {
        if (Hwnd(w->winId()) == id) {
            return w;
        }
    }
    return nullptr;
}

// A Wayland client knows none of the other windows; it can only ask for
// the focus of its own.
class OwnWindows final : public DesktopWindows, public WindowService {
public:
    Hwnd GetForegroundWindow() override { return 0; }
    Hwnd NextBelow(Hwnd) override { return 0; }
    QString Title(Hwnd) override { return QString(); }
    bool IsVisible(Hwnd) override { return false; }
    bool HasParent(Hwnd) override { return false; }
    quint32 ShowState(Hwnd) override { return 0; }
    bool SetForegroundWindow(Hwnd window) override
    {
        QWindow* w = WindowOf(window);
        if (w == nullptr) {
            return false;
        }
        w->requestActivate();
        return true;
    }
};

class NoKeyboard final : public KeyboardService {
public:
    void KeyEvent(quint8, quint8, quint32, quintptr) override { }
};

// The compositor gives the selections to the focused client only, just
// before its keyboard focus: once the popup has the focus, Qt holds them.
class FocusSelection final : public SelectionReader {
public:
    QString SelectedText(Hwnd popup) override
    {
        QWindow* window = WindowOf(popup);
        if (window != nullptr && window->isVisible() && QGuiApplication::focusWindow() != window) {
            // Compositors give the focus to a window as it is mapped, not
            // to a program that asks without having had the user's input:
            // a popup left open behind another window is mapped again.
            window->hide();
            window->show();
        }
        if (window != nullptr && QGuiApplication::focusWindow() != window) {
            QEventLoop loop;
            QTimer::singleShot(kFocusWaitMs, &loop, &QEventLoop::quit);
            QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, &loop, [&loop, window](QWindow* w) {
                if (w == window) {
                    loop.quit();
                }
            });
            // Keys and clicks wait until the look-up is done.
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        QClipboard* clipboard = QGuiApplication::clipboard();
        QString text;
        if (clipboard->supportsSelection()) {
            text = clipboard->text(QClipboard::Selection);
        }
        qCInfo(lcSelection) << "focused:" << (QGuiApplication::focusWindow() == window)
                            << "primary:" << clipboard->supportsSelection() << "selection:" << text.size()
                            << "characters";
        return text.isEmpty() ? clipboard->text(QClipboard::Clipboard) : text;
    }

    // The focus came within 40 ms on the compositors tried; a compositor
    // that never gives it must not hold the look-up.
    static constexpr int kFocusWaitMs = 500;
};

class WaylandPlatform final : public DesktopPlatform {
public:
    DesktopWindows& Windows() override { return m_windows; }
    WindowService& Activation() override { return m_windows; }
    KeyboardService& Keyboard() override { return m_keyboard; }
    ClipboardService& Clipboard() override { return m_clipboard; }
    ClipboardWatch* OwnerWatch() override { return nullptr; }
    HotKeyService& HotKeys() override { return m_hotKeys; }
    SelectionReader* Selection() override { return &m_selection; }
    void KeepOffTaskbar(Hwnd, bool) override { }
    QString Limitation() const override { return m_hotKeys.Available() ? m_hotKeys.Conflict() : kNoPortalNotice; }
    void SetLateLimitationHandler(std::function<void(const QString&)> handler) override
    {
        if (!handler) {
            m_hotKeys.SetRefusalHandler(nullptr);
            return;
        }
        m_hotKeys.SetRefusalHandler([handler = std::move(handler)] { handler(kNoPortalNotice); });
    }
    bool Composited() const override { return true; }

private:
    OwnWindows m_windows;
    NoKeyboard m_keyboard;
    QtClipboard m_clipboard;
    PortalShortcuts m_hotKeys;
    FocusSelection m_selection;
};

}  // namespace

std::unique_ptr<DesktopPlatform> CreateWaylandPlatform()
{
    if (QGuiApplication::platformName() != QLatin1String("wayland")) {
        return nullptr;
    }
    return std::make_unique<WaylandPlatform>();
}

}  // namespace kotobane
