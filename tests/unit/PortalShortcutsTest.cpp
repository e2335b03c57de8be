#include "platform/wayland/PortalShortcuts.h"

#include <gtest/gtest.h>

using namespace kotobane;

namespace {

TEST(PortalTrigger, ModifiersInTheXdgOrderAndKeysByTheirKeysymNames)
{
    using M = HotKeyModifiers;
    const struct {
        HotKeyModifiers modifiers;
        quint8 key;
        const char* trigger;
    } rows[] = {
        {M::Control, 0x7B, "CTRL+F12"},
        {M::Shift | M::Control, 0x7B, "CTRL+SHIFT+F12"},
        {M::Super | M::Alt | M::Shift | M::Control, 0x70, "CTRL+ALT+SHIFT+LOGO+F1"},
        {M::Alt, 'Q', "ALT+q"},
        {M::None, '7', "7"},
        {M::Control, 0x87, "CTRL+F24"},
        {M::Control, 0x60, "CTRL+KP_0"},
        {M::Control, 0x20, "CTRL+space"},
        {M::Control, 0x21, "CTRL+Prior"},
        {M::Control, 0x88, ""},  // past F24: no name, no preferred trigger
        {M::Control, 0xBA, ""},  // a layout-dependent punctuation key
    };
    for (const auto& row : rows) {
        EXPECT_EQ(PortalTrigger(row.modifiers, row.key), QString::fromLatin1(row.trigger)) << int(row.key);
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
