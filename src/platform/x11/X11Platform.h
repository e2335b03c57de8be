#pragma once

#include <memory>

#include "platform/DesktopServices.h"

namespace kotobane {

// The X11 services over Qt's own connection, or null when this process is
// not an X client (Qt's offscreen or a Wayland platform).
std::unique_ptr<DesktopPlatform> CreateX11Platform();

}  // namespace kotobane
