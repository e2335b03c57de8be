#pragma once

#include "platform/DesktopServices.h"
#include "platform/SystemServices.h"

struct xcb_connection_t;

namespace kotobane {

// Top-level windows and activation through the window manager's EWMH
// properties; without a window manager, the input focus and the root's
// children.
class X11Desktop final : public DesktopWindows, public WindowService {
public:
    explicit X11Desktop(xcb_connection_t* connection) : m_c(connection) { }
    Hwnd GetForegroundWindow() override;
    Hwnd NextBelow(Hwnd window) override;
    QString Title(Hwnd window) override;
    bool IsVisible(Hwnd window) override;
    bool HasParent(Hwnd window) override;
    quint32 ShowState(Hwnd window) override;
    bool SetForegroundWindow(Hwnd window) override;

private:
    xcb_connection_t* m_c;
};

}  // namespace kotobane
