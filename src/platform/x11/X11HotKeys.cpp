#include "platform/x11/X11HotKeys.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QMetaObject>

#include <cerrno>
#include <cstdlib>
#include <iterator>

#include "core/ErrorCodes.h"
#include "platform/x11/VirtualKeys.h"
#include "platform/x11/X11Window.h"

// X headers after Qt's: their macros clash with Qt's names.
#include <xcb/xcb.h>

namespace kotobane {

namespace {

xcb_window_t Root(xcb_connection_t* c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// NumLock sits on Mod2 on every layout we know of; CapsLock is Lock. A grab
// is made for each combination of the two so the key works whatever their
// state.
constexpr quint16 kLockVariants[] = {
    0,
    XCB_MOD_MASK_LOCK,
    XCB_MOD_MASK_2,
    XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2,
};
constexpr quint16 kLockBits = XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2;

Q_LOGGING_CATEGORY(lcHotKeys, "kotobane.x11.hotkeys", QtWarningMsg)

// X reports a combination already grabbed by another client as BadAccess.
constexpr quint8 kBadAccess = 10;

quint16 XModifiers(HotKeyModifiers modifiers)
{
    quint16 mask = 0;
    if (HasModifier(modifiers, HotKeyModifiers::Alt)) {
        mask |= XCB_MOD_MASK_1;
    }
    if (HasModifier(modifiers, HotKeyModifiers::Control)) {
        mask |= XCB_MOD_MASK_CONTROL;
    }
    if (HasModifier(modifiers, HotKeyModifiers::Shift)) {
        mask |= XCB_MOD_MASK_SHIFT;
    }
    if (HasModifier(modifiers, HotKeyModifiers::Super)) {
        mask |= XCB_MOD_MASK_4;
    }
    return mask;
}

}  // namespace

X11HotKeys::X11HotKeys(xcb_connection_t* connection) : m_c(connection)
{ }

X11HotKeys::~X11HotKeys()
{
    while (!m_grabs.empty()) {
        UnregisterHotKey(m_grabs.begin()->first);
    }
    if (m_filterInstalled && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool X11HotKeys::RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 virtualKey)
{
    xcb_connection_t* c = m_c;
    if (m_grabs.count(id) != 0) {
        m_lastError = EEXIST;
        return false;
    }
    const quint32 keysym = KeysymFromVirtualKey(virtualKey);
    if (keysym == 0) {
        m_lastError = EINVAL;
        return false;
    }

    const xcb_keycode_t keycode = KeycodeForKeysym(c, keysym);
    if (keycode == XCB_NO_SYMBOL) {
        // The keyboard has no key producing this symbol.
        m_lastError = ENOENT;
        return false;
    }

    const Grab grab{keycode, XModifiers(modifiers)};
    const xcb_window_t root = Root(c);
    xcb_void_cookie_t cookies[std::size(kLockVariants)];
    for (size_t i = 0; i < std::size(kLockVariants); ++i) {
        cookies[i] = xcb_grab_key_checked(c, 1, root, grab.modifiers | kLockVariants[i], keycode, XCB_GRAB_MODE_ASYNC,
                                          XCB_GRAB_MODE_ASYNC);
    }
    // Collect every reply so that no error is left for Qt to report.
    quint8 failure = 0;
    for (const xcb_void_cookie_t& cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            const XcbReply<xcb_generic_error_t> owned(error);
            if (failure == 0) {
                failure = error->error_code;
            }
        }
    }
    if (failure != 0) {
        // Another program holds (part of) the combination. Releasing the
        // variants that did succeed is harmless: ungrabbing a combination
        // owned by someone else is ignored by the server.
        qCWarning(lcHotKeys) << "grab of key code" << keycode << "with modifiers" << grab.modifiers
                             << "refused with X error" << failure;
        Ungrab(grab);
        xcb_flush(c);
        m_lastError = failure == kBadAccess ? kErrorHotKeyAlreadyRegistered : EIO;
        return false;
    }

    if (!m_filterInstalled) {
        QCoreApplication::instance()->installNativeEventFilter(this);
        m_filterInstalled = true;
    }
    m_grabs[id] = grab;
    m_lastError = 0;
    return true;
}

void X11HotKeys::Ungrab(const Grab& grab)
{
    xcb_connection_t* c = m_c;
    const xcb_window_t root = Root(c);
    for (quint16 variant : kLockVariants) {
        xcb_ungrab_key(c, grab.keycode, root, grab.modifiers | variant);
    }
}

void X11HotKeys::UnregisterHotKey(int id)
{
    const auto it = m_grabs.find(id);
    if (it == m_grabs.end()) {
        return;
    }
    Ungrab(it->second);
    m_grabs.erase(it);
    xcb_flush(m_c);
}

quint32 X11HotKeys::GetLastError()
{
    return m_lastError;
}

bool X11HotKeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || m_grabs.empty()) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
    const quint16 state = press->state & ~kLockBits & 0xFF;
    for (const auto& [id, grab] : m_grabs) {
        if (grab.keycode != press->detail || grab.modifiers != state) {
            continue;
        }
        // While the key is held the passive grab is an active keyboard
        // grab, and the Ctrl+C we synthesize next would come back to us
        // instead of reaching the target window.
        xcb_ungrab_keyboard(m_c, XCB_CURRENT_TIME);
        xcb_flush(m_c);
        // Queued: the handler shows windows and sends keys, which is no
        // work for inside the event dispatch.
        QMetaObject::invokeMethod(
            this,
            [this, id = id] {
                if (m_handler) {
                    m_handler(id);
                }
            },
            Qt::QueuedConnection);
        return true;
    }
    return false;
}

}  // namespace kotobane
