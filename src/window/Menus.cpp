#include "window/Menus.h"

namespace kotobane {

namespace {

MenuEntry Item(int command)
{
    switch (command) {
    case ID_GET_TEXT:
        return {command, QStringLiteral("&Get text"), 0};
    case ID_HISTORY:
        return {command, QStringLiteral("&History"), 1};
    case ID_OPTION:
        return {command, QStringLiteral("&Option"), 2};
    case ID_APP_ABOUT:
        return {command, QStringLiteral("About ..."), 3};
    case ID_APP_EXIT:
        return {command, QStringLiteral("&Exit"), 4};
    default:
        return {};
    }
}

}  // namespace

QList<MenuEntry> MenuEntries(int position)
{
    QList<int> commands;
    if (position == 0) {
        commands = {ID_GET_TEXT, ID_HISTORY, ID_OPTION, ID_APP_ABOUT, ID_APP_EXIT};
    } else if (position == 1) {
        commands = {ID_HISTORY, ID_OPTION, ID_APP_ABOUT, ID_APP_EXIT};
    }
    QList<MenuEntry> entries;
    for (int command : commands) {
        if (!entries.isEmpty()) {
            entries.append(MenuEntry{});
        }
        entries.append(Item(command));
    }
    return entries;
}

}  // namespace kotobane
