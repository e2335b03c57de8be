#include "platform/x11/VirtualKeys.h"

#include <array>
#include <utility>

namespace kotobane {

namespace {

// Keysym values from X11/keysymdef.h, spelled out so that this file needs
// no X headers and stays usable without a display.
constexpr std::pair<quint8, quint32> kSingleKeys[] = {
    {0x08, 0xFF08},  // BACK → BackSpace
    {0x09, 0xFF09},  // TAB → Tab
    {0x0D, 0xFF0D},  // RETURN → Return
    {0x10, 0xFFE1},  // SHIFT → Shift_L
    {0x11, 0xFFE3},  // CONTROL → Control_L
    {0x12, 0xFFE9},  // MENU → Alt_L
    {0x13, 0xFF13},  // PAUSE → Pause
    {0x1B, 0xFF1B},  // ESCAPE → Escape
    {0x20, 0x0020},  // SPACE → space
    {0x21, 0xFF55},  // PRIOR → Prior
    {0x22, 0xFF56},  // NEXT → Next
    {0x23, 0xFF57},  // END → End
    {0x24, 0xFF50},  // HOME → Home
    {0x25, 0xFF51},  // LEFT → Left
    {0x26, 0xFF52},  // UP → Up
    {0x27, 0xFF53},  // RIGHT → Right
    {0x28, 0xFF54},  // DOWN → Down
    {0x2C, 0xFF61},  // SNAPSHOT → Print
    {0x2D, 0xFF63},  // INSERT → Insert
    {0x2E, 0xFFFF},  // DELETE → Delete
    {0x5B, 0xFFEB},  // LWIN → Super_L
    {0x6A, 0xFFAA},  // MULTIPLY → KP_Multiply
    {0x6B, 0xFFAB},  // ADD → KP_Add
    {0x6C, 0xFFAC},  // SEPARATOR → KP_Separator
    {0x6D, 0xFFAD},  // SUBTRACT → KP_Subtract
    {0x6E, 0xFFAE},  // DECIMAL → KP_Decimal
    {0x6F, 0xFFAF},  // DIVIDE → KP_Divide
    // Punctuation keys as they sit on a US layout.
    {0xBA, 0x003B},  // OEM_1 → semicolon
    {0xBB, 0x003D},  // OEM_PLUS → equal
    {0xBC, 0x002C},  // OEM_COMMA → comma
    {0xBD, 0x002D},  // OEM_MINUS → minus
    {0xBE, 0x002E},  // OEM_PERIOD → period
    {0xBF, 0x002F},  // OEM_2 → slash
    {0xC0, 0x0060},  // OEM_3 → grave
    {0xDB, 0x005B},  // OEM_4 → bracketleft
    {0xDC, 0x005C},  // OEM_5 → backslash
    {0xDD, 0x005D},  // OEM_6 → bracketright
    {0xDE, 0x0027},  // OEM_7 → apostrophe
};

// Contiguous runs: first virtual key, last virtual key, first keysym.
struct Range {
    quint8 first;
    quint8 last;
    quint32 keysym;
};
constexpr Range kRanges[] = {
    {0x30, 0x39, 0x0030},  // 0–9
    {0x41, 0x5A, 0x0061},  // A–Z → a–z
    {0x60, 0x69, 0xFFB0},  // NUMPAD0–9 → KP_0–KP_9
    {0x70, 0x87, 0xFFBE},  // F1–F24
};

}  // namespace

quint32 KeysymFromVirtualKey(quint8 virtualKey)
{
    for (const Range& r : kRanges) {
        if (virtualKey >= r.first && virtualKey <= r.last) {
            return r.keysym + (virtualKey - r.first);
        }
    }
    for (const auto& [vk, keysym] : kSingleKeys) {
        if (vk == virtualKey) {
            return keysym;
        }
    }
    return 0;
}

quint8 VirtualKeyFromKeysym(quint32 keysym)
{
    if (keysym == 0) {
        return 0;
    }
    for (const Range& r : kRanges) {
        if (keysym >= r.keysym && keysym <= r.keysym + quint32(r.last - r.first)) {
            return quint8(r.first + (keysym - r.keysym));
        }
    }
    // An upper-case letter keysym names the same key.
    if (keysym >= 0x41 && keysym <= 0x5A) {
        return quint8(keysym);
    }
    for (const auto& [vk, sym] : kSingleKeys) {
        if (sym == keysym) {
            return vk;
        }
    }
    return 0;
}

}  // namespace kotobane
