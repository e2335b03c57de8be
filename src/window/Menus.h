#pragma once

#include <QList>
#include <QString>

namespace kotobane {

// Commands of the popup, its menus and the tray icon.
enum ReadingCommand : int {
    ID_APP_ABOUT = 16,
    ID_HIDE = 1001,
    ID_MENU_BUTTON = 1003,
    ID_GET_READING = 1282,
    ID_RUNNING = 1283,
    ID_TRAY_MENU = 1284,
    ID_APP_EXIT = 32772,
    ID_OPTION = 32773,
    ID_HISTORY = 32776,
    ID_GET_TEXT = 32779,
};

struct MenuEntry {
    int command = 0;  // 0: a separator
    QString text;
    int image = -1;   // index into the five menu images, or -1
};

// The two pop-ups of the program's menu: 0 for the tray icon, 1 for the
// popup's menu button (without "Get text"). Their first item is the default.
QList<MenuEntry> MenuEntries(int position);

}  // namespace kotobane
