#include "platform/x11/X11Platform.h"

#include <QGuiApplication>

#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Window.h"

namespace kotobane {

namespace {

const QString kXWaylandNotice = QStringLiteral(
    "Kotobane runs as an X11 program in a Wayland session, so the hot key and the look-up work only while an "
    "X11 program has the focus.\n\nStart it without --platform xcb (and without QT_QPA_PLATFORM=xcb) to look up "
    "text in every program.");

// An X client of XWayland: the session's own programs are out of reach.
bool InWaylandSession()
{
    return !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

class X11Platform final : public DesktopPlatform {
public:
    explicit X11Platform(xcb_connection_t* c) : m_c(c), m_desktop(c), m_keyboard(c), m_clipboard(c), m_hotKeys(c) { }

    DesktopWindows& Windows() override { return m_desktop; }
    WindowService& Activation() override { return m_desktop; }
    KeyboardService& Keyboard() override { return m_keyboard; }
    ClipboardService& Clipboard() override { return m_clipboard; }
    ClipboardWatch* OwnerWatch() override { return &m_clipboard; }
    SelectionReader* Selection() override { return nullptr; }
    HotKeyService& HotKeys() override { return m_hotKeys; }
    void KeepOffTaskbar(Hwnd window, bool mapped) override { SetSkipTaskbar(m_c, std::uint32_t(window), mapped); }
    QString Limitation() const override { return InWaylandSession() ? kXWaylandNotice : QString(); }
    bool Composited() const override { return CompositorRunning(m_c); }

private:
    xcb_connection_t* m_c;
    X11Desktop m_desktop;
    X11Keyboard m_keyboard;
    X11Clipboard m_clipboard;
    X11HotKeys m_hotKeys;
};

}  // namespace

std::unique_ptr<DesktopPlatform> CreateX11Platform()
{
    xcb_connection_t* c = QtXcbConnection();
    if (c == nullptr) {
        return nullptr;
    }
    return std::make_unique<X11Platform>(c);
}

}  // namespace kotobane
