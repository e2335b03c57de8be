#include "platform/x11/X11Window.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace kotobane {

xcb_connection_t* QtXcbConnection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        return nullptr;
    }
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t InternAtom(xcb_connection_t* c, const char* name)
{
    const XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

std::uint8_t KeycodeForKeysym(xcb_connection_t* c, std::uint32_t keysym)
{
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
    const XcbReply<xcb_keycode_t> codes(symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr);
    const xcb_keycode_t keycode = codes ? codes.get()[0] : xcb_keycode_t(XCB_NO_SYMBOL);
    if (symbols) {
        xcb_key_symbols_free(symbols);
    }
    return keycode;
}

void SetSkipTaskbar(xcb_connection_t* c, std::uint32_t window, bool mapped)
{
    const xcb_window_t id = window;
    const xcb_atom_t state = InternAtom(c, "_NET_WM_STATE");
    const xcb_atom_t wanted[] = {InternAtom(c, "_NET_WM_STATE_SKIP_TASKBAR"),
                                 InternAtom(c, "_NET_WM_STATE_SKIP_PAGER")};

    if (mapped) {
        // A mapped window asks the window manager.
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = id;
        event.type = state;
        event.data.data32[0] = 1;  // add
        event.data.data32[1] = wanted[0];
        event.data.data32[2] = wanted[1];
        event.data.data32[3] = 1;  // from an application
        xcb_send_event(c, 0, screen->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        // An unmapped window carries the state in its property; the atoms
        // Qt puts there itself (above, modal …) are kept.
        std::vector<xcb_atom_t> atoms;
        const XcbReply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(c, xcb_get_property(c, 0, id, state, XCB_ATOM_ATOM, 0, 64), nullptr));
        if (reply && reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
            const auto* data = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
            atoms.assign(data, data + xcb_get_property_value_length(reply.get()) / 4);
        }
        for (const xcb_atom_t atom : wanted) {
            if (std::find(atoms.begin(), atoms.end(), atom) == atoms.end()) {
                atoms.push_back(atom);
            }
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.data());
    }
    xcb_flush(c);
}

bool CompositorRunning(xcb_connection_t* connection)
{
    const xcb_get_selection_owner_cookie_t cookie =
        xcb_get_selection_owner(connection, InternAtom(connection, "_NET_WM_CM_S0"));
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(connection, cookie, nullptr);
    const bool owned = reply != nullptr && reply->owner != XCB_WINDOW_NONE;
    free(reply);
    return owned;
}

}  // namespace kotobane
