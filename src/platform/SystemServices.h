#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

#include "core/MessageBoxService.h"
#include "core/WindowId.h"

namespace kotobane {

// Blocking waits of the user-interface thread.
class Clock {
public:
    virtual ~Clock() = default;
    virtual void Sleep(int milliseconds) = 0;
};

// The clipboard as the capture needs it: opened and closed around each use.
class ClipboardService {
public:
    virtual ~ClipboardService() = default;
    virtual bool Open() = 0;
    virtual void Close() = 0;
    // Unicode text held by the clipboard, as its owner sent it.
    virtual std::optional<QString> UnicodeText() = 0;
    // 8-bit legacy text held by the clipboard (no Unicode form offered).
    virtual std::optional<QByteArray> AnsiText() = 0;
    virtual bool Empty() = 0;
    // Places a block of UTF-16 units (zero-terminated) as Unicode text.
    virtual bool SetUnicodeText(const QByteArray& block) = 0;
    virtual quint32 GetLastError() = 0;
};

inline constexpr quint32 KEYEVENTF_KEYUP = 2;

// Tells when the clipboard gets a new owner, so that a capture need not
// guess how long the other application takes to copy.
class ClipboardWatch {
public:
    virtual ~ClipboardWatch() = default;
    // Forgets earlier changes; call before asking for the copy. False when
    // no change can be seen (no connection, no way to watch the owner).
    virtual bool BeginOwnerWatch() = 0;
    // Waits at least minMs and at most maxMs for a change since the call
    // above; returns whether one came.
    virtual bool WaitForOwnerChange(int minMs, int maxMs) = 0;
};

// Synthesized keyboard input, with Windows virtual-key codes.
class KeyboardService {
public:
    virtual ~KeyboardService() = default;
    virtual void KeyEvent(quint8 virtualKey, quint8 scanCode, quint32 flags, quintptr extraInfo) = 0;
};

class WindowService {
public:
    virtual ~WindowService() = default;
    virtual bool SetForegroundWindow(Hwnd window) = 0;
};

}  // namespace kotobane
