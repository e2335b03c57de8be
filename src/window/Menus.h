#pragma once

#include <QList>
#include <QString>

#include "core/Commands.h"

namespace kotobane {

struct MenuEntry {
    int command = 0;  // 0: a separator
    QString text;
    int image = -1;  // index into the five menu images, or -1
};

// The two pop-ups of the program's menu: 0 for the tray icon, 1 for the
// popup's menu button (without "Get text"). Their first item is the default.
QList<MenuEntry> MenuEntries(int position);

}  // namespace kotobane
