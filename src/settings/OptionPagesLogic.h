#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

#include "settings/LogFont.h"
#include "settings/StoredModifiers.h"

namespace kotobane {

// The list and combo boxes' select-by-text rule: the first item, searching
// from the second one to the end and then the first, whose text begins with
// text, case ignored; -1 when none does or text is empty.
int SelectByPrefix(const QStringList& items, const QString& text);

// "face  size": the point size of lfHeight at dpi dots per inch, rounded to
// the nearest integer, negated (a cell height shows as a negative size).
QString FontDescription(const LogFont& font, int dpi);

// A hot key as the settings store it: the control's modifier byte and a
// Windows virtual-key code.
struct HotKeyValue {
    StoredModifiers modifiers = StoredModifiers::None;
    quint8 virtualKey = 0;
    bool operator==(const HotKeyValue&) const = default;
};

// The virtual key of a Qt key; keypad tells a key of the number pad. A
// shifted symbol of the US layout gives its unshifted key ("!" is 1), so
// that Shift+1 is stored as Shift and 1. 0 for a key without a code.
quint8 VirtualKeyOfQtKey(int qtKey, bool keypad);
// The control's modifier byte of Qt's modifier flags.
StoredModifiers StoredModifiersOf(Qt::KeyboardModifiers modifiers);
// What the control shows: "Ctrl + Shift + Alt + F12", "None" for 0/0; a
// key it cannot name shows its code in hexadecimal.
QString HotKeyText(HotKeyValue value);

// The day count of the History page read from its field: empty when the
// text is accepted (days set), else the refusal to show (days set when the
// text was a number outside 1 to 365, as the reading stores it first).
std::optional<QString> ReadDays(const QString& text, qint32& days);

inline constexpr int kMinDays = 1;
inline constexpr int kMaxDays = 365;

}  // namespace kotobane
