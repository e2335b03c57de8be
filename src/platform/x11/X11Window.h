#pragma once

class QWindow;

namespace kotobane {

// Whether this process talks to an X server (not Qt's offscreen or a
// Wayland platform); every X call checks this first.
bool HasX11Connection();

// Keeps a window out of the task bar and pager. Qt does not ask for this
// for tool windows, and the window manager drops the state on unmap, so it
// is set again before every show.
void SetSkipTaskbar(QWindow* window);

}  // namespace kotobane
