#pragma once

#include <QString>

#include <memory>

#include "platform/DesktopServices.h"

namespace kotobane {

// The desktop services of a session we cannot drive (Wayland without
// XWayland, Qt's offscreen platform): no windows to copy from, no keys to
// send, hot keys that are accepted and never pressed. The clipboard is
// still written through Qt. limitation is what the user is told once.
std::unique_ptr<DesktopPlatform> CreateGenericPlatform(const QString& limitation);

}  // namespace kotobane
