#pragma once

#include <QString>

namespace kotobane {

struct ProfilePaths {
    QString settingsFile;  // Kotobane.ini
    QString historyFile;  // Kotobane.txt
};

// Where the settings and history files live: the given directory when
// there is one; beside the executable when a Kotobane.ini stands there
// (a portable installation); otherwise the user's configuration and data
// directories. Nothing is created here.
ProfilePaths ResolveProfilePaths(const QString& executableDir, const QString& profileDir);

}  // namespace kotobane
