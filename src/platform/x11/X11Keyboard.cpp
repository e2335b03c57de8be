#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Window.h"

#include <QGuiApplication>

#include <cstdlib>

#include "platform/x11/VirtualKeys.h"

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

namespace kotobane {

namespace {

}  // namespace

void X11Keyboard::KeyEvent(quint8 virtualKey, quint8, quint32 flags, quintptr)
{
    xcb_connection_t* c = QtXcbConnection();
    const quint32 keysym = KeysymFromVirtualKey(virtualKey);
    if (c == nullptr || keysym == 0) {
        return;
    }
    // Looked up each time: the user may switch keyboard layouts while the
    // program runs, and a copy chord is four events.
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    xcb_keycode_t* codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const xcb_keycode_t keycode = codes ? codes[0] : XCB_NO_SYMBOL;
    std::free(codes);
    if (symbols) {
        xcb_key_symbols_free(symbols);
    }
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
