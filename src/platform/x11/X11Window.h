#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

struct xcb_connection_t;

namespace kotobane {

// A reply or event of xcb, which the caller owns and frees with free().
struct FreeXcb {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using XcbReply = std::unique_ptr<T, FreeXcb>;

// Qt's own connection to the X server, or null off X (offscreen, Wayland).
// Asked once, when the platform is chosen; the services then keep it.
xcb_connection_t* QtXcbConnection();
// The atom of name, or XCB_ATOM_NONE (0).
std::uint32_t InternAtom(xcb_connection_t* connection, const char* name);
// The first key code that produces keysym on the current keyboard map, or 0
// when no key does. Looked up each time: the user may switch layouts while
// the program runs.
std::uint8_t KeycodeForKeysym(xcb_connection_t* connection, std::uint32_t keysym);

// Keeps a window out of the task bar and pager. Qt does not ask for this
// for tool windows, and the window manager drops the state on unmap, so it
// is set again before every show.
void SetSkipTaskbar(xcb_connection_t* connection, std::uint32_t window, bool mapped);

// A compositing manager owns the _NET_WM_CM_S0 selection while it runs.
bool CompositorRunning(xcb_connection_t* connection);

}  // namespace kotobane
