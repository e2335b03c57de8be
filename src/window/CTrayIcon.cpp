#include "window/CTrayIcon.h"

#include "window/Menus.h"

namespace kotobane {

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
}

CTrayIcon::~CTrayIcon()
{
    RemoveIcon();
}

bool CTrayIcon::Create(const QIcon& icon, const QString& tip, Command sendCommand)
{
    m_send = std::move(sendCommand);
    m_icon.setIcon(icon);
    m_icon.setToolTip(tip.left(63));
    m_icon.show();
    m_enabled = true;
    return true;
}

bool CTrayIcon::RemoveIcon()
{
    if (!m_enabled) {
        return false;
    }
    m_icon.hide();
    m_enabled = false;
    return true;
}

void CTrayIcon::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    int command = 0;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        command = ID_GET_READING;
        break;
    case QSystemTrayIcon::Context:
        command = ID_TRAY_MENU;
        break;
    default:
        // A double click has already sent its first press as Trigger.
        return;
    }
    // Sent once the icon's own event handling has returned: the command may
    // remove the icon (Exit from its menu), and the icon's window must not be
    // destroyed under its own handler.
    QMetaObject::invokeMethod(
        this,
        [this, command] {
            if (m_send) {
                m_send(command);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace kotobane
