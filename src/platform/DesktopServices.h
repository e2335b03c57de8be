#pragma once

#include <QString>
#include <QtGlobal>

#include "platform/ImeService.h"

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

// System-wide key combinations delivered to the program.
class HotKeyService {
public:
    virtual ~HotKeyService() = default;
    // modifiers: 1 Alt, 2 Control, 4 Shift, 8 Super; virtualKey a Windows
    // virtual-key code.
    virtual bool RegisterHotKey(int id, quint32 modifiers, quint8 virtualKey) = 0;
    virtual void UnregisterHotKey(int id) = 0;
    virtual quint32 GetLastError() = 0;
};

}  // namespace kotobane
