#include "platform/x11/X11Clipboard.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <thread>

#include <poll.h>

#include "platform/x11/X11Window.h"

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace kotobane {

namespace {

// Unicode targets, best first; the MIME name is what some toolkits offer
// when they do not offer UTF8_STRING.
const char* const kUnicodeTargets[] = {"UTF8_STRING", "text/plain;charset=utf-8"};
const char* const kAnsiTargets[] = {"STRING"};

Q_LOGGING_CATEGORY(lcClipboard, "kotobane.x11.clipboard", QtWarningMsg)

}  // namespace

struct X11Clipboard::Connection {
    xcb_connection_t* c = nullptr;
    xcb_window_t window = XCB_WINDOW_NONE;
    xcb_atom_t clipboard = XCB_ATOM_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t incr = XCB_ATOM_NONE;
    uint8_t xfixesFirstEvent = 0;
    bool hasXfixes = false;
    bool watching = false;
    bool ownerChanged = false;

    ~Connection()
    {
        if (c != nullptr) {
            if (window != XCB_WINDOW_NONE) {
                xcb_destroy_window(c, window);
                xcb_flush(c);
            }
            xcb_disconnect(c);
        }
    }

    bool Broken() const { return xcb_connection_has_error(c) != 0; }

    // Notes an owner change; true when the event was one.
    bool NoteOwnerChange(const xcb_generic_event_t* event)
    {
        if (!hasXfixes || (event->response_type & 0x7f) != xfixesFirstEvent + XCB_XFIXES_SELECTION_NOTIFY) {
            return false;
        }
        const auto* notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event);
        if (notify->selection == clipboard) {
            ownerChanged = true;
        }
        return true;
    }

    // The next event before the deadline, or null.
    XcbReply<xcb_generic_event_t> Next(Clock::time_point deadline)
    {
        for (;;) {
            if (XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
                NoteOwnerChange(event.get());
                return event;
            }
            if (Broken()) {
                return nullptr;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) {
                return nullptr;
            }
            pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
            if (poll(&fd, 1, int(left)) < 0 && errno != EINTR) {
                return nullptr;
            }
        }
    }

    // Drops what is queued, so that an answer to an earlier request that
    // came too late is not taken for the answer to the next one.
    void Drain()
    {
        while (const XcbReply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            NoteOwnerChange(event.get());
        }
    }

    // Reads and deletes our property; deleting it is also what lets an
    // incremental owner send its next chunk.
    bool TakeProperty(QByteArray& data, xcb_atom_t& type)
    {
        const XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, UINT32_MAX / 4), nullptr));
        if (!reply) {
            return false;
        }
        type = reply->type;
        const int bytes = xcb_get_property_value_length(reply.get());
        data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), bytes);
        xcb_flush(c);
        return true;
    }
};

X11Clipboard::X11Clipboard(xcb_connection_t* qt) : m_qt(qt)
{ }
X11Clipboard::~X11Clipboard() = default;

bool X11Clipboard::EnsureConnection()
{
    if (m_x && !m_x->Broken()) {
        return true;
    }
    m_x.reset();
    auto x = std::make_unique<Connection>();
    int screenNumber = 0;
    x->c = xcb_connect(nullptr, &screenNumber);
    if (x->Broken()) {
        qCWarning(lcClipboard) << "cannot open a connection to the X server for clipboard reads";
        m_lastError = ECONNREFUSED;
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(x->c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_screen_t* screen = screens.data;
    if (screen == nullptr) {
        m_lastError = ECONNREFUSED;
        return false;
    }

    x->window = xcb_generate_id(x->c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(x->c, XCB_COPY_FROM_PARENT, x->window, screen->root, -1, -1, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    x->clipboard = InternAtom(x->c, "CLIPBOARD");
    x->property = InternAtom(x->c, "KOTOBANE_SELECTION");
    x->incr = InternAtom(x->c, "INCR");

    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(x->c, &xcb_xfixes_id);
    if (ext != nullptr && ext->present) {
        // The extension answers nothing before its version is asked.
        const XcbReply<xcb_xfixes_query_version_reply_t> version(xcb_xfixes_query_version_reply(
            x->c, xcb_xfixes_query_version(x->c, XCB_XFIXES_MAJOR_VERSION, XCB_XFIXES_MINOR_VERSION), nullptr));
        if (version) {
            x->hasXfixes = true;
            x->xfixesFirstEvent = ext->first_event;
            xcb_xfixes_select_selection_input(x->c, x->window, x->clipboard,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER);
        }
    }
    xcb_flush(x->c);
    if (x->Broken() || x->clipboard == XCB_ATOM_NONE || x->property == XCB_ATOM_NONE) {
        m_lastError = ECONNREFUSED;
        return false;
    }
    m_x = std::move(x);
    return true;
}

bool X11Clipboard::OwnedByUs() const
{
    // Asked of the server, not of Qt: while a capture blocks the event loop,
    // Qt has not yet heard that another client took the clipboard and still
    // calls it ours. A window is ours when its id lies in the resource range
    // the server gave Qt's connection.
    if (!m_x) {
        return false;
    }
    const XcbReply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(m_x->c, xcb_get_selection_owner(m_x->c, m_x->clipboard), nullptr));
    const xcb_window_t owner = reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
    const xcb_setup_t* setup = xcb_get_setup(m_qt);
    return owner != XCB_WINDOW_NONE
           && (owner & ~setup->resource_id_mask) == (setup->resource_id_base & ~setup->resource_id_mask);
}

bool X11Clipboard::Open()
{
    // Writing needs only Qt; without the private connection the reads fail
    // with the connection's error.
    m_writer.Open();
    m_open = true;
    m_ownerHung = false;
    m_lastError = 0;
    if (EnsureConnection()) {
        m_x->Drain();
    }
    return true;
}

void X11Clipboard::Close()
{
    m_writer.Close();
    m_open = false;
}

std::optional<QByteArray> X11Clipboard::Fetch(const char* const* targets, int count)
{
    if (!m_open) {
        m_lastError = EBADF;
        return std::nullopt;
    }
    if (!m_x) {
        return std::nullopt;  // the error of the failed connection stays
    }
    if (m_ownerHung) {
        m_lastError = ETIMEDOUT;
        return std::nullopt;
    }
    Connection& x = *m_x;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(ReadTimeoutMs);

    const XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(x.c, xcb_get_selection_owner(x.c, x.clipboard), nullptr));
    const xcb_window_t ownerWindow = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    if (ownerWindow == XCB_WINDOW_NONE) {
        m_lastError = ENODATA;
        return std::nullopt;
    }

    for (int i = 0; i < count; ++i) {
        const xcb_atom_t target = InternAtom(x.c, targets[i]);
        x.Drain();
        xcb_delete_property(x.c, x.window, x.property);
        xcb_convert_selection(x.c, x.window, x.clipboard, target, x.property, XCB_CURRENT_TIME);
        xcb_flush(x.c);

        switch (AwaitConversion(target, deadline)) {
        case Conversion::Refused:
            continue;  // the next target may be given
        case Conversion::Failed:
            return std::nullopt;
        case Conversion::Given:
            return TakeConversion(deadline);
        }
    }
    m_lastError = ENODATA;
    return std::nullopt;
}

X11Clipboard::Conversion X11Clipboard::AwaitConversion(xcb_atom_t target, Clock::time_point deadline)
{
    Connection& x = *m_x;
    for (;;) {
        const XcbReply<xcb_generic_event_t> event = x.Next(deadline);
        if (!event) {
            qCWarning(lcClipboard) << "the clipboard's owner did not answer within" << ReadTimeoutMs << "ms";
            m_ownerHung = !x.Broken();
            m_lastError = x.Broken() ? ECONNRESET : ETIMEDOUT;
            return Conversion::Failed;
        }
        if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY) {
            continue;
        }
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event.get());
        const bool ours = notify->requestor == x.window && notify->selection == x.clipboard && notify->target == target;
        const bool given = notify->property != XCB_ATOM_NONE;
        if (!ours) {
            continue;
        }
        return given ? Conversion::Given : Conversion::Refused;
    }
}

std::optional<QByteArray> X11Clipboard::TakeConversion(Clock::time_point deadline)
{
    QByteArray data;
    xcb_atom_t type = XCB_ATOM_NONE;
    if (!m_x->TakeProperty(data, type)) {
        m_lastError = EPROTO;
        return std::nullopt;
    }
    if (type != m_x->incr) {
        return data;
    }
    return TakeIncrements(deadline);
}

std::optional<QByteArray> X11Clipboard::TakeIncrements(Clock::time_point deadline)
{
    // Large text comes in chunks: each new value of the property is one, and
    // an empty one ends it.
    Connection& x = *m_x;
    QByteArray data;
    xcb_atom_t type = XCB_ATOM_NONE;
    QByteArray whole;
    for (;;) {
        const XcbReply<xcb_generic_event_t> next = x.Next(deadline);
        if (!next) {
            m_ownerHung = !x.Broken();
            m_lastError = x.Broken() ? ECONNRESET : ETIMEDOUT;
            return std::nullopt;
        }
        const auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(next.get());
        const bool chunk = (next->response_type & 0x7f) == XCB_PROPERTY_NOTIFY && property->window == x.window
                           && property->atom == x.property && property->state == XCB_PROPERTY_NEW_VALUE;
        if (!chunk) {
            continue;
        }
        if (!x.TakeProperty(data, type)) {
            m_lastError = EPROTO;
            return std::nullopt;
        }
        if (data.isEmpty()) {
            return whole;
        }
        whole += data;
    }
}

std::optional<QString> X11Clipboard::OwnText()
{
    // Our own text is served by Qt's event loop, which is not running while
    // we wait here; ask Qt for it directly.
    std::optional<QString> text = QtClipboard::HeldText();
    if (!text) {
        m_lastError = ENODATA;
    }
    return text;
}

std::optional<QString> X11Clipboard::UnicodeText()
{
    if (m_open && OwnedByUs()) {
        return OwnText();
    }
    const std::optional<QByteArray> bytes = Fetch(kUnicodeTargets, int(std::size(kUnicodeTargets)));
    if (!bytes) {
        return std::nullopt;
    }
    return QString::fromUtf8(*bytes);
}

std::optional<QByteArray> X11Clipboard::AnsiText()
{
    if (m_open && OwnedByUs()) {
        const std::optional<QString> text = OwnText();
        return text ? std::optional<QByteArray>(text->toLatin1()) : std::nullopt;
    }
    return Fetch(kAnsiTargets, int(std::size(kAnsiTargets)));
}

bool X11Clipboard::Empty()
{
    return m_writer.Empty();
}

bool X11Clipboard::SetUnicodeText(const QByteArray& block)
{
    if (!m_writer.SetUnicodeText(block)) {
        m_lastError = m_writer.GetLastError();
        return false;
    }
    return true;
}

quint32 X11Clipboard::GetLastError()
{
    return m_lastError;
}

bool X11Clipboard::BeginOwnerWatch()
{
    if (!EnsureConnection() || !m_x->hasXfixes) {
        return false;
    }
    // A round trip brings in every notification the server sent so far;
    // those are older than the copy about to happen.
    const XcbReply<xcb_get_input_focus_reply_t> roundTrip(
        xcb_get_input_focus_reply(m_x->c, xcb_get_input_focus(m_x->c), nullptr));
    m_x->Drain();
    m_x->ownerChanged = false;
    m_x->watching = true;
    return true;
}

bool X11Clipboard::WaitForOwnerChange(int minMs, int maxMs)
{
    maxMs = std::max(maxMs, 0);
    minMs = std::clamp(minMs, 0, maxMs);
    const Clock::time_point start = Clock::now();
    const Clock::time_point earliest = start + std::chrono::milliseconds(minMs);
    const Clock::time_point latest = start + std::chrono::milliseconds(maxMs);
    if (!m_x || m_x->Broken() || !m_x->watching) {
        // Nothing to wait for: the usual wait, not the whole bound.
        std::this_thread::sleep_until(earliest);
        return false;
    }
    Connection& x = *m_x;
    while (!x.ownerChanged) {
        if (!x.Next(latest)) {
            break;
        }
    }
    if (!x.ownerChanged) {
        return false;
    }
    std::this_thread::sleep_until(earliest);
    return true;
}

}  // namespace kotobane
