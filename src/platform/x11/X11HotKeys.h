#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QtGlobal>

#include <map>
#include <vector>

#include "platform/DesktopServices.h"

namespace kotobane {

// System-wide hot keys as passive key grabs on the X root window. Outside
// an X session (offscreen, Wayland) every registration fails with ENOTSUP
// and no X call is made.
class X11HotKeys : public QObject, public HotKeyService, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit X11HotKeys(QObject* parent = nullptr);
    ~X11HotKeys() override;

    bool RegisterHotKey(int id, quint32 modifiers, quint8 virtualKey) override;
    void UnregisterHotKey(int id) override;
    quint32 GetLastError() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void HotKeyPressed(int id);

private:
    struct Grab {
        quint8 keycode = 0;
        quint16 modifiers = 0;  // X modifier mask, without the lock bits
    };
    void Ungrab(const Grab& grab);

    std::map<int, Grab> grabs_;
    quint32 lastError_ = 0;
    bool filterInstalled_ = false;
};

}  // namespace kotobane
