#pragma once

namespace kotobane {

// The program's reverse-DNS application id: the name of its desktop file,
// AppStream component, icon and autostart entry, and what the desktop's
// portals and tray know it by.
inline constexpr char kAppId[] = "io.github.kotobane.Kotobane";

}  // namespace kotobane
