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

// Commands of the history window (menu 132, accelerators 133), the same
// numbers in one list with the popup's so that none is taken twice.
enum HistoryCommand : int {
    ID_HISTORY_IMPORT = 32774,
    ID_HISTORY_EXPORT = 32775,
    ID_HISTORY_DELETE = 32777,
    ID_HISTORY_FONT = 32778,
    ID_FILE_CLOSE = 57602,
    ID_FILE_SAVE = 57603,
    ID_EDIT_COPY = 57634,
};

}  // namespace kotobane
