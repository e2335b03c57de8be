#include "platform/x11/VirtualKeys.h"

#include <gtest/gtest.h>

#include <set>

using namespace kotobane;

TEST(VirtualKeys, SpotChecks)
{
    EXPECT_EQ(KeysymFromVirtualKey(123), 0xFFC9u);  // F12, the default hot key
    EXPECT_EQ(VirtualKeyFromKeysym(0xFFC9), 123);
    EXPECT_EQ(KeysymFromVirtualKey(0x70), 0xFFBEu);  // F1
    EXPECT_EQ(KeysymFromVirtualKey(0x87), 0xFFD5u);  // F24
    EXPECT_EQ(KeysymFromVirtualKey('C'), quint32('c'));
    EXPECT_EQ(KeysymFromVirtualKey('A'), 0x61u);
    EXPECT_EQ(KeysymFromVirtualKey('Z'), 0x7Au);
    EXPECT_EQ(KeysymFromVirtualKey('0'), 0x30u);
    EXPECT_EQ(KeysymFromVirtualKey('9'), 0x39u);
    EXPECT_EQ(KeysymFromVirtualKey(0x11), 0xFFE3u);  // Control_L
    EXPECT_EQ(KeysymFromVirtualKey(0x10), 0xFFE1u);  // Shift_L
    EXPECT_EQ(KeysymFromVirtualKey(0x12), 0xFFE9u);  // Alt_L
    EXPECT_EQ(KeysymFromVirtualKey(0x5B), 0xFFEBu);  // Super_L
    EXPECT_EQ(KeysymFromVirtualKey(0x21), 0xFF55u);  // Prior
    EXPECT_EQ(KeysymFromVirtualKey(0x22), 0xFF56u);  // Next
    EXPECT_EQ(KeysymFromVirtualKey(0x2E), 0xFFFFu);  // Delete
    EXPECT_EQ(KeysymFromVirtualKey(0x2C), 0xFF61u);  // Print
    EXPECT_EQ(KeysymFromVirtualKey(0x60), 0xFFB0u);  // KP_0
    EXPECT_EQ(KeysymFromVirtualKey(0x69), 0xFFB9u);  // KP_9
    EXPECT_EQ(KeysymFromVirtualKey(0x6F), 0xFFAFu);  // KP_Divide
    EXPECT_EQ(KeysymFromVirtualKey(0xBA), quint32(';'));
    EXPECT_EQ(KeysymFromVirtualKey(0xC0), quint32('`'));
    EXPECT_EQ(KeysymFromVirtualKey(0xDC), quint32('\\'));
    EXPECT_EQ(KeysymFromVirtualKey(0xDE), quint32('\''));
}

TEST(VirtualKeys, UpperCaseKeysymNamesTheLetterKey)
{
    EXPECT_EQ(VirtualKeyFromKeysym('Q'), 'Q');
    EXPECT_EQ(VirtualKeyFromKeysym('q'), 'Q');
}

TEST(VirtualKeys, EveryMappedCodeRoundTrips)
{
    std::set<quint32> keysyms;
    int mapped = 0;
    for (int vk = 0; vk < 256; ++vk) {
        const quint32 keysym = KeysymFromVirtualKey(quint8(vk));
        if (keysym == 0) {
            continue;
        }
        ++mapped;
        EXPECT_TRUE(keysyms.insert(keysym).second) << "keysym used twice: " << std::hex << keysym;
        EXPECT_EQ(VirtualKeyFromKeysym(keysym), vk) << "vk " << std::hex << vk;
    }
    // Letters, digits, function keys, keypad digits and the single keys.
    EXPECT_EQ(mapped, 26 + 10 + 24 + 10 + 38);
}

TEST(VirtualKeys, UnmappedGiveZero)
{
    for (quint8 vk : {0x00, 0x01, 0x0C, 0x14, 0x5C, 0x5D, 0x88, 0x90, 0xA0, 0xE2, 0xFF}) {
        EXPECT_EQ(KeysymFromVirtualKey(vk), 0u) << int(vk);
    }
    EXPECT_EQ(VirtualKeyFromKeysym(0), 0);
    EXPECT_EQ(VirtualKeyFromKeysym(0xFFDE), 0);  // F33, beyond F24
    EXPECT_EQ(VirtualKeyFromKeysym(0x1008FF11), 0);  // XF86AudioLowerVolume
    EXPECT_EQ(VirtualKeyFromKeysym(0x00E9), 0);  // eacute
}
