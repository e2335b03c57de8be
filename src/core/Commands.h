#pragma once

namespace kotobane {

// Commands of the popup, its menus and the tray icon; 1282 is also the
// command a stored hot key carries.
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

}  // namespace kotobane
