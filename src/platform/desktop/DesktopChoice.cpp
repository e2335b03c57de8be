#include "platform/desktop/DesktopChoice.h"

#include <QGuiApplication>
#include <QLoggingCategory>

#include "platform/generic/GenericDesktop.h"
#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcPlatform, "kotobane.platform", QtWarningMsg)

const QString kNoX11Notice = QStringLiteral(
    "The global hot key and the capture of selected text need an X11 session, and this one has none.\n\n"
    "The popup, the tray icon and the menus work as usual, and \"kotobane --get-text\" can be bound to a "
    "shortcut in your desktop's keyboard settings; with XWayland installed, start Kotobane with DISPLAY set "
    "so that it can capture text from X11 applications.");

}  // namespace

std::unique_ptr<DesktopPlatform> ChooseDesktopPlatform()
{
    if (std::unique_ptr<DesktopPlatform> wayland = CreateWaylandPlatform()) {
        qCInfo(lcPlatform) << "desktop services: Wayland";
        return wayland;
    }
    if (std::unique_ptr<DesktopPlatform> x11 = CreateX11Platform()) {
        qCInfo(lcPlatform) << "desktop services: X11";
        return x11;
    }
    qCInfo(lcPlatform) << "desktop services: none on" << QGuiApplication::platformName();
    return CreateGenericPlatform(kNoX11Notice);
}

}  // namespace kotobane
