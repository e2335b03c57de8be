#pragma once

#include <QStringList>

namespace kotobane {

// The desktop program: loads the settings, makes sure one copy runs per
// desktop, runs the popup for the whole session and saves the settings at
// every orderly end. Returns the exit status.
int RunDesktop(const QStringList& arguments);

// Messages of the single-instance channel.
inline constexpr int kRunningCommand = 1283;

}  // namespace kotobane
