// Answers questions about the X desktop through the program's own window
// services, one per line on standard input:
//   target    the window a look-up would copy from, seen from our own window in front
//   activate  asks the window manager to activate the window of the last "target"
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <iostream>
#include <string>

#include "platform/desktop/DesktopChoice.h"
#include "window/GetTextFlow.h"

using namespace kotobane;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QWindow own;
    own.setTitle(QStringLiteral("desktop probe"));
    own.resize(200, 100);
    own.show();
    own.requestActivate();

    const std::unique_ptr<DesktopPlatform> platform = ChooseDesktopPlatform();
    DesktopWindows& desktop = platform->Windows();
    Hwnd last = 0;
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        std::string line;
        if (!std::getline(std::cin, line)) {
            app.quit();
            return;
        }
        if (line == "target") {
            last = FindTargetWindow(desktop, own.winId(), desktop.GetForegroundWindow());
            std::printf("foreground-own %d\n", int(desktop.GetForegroundWindow() == own.winId()));
            std::printf("target %s\n", last ? qPrintable(desktop.Title(last)) : "(none)");
            std::printf("id %lu\n", static_cast<unsigned long>(last));
        } else if (line == "activate") {
            std::printf("activate %d\n", int(platform->Activation().SetForegroundWindow(last)));
        } else if (line == "raise") {
            own.raise();
            own.requestActivate();
            std::printf("raised\n");
        }
        std::fflush(stdout);
    });
    return app.exec();
}
