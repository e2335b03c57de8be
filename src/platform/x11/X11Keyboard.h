#pragma once

#include "platform/SystemServices.h"

struct xcb_connection_t;

namespace kotobane {

// Synthesized key presses through the XTest extension.
class X11Keyboard final : public KeyboardService {
public:
    explicit X11Keyboard(xcb_connection_t* connection) : m_c(connection) { }
    void KeyEvent(quint8 virtualKey, quint8 scanCode, quint32 flags, quintptr extraInfo) override;

private:
    xcb_connection_t* m_c;
};

}  // namespace kotobane
