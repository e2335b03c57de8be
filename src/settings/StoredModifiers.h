#pragma once

#include <QtGlobal>

namespace kotobane {

// The hot-key control's modifier byte as the settings file stores it:
// 1 Shift, 2 Control, 4 Alt. A type of its own, so that the registration's
// flags (HotKeyModifiers, with Shift and Alt the other way round) cannot be
// taken for it. A value read from the file may hold other bits (8, the
// control's extended-key bit); they are kept as read.
enum class StoredModifiers : quint8 { None = 0, Shift = 1, Control = 2, Alt = 4 };

constexpr StoredModifiers operator|(StoredModifiers a, StoredModifiers b)
{
    return StoredModifiers(quint8(quint8(a) | quint8(b)));
}

constexpr bool HasModifier(StoredModifiers set, StoredModifiers modifier)
{
    return (quint8(set) & quint8(modifier)) != 0;
}

}  // namespace kotobane
