#include "platform/x11/X11Desktop.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/x11/X11Window.h"

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>

namespace kotobane {

namespace {

constexpr quint32 kHidden = 0, kNormal = 1, kMaximised = 3, kMinimised = 6;
constexpr int kMaxTitle = 255;

xcb_window_t Root(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

using Property = XcbReply<xcb_get_property_reply_t>;

Property GetProperty(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type, uint32_t words)
{
    return Property(xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, words), nullptr));
}

std::vector<uint32_t> Words(xcb_connection_t* c, xcb_window_t w, const char* property, xcb_atom_t type,
                            uint32_t max = 4096)
{
    const Property reply = GetProperty(c, w, InternAtom(c, property), type, max);
    if (!reply || reply->format != 32 || reply->type != type) {
        return {};
    }
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

bool HasWindowManager(xcb_connection_t* c)
{
    return !Words(c, Root(c), "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, 1).empty();
}

// Bottom to top, as the window manager stacks the clients; without one,
// the root's children in their stacking order.
std::vector<uint32_t> StackingOrder(xcb_connection_t* c)
{
    std::vector<uint32_t> list = Words(c, Root(c), "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
    if (!list.empty() || HasWindowManager(c)) {
        return list;
    }
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, Root(c)), nullptr));
    if (tree) {
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        list.assign(children, children + xcb_query_tree_children_length(tree.get()));
    }
    return list;
}

// Our own windows (message boxes, the options sheet) and docks, desktops
// or menus are never a place to copy from.
bool IsCandidate(xcb_connection_t* c, xcb_window_t w)
{
    const std::vector<uint32_t> pid = Words(c, w, "_NET_WM_PID", XCB_ATOM_CARDINAL, 1);
    if (!pid.empty() && qint64(pid[0]) == QCoreApplication::applicationPid()) {
        return false;
    }
    const std::vector<uint32_t> types = Words(c, w, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, 16);
    if (types.empty()) {
        return true;
    }
    const xcb_atom_t normal = InternAtom(c, "_NET_WM_WINDOW_TYPE_NORMAL");
    const xcb_atom_t dialog = InternAtom(c, "_NET_WM_WINDOW_TYPE_DIALOG");
    for (uint32_t t : types) {
        if (t == normal || t == dialog) {
            return true;
        }
    }
    return false;
}

}  // namespace

Hwnd X11Desktop::GetForegroundWindow()
{
    xcb_connection_t* c = m_c;
    const std::vector<uint32_t> active = Words(c, Root(c), "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, 1);
    if (!active.empty()) {
        return active[0];
    }
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == Root(c)) {
        return 0;
    }
    return focus->focus;
}

Hwnd X11Desktop::NextBelow(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return 0;
    }
    const std::vector<uint32_t> order = StackingOrder(c);
    std::size_t at = order.size();
    for (std::size_t i = 0; i < order.size(); ++i) {
        if (order[i] == window) {
            at = i;
            break;
        }
    }
    // A window the list does not hold (an untitled child that had the focus):
    // the walk starts at the top.
    while (at-- > 0) {
        if (IsCandidate(c, order[at])) {
            return order[at];
        }
    }
    return 0;
}

QString X11Desktop::Title(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return QString();
    }
    QString title;
    const xcb_atom_t utf8 = InternAtom(c, "UTF8_STRING");
    Property name = GetProperty(c, xcb_window_t(window), InternAtom(c, "_NET_WM_NAME"), utf8, 1024);
    if (name && name->type == utf8 && name->format == 8) {
        title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                                  xcb_get_property_value_length(name.get()));
    } else {
        name = GetProperty(c, xcb_window_t(window), XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 1024);
        if (name && name->format == 8) {
            const auto* bytes = static_cast<const char*>(xcb_get_property_value(name.get()));
            const int length = xcb_get_property_value_length(name.get());
            title = name->type == XCB_ATOM_STRING ? QString::fromLatin1(bytes, length)
                                                  : QString::fromLocal8Bit(bytes, length);
        }
    }
    return title.left(kMaxTitle);
}

bool X11Desktop::IsVisible(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return false;
    }
    XcbReply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(window)), nullptr));
    return attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
}

bool X11Desktop::HasParent(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return false;
    }
    const Property owner = GetProperty(c, xcb_window_t(window), XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 1);
    if (!owner || owner->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(owner.get()) < 4) {
        return false;
    }
    const uint32_t parent = *static_cast<const uint32_t*>(xcb_get_property_value(owner.get()));
    return parent != XCB_NONE && parent != Root(c);
}

quint32 X11Desktop::ShowState(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return kHidden;
    }
    const xcb_window_t w = xcb_window_t(window);
    const xcb_atom_t wmState = InternAtom(c, "WM_STATE");
    const std::vector<uint32_t> icccm = Words(c, w, "WM_STATE", wmState, 2);
    constexpr uint32_t kIconicState = 3;
    if (!icccm.empty() && icccm[0] == kIconicState) {
        return kMinimised;
    }
    bool maximised = false;
    const xcb_atom_t hidden = InternAtom(c, "_NET_WM_STATE_HIDDEN");
    const xcb_atom_t maxV = InternAtom(c, "_NET_WM_STATE_MAXIMIZED_VERT");
    const xcb_atom_t maxH = InternAtom(c, "_NET_WM_STATE_MAXIMIZED_HORZ");
    for (uint32_t s : Words(c, w, "_NET_WM_STATE", XCB_ATOM_ATOM, 32)) {
        if (s == hidden) {
            return kMinimised;
        }
        maximised = maximised || s == maxV || s == maxH;
    }
    if (!IsVisible(window)) {
        return kHidden;
    }
    return maximised ? kMaximised : kNormal;
}

bool X11Desktop::SetForegroundWindow(Hwnd window)
{
    xcb_connection_t* c = m_c;
    if (window == 0) {
        return false;
    }
    const xcb_window_t w = xcb_window_t(window);
    if (HasWindowManager(c)) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = w;
        event.type = InternAtom(c, "_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 2;  // from a pager: honoured without a user time stamp
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, Root(c), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
    } else {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, w, XCB_CURRENT_TIME);
    }
    xcb_flush(c);
    return true;
}

}  // namespace kotobane
