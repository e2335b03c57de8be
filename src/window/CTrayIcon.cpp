#include "window/CTrayIcon.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

#include "chrome/IconShape.h"
#include "window/Menus.h"

namespace kotobane {

QIcon TrayIconFor(const QIcon& program, const QPalette& palette)
{
    if (palette.color(QPalette::Window).lightness() >= 128) {
        return program;
    }
    // The sizes panels ask for; 22, the X11 tray slot, is the glyph's own
    // grid, and 44 the same at scale 2.
    const QIcon glyph(QStringLiteral(":/icons/tray.svg"));
    const QColor colour = palette.color(QPalette::WindowText);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 44, 48, 64}) {
        icon.addPixmap(IconShape(glyph, QSize(size, size), 1.0, colour));
    }
    return icon;
}

CTrayIcon::CTrayIcon(QObject* parent) : QObject(parent)
{
    connect(&m_icon, &QSystemTrayIcon::activated, this, &CTrayIcon::OnActivated);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
}

CTrayIcon::~CTrayIcon()
{
    RemoveIcon();
}

bool CTrayIcon::Create(const QIcon& icon, const QString& tip, Command sendCommand)
{
    m_send = std::move(sendCommand);
    m_program = icon;
    m_icon.setIcon(TrayIconFor(icon, QGuiApplication::palette()));
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

bool CTrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange
        && !m_program.isNull()) {
        m_icon.setIcon(TrayIconFor(m_program, QGuiApplication::palette()));
    }
    return QObject::eventFilter(watched, event);
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
