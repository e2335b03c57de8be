#pragma once

#include <QtGlobal>

namespace kotobane {

// Stored hot keys and synthesized input keep Windows virtual-key codes so
// settings files stay compatible; X speaks keysyms. Both directions give 0
// for a key without a counterpart. Letters map to the lower-case keysym,
// which is what the keyboard mapping lists first for the unshifted key.
quint32 KeysymFromVirtualKey(quint8 virtualKey);
quint8 VirtualKeyFromKeysym(quint32 keysym);

}  // namespace kotobane
