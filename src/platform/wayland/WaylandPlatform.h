#pragma once

#include <memory>

#include "platform/DesktopServices.h"

namespace kotobane {

// The desktop services of a native Wayland client, or null where Qt runs
// on another platform: hot keys through the desktop portal, the selection
// read directly (no copy synthesized), windows the compositor places.
// Needs the QGuiApplication.
std::unique_ptr<DesktopPlatform> CreateWaylandPlatform();

}  // namespace kotobane
