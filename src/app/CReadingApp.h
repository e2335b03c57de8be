#pragma once

#include <QStringList>

namespace kotobane {

// The desktop program: loads the settings, makes sure one copy runs per
// desktop, runs the popup for the whole session and saves the settings at
// every orderly end. Returns the exit status.
int RunDesktop(const QStringList& arguments);
// Passes a control option (--get-text, --history, --options, --exit) to the
// running copy; 1 with a message on standard error when none runs.
int RunControl(const QStringList& arguments);

}  // namespace kotobane
