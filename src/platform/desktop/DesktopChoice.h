#pragma once

#include <memory>

#include "platform/DesktopServices.h"

namespace kotobane {

// The desktop services of this session, chosen once at start: Wayland's
// where this process is a Wayland client, X11 where it is an X client,
// otherwise a set that does nothing and says so through Limitation().
// Needs the QGuiApplication.
std::unique_ptr<DesktopPlatform> ChooseDesktopPlatform();

}  // namespace kotobane
