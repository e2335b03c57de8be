#include "platform/x11/X11Keyboard.h"

#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11Window.h"

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace kotobane {

void X11Keyboard::KeyEvent(quint8 virtualKey, quint8, quint32 flags, quintptr)
{
    xcb_connection_t* c = m_c;
    const quint32 keysym = KeysymFromVirtualKey(virtualKey);
    if (keysym == 0) {
        return;
    }
    const xcb_keycode_t keycode = KeycodeForKeysym(c, keysym);
    if (keycode == XCB_NO_SYMBOL) {
        return;
    }
    const quint8 type = (flags & KEYEVENTF_KEYUP) ? XCB_KEY_RELEASE : XCB_KEY_PRESS;
    xcb_test_fake_input(c, type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    // The target reads the keys while we wait; they must not sit in our
    // output buffer meanwhile.
    xcb_flush(c);
}

}  // namespace kotobane
