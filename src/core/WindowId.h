#pragma once

#include <QtGlobal>

namespace kotobane {

// An opaque top-level window handle of the desktop; 0 is "no window".
using Hwnd = quintptr;

}  // namespace kotobane
