#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGlobal>

#include <functional>
#include <map>

#include "platform/DesktopServices.h"

struct xcb_connection_t;

namespace kotobane {

// System-wide hot keys as passive key grabs on the X root window.
class X11HotKeys final : public QObject, public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11HotKeys)
public:
    explicit X11HotKeys(xcb_connection_t* connection);
    ~X11HotKeys() override;

    bool RegisterHotKey(int id, HotKeyModifiers modifiers, quint8 virtualKey) override;
    void UnregisterHotKey(int id) override;
    quint32 GetLastError() override;
    void SetPressHandler(std::function<void(int id)> handler) override { m_handler = std::move(handler); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;  // X modifier mask, without the lock bits
    };
    void Ungrab(const Grab& grab);

    xcb_connection_t* m_c;
    std::map<int, Grab> m_grabs;
    std::function<void(int)> m_handler;
    quint32 m_lastError = 0;
    bool m_filterInstalled = false;
};

}  // namespace kotobane
