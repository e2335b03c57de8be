#pragma once

#include <QByteArray>
#include <QString>

namespace kotobane {

// The desktop session starts what the autostart folder lists: the entry's
// existence is the setting, so nothing of it goes into Kotobane.ini.

// $XDG_CONFIG_HOME/autostart/<application id>.desktop; an unset, empty or
// relative XDG_CONFIG_HOME means HOME/.config.
QString AutostartFilePath(const QString& xdgConfigHome, const QString& home);
// The same for this process's environment.
QString AutostartFilePath();

// One argument of an Exec key, before the key's string escapes: in double
// quotes when it holds a character the key reserves, with a backslash
// before each ", `, $ and backslash inside; and every % doubled.
QString QuoteExecArgument(const QString& argument);

// The Exec value that starts program again as this copy was started: with
// --profile-dir and the directory made absolute when profileDir is given.
QString AutostartExec(const QString& program, const QString& profileDir);

// The whole entry for that Exec value, UTF-8, the string escapes applied.
QByteArray AutostartEntry(const QString& exec);

bool AutostartEnabled(const QString& path);

// Writes the entry (the folders made, 0700 as the base-directory rules ask)
// or removes it; an entry already gone is no error. "" when done, else
// "error on write PATH" or "error on delete PATH", a line break and why.
QString SetAutostart(const QString& path, bool on, const QString& exec);

}  // namespace kotobane
