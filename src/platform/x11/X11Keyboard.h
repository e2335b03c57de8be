#pragma once

#include "platform/SystemServices.h"

namespace kotobane {

// Synthesized key presses through the XTest extension. Without an X
// connection (offscreen, Wayland) key events are dropped.
class X11Keyboard : public KeyboardService {
public:
    void KeyEvent(quint8 virtualKey, quint8 scanCode, quint32 flags, quintptr extraInfo) override;
};

}  // namespace kotobane
