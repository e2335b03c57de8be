#include "settings/OptionPagesLogic.h"

#include <QChar>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kotobane {

int SelectByPrefix(const QStringList& items, const QString& text)
{
    if (text.isEmpty() || items.isEmpty()) {
        return -1;
    }
    const qsizetype count = items.size();
    for (qsizetype step = 1; step <= count; ++step) {
        const qsizetype i = step % count;
        if (items[i].startsWith(text, Qt::CaseInsensitive)) {
            return int(i);
        }
    }
    return -1;
}

QString FontDescription(const LogFont& font, int dpi)
{
    // MulDiv: the exact quotient rounded half away from zero.
    const qint64 product = qint64(font.lfHeight) * 72;
    const int size = dpi == 0 ? 0 : int(std::lround(double(product) / dpi));
    return QStringLiteral("%1  %2").arg(font.FaceName()).arg(-size);
}

namespace {

struct KeyName {
    int qtKey;
    quint8 virtualKey;
    const char* name;
};

// Keys with a name of their own; letters and digits share their codes with
// Qt and are named by their character.
constexpr KeyName kKeys[] = {
    {Qt::Key_Backspace, 0x08, "Backspace"},
    {Qt::Key_Tab, 0x09, "Tab"},
    {Qt::Key_Clear, 0x0C, "Clear"},
    {Qt::Key_Return, 0x0D, "Enter"},
    {Qt::Key_Enter, 0x0D, "Enter"},
    {Qt::Key_Pause, 0x13, "Pause"},
    {Qt::Key_CapsLock, 0x14, "Caps Lock"},
    {Qt::Key_Escape, 0x1B, "Esc"},
    {Qt::Key_Space, 0x20, "Space"},
    {Qt::Key_PageUp, 0x21, "Page Up"},
    {Qt::Key_PageDown, 0x22, "Page Down"},
    {Qt::Key_End, 0x23, "End"},
    {Qt::Key_Home, 0x24, "Home"},
    {Qt::Key_Left, 0x25, "Left"},
    {Qt::Key_Up, 0x26, "Up"},
    {Qt::Key_Right, 0x27, "Right"},
    {Qt::Key_Down, 0x28, "Down"},
    {Qt::Key_Print, 0x2C, "Print Screen"},
    {Qt::Key_Insert, 0x2D, "Insert"},
    {Qt::Key_Delete, 0x2E, "Delete"},
    {Qt::Key_Menu, 0x5D, "Menu"},
    {Qt::Key_NumLock, 0x90, "Num Lock"},
    {Qt::Key_ScrollLock, 0x91, "Scroll Lock"},
    {Qt::Key_Semicolon, 0xBA, ";"},
    {Qt::Key_Equal, 0xBB, "="},
    {Qt::Key_Comma, 0xBC, ","},
    {Qt::Key_Minus, 0xBD, "-"},
    {Qt::Key_Period, 0xBE, "."},
    {Qt::Key_Slash, 0xBF, "/"},
    {Qt::Key_QuoteLeft, 0xC0, "`"},
    {Qt::Key_BracketLeft, 0xDB, "["},
    {Qt::Key_Backslash, 0xDC, "\\"},
    {Qt::Key_BracketRight, 0xDD, "]"},
    {Qt::Key_Apostrophe, 0xDE, "'"},
};

// The US layout's shifted symbols and the keys they sit on.
constexpr int kShifted[][2] = {
    {Qt::Key_Exclam, '1'},      {Qt::Key_At, '2'},          {Qt::Key_NumberSign, '3'},  {Qt::Key_Dollar, '4'},
    {Qt::Key_Percent, '5'},     {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'},   {Qt::Key_Asterisk, '8'},
    {Qt::Key_ParenLeft, '9'},   {Qt::Key_ParenRight, '0'},  {Qt::Key_Underscore, 0xBD}, {Qt::Key_Plus, 0xBB},
    {Qt::Key_BraceLeft, 0xDB},  {Qt::Key_BraceRight, 0xDD}, {Qt::Key_Bar, 0xDC},        {Qt::Key_Colon, 0xBA},
    {Qt::Key_QuoteDbl, 0xDE},   {Qt::Key_Less, 0xBC},       {Qt::Key_Greater, 0xBE},    {Qt::Key_Question, 0xBF},
    {Qt::Key_AsciiTilde, 0xC0},
};

// The number pad: digits 0x60-0x69, then the operators.
constexpr KeyName kKeypad[] = {
    {Qt::Key_Asterisk, 0x6A, "Num *"}, {Qt::Key_Plus, 0x6B, "Num +"},  {Qt::Key_Minus, 0x6D, "Num -"},
    {Qt::Key_Period, 0x6E, "Num ."},   {Qt::Key_Slash, 0x6F, "Num /"},
};

}  // namespace

quint8 VirtualKeyOfQtKey(int qtKey, bool keypad)
{
    if (keypad) {
        if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) {
            return quint8(0x60 + (qtKey - Qt::Key_0));
        }
        for (const KeyName& k : kKeypad) {
            if (k.qtKey == qtKey) {
                return k.virtualKey;
            }
        }
    }
    if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)) {
        return quint8(qtKey);
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return quint8(0x70 + (qtKey - Qt::Key_F1));
    }
    for (const KeyName& k : kKeys) {
        if (k.qtKey == qtKey) {
            return k.virtualKey;
        }
    }
    for (const auto& s : kShifted) {
        if (s[0] == qtKey) {
            return quint8(s[1]);
        }
    }
    return 0;
}

StoredModifiers StoredModifiersOf(Qt::KeyboardModifiers modifiers)
{
    StoredModifiers out = StoredModifiers::None;
    if (modifiers & Qt::ShiftModifier) {
        out = out | StoredModifiers::Shift;
    }
    if (modifiers & Qt::ControlModifier) {
        out = out | StoredModifiers::Control;
    }
    if (modifiers & Qt::AltModifier) {
        out = out | StoredModifiers::Alt;
    }
    return out;
}

namespace {

QString KeyText(quint8 vk)
{
    if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) {
        return QString(QChar(vk));
    }
    if (vk >= 0x70 && vk <= 0x87) {
        return QStringLiteral("F%1").arg(vk - 0x70 + 1);
    }
    if (vk >= 0x60 && vk <= 0x69) {
        return QStringLiteral("Num %1").arg(vk - 0x60);
    }
    for (const KeyName& k : kKeypad) {
        if (k.virtualKey == vk) {
            return QString::fromLatin1(k.name);
        }
    }
    for (const KeyName& k : kKeys) {
        if (k.virtualKey == vk) {
            return QString::fromLatin1(k.name);
        }
    }
    return QStringLiteral("0x%1").arg(vk, 2, 16, QLatin1Char('0'));
}

}  // namespace

QString HotKeyText(HotKeyValue value)
{
    if (value.modifiers == StoredModifiers::None && value.virtualKey == 0) {
        return QStringLiteral("None");
    }
    QString text;
    if (HasModifier(value.modifiers, StoredModifiers::Control)) {
        text += QStringLiteral("Ctrl + ");
    }
    if (HasModifier(value.modifiers, StoredModifiers::Shift)) {
        text += QStringLiteral("Shift + ");
    }
    if (HasModifier(value.modifiers, StoredModifiers::Alt)) {
        text += QStringLiteral("Alt + ");
    }
    if (value.virtualKey != 0) {
        text += KeyText(value.virtualKey);
    }
    return text;
}

std::optional<QString> ReadDays(const QString& text, qint32& days)
{
    // Leading and trailing blanks are allowed around a sign and digits, as
    // the dialogs' integer reading allows them.
    const QString trimmed = text.trimmed();
    bool ok = false;
    const qlonglong value = trimmed.toLongLong(&ok);
    if (!ok) {
        // All digits but too many for a number is still an integer, only one
        // far outside the range.
        bool digits = !trimmed.isEmpty();
        for (const QChar c : trimmed) {
            digits = digits && c.isDigit();
        }
        if (!digits) {
            return QStringLiteral("整数を入力してください。");
        }
        days = std::numeric_limits<qint32>::max();
    } else {
        days = qint32(
            std::clamp<qlonglong>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
    }
    if (days < kMinDays || days > kMaxDays) {
        return QStringLiteral("%1 から %2 までの整数を入力してください。").arg(kMinDays).arg(kMaxDays);
    }
    return std::nullopt;
}

}  // namespace kotobane
