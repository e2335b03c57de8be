#include "platform/wayland/PortalShortcuts.h"

#include <gtest/gtest.h>

using namespace kotobane;

namespace {

int K(Qt::KeyboardModifiers modifiers, Qt::Key key)
{
    return QKeyCombination(modifiers, key).toCombined();
}

TEST(PortalTrigger, ModifiersInTheXdgOrderAndKeysByTheirKeysymNamesAndTheirQtCodes)
{
    using M = HotKeyModifiers;
    const struct {
        HotKeyModifiers modifiers;
        quint8 key;
        const char* trigger;
        int qtKey;  // as KGlobalAccel numbers it; 0 for none
    } rows[] = {
        {M::Control, 0x7B, "CTRL+F12", K(Qt::ControlModifier, Qt::Key_F12)},
        {M::Shift | M::Control, 0x7B, "CTRL+SHIFT+F12", K(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_F12)},
        {M::Super | M::Alt | M::Shift | M::Control, 0x70, "CTRL+ALT+SHIFT+LOGO+F1",
         K(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier, Qt::Key_F1)},
        {M::Alt, 'Q', "ALT+q", K(Qt::AltModifier, Qt::Key_Q)},
        {M::None, '7', "7", K(Qt::NoModifier, Qt::Key_7)},
        {M::Control, 0x87, "CTRL+F24", K(Qt::ControlModifier, Qt::Key_F24)},
        {M::Control, 0x60, "CTRL+KP_0", 0},
        {M::Control, 0x20, "CTRL+space", 0},
        {M::Control, 0x21, "CTRL+Prior", 0},
        {M::Control, 0x88, "", 0},  // past F24: no name, no preferred trigger
        {M::Control, 0xBA, "", 0},  // a layout-dependent punctuation key
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PortalTrigger(row.modifiers, row.key), QString::fromLatin1(row.trigger)) << int(row.key);
        EXPECT_EQ(QtKeyCode(row.modifiers, row.key), row.qtKey) << int(row.key);
    }
}

TEST(PortalObjectPath, TheSenderWithoutTheColonAndWithUnderscoresForDots)
{
    EXPECT_EQ(PortalObjectPath(QStringLiteral("request"), QStringLiteral(":1.42"), QStringLiteral("kotobane3")),
              QStringLiteral("/org/freedesktop/portal/desktop/request/1_42/kotobane3"));
    EXPECT_EQ(PortalObjectPath(QStringLiteral("session"), QStringLiteral(":1.7.3"), QStringLiteral("kotobane")),
              QStringLiteral("/org/freedesktop/portal/desktop/session/1_7_3/kotobane"));
}

TEST(PortalShortcutId, RoundTripsAndRejectsWhatIsNotOurs)
{
    EXPECT_EQ(PortalShortcutId(1), QStringLiteral("hot-key-1"));
    EXPECT_EQ(HotKeyIdOf(PortalShortcutId(12)), 12);
    for (const char* id : {"hot-key-", "hot-key-0", "hot-key--3", "hot-key-x", "show-desktop", ""}) {
        EXPECT_EQ(HotKeyIdOf(QString::fromLatin1(id)), 0) << id;
    }
}

}  // namespace
