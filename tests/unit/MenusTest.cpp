#include "window/Menus.h"

#include <gtest/gtest.h>

using namespace kotobane;

namespace {

QString Describe(const QList<MenuEntry>& entries)
{
    QStringList parts;
    for (const MenuEntry& e : entries) {
        parts.append(e.command == 0 ? QStringLiteral("-")
                                    : QStringLiteral("%1 %2 #%3").arg(e.command).arg(e.text).arg(e.image));
    }
    return parts.join(QStringLiteral(" | "));
}

TEST(MenuEntries, TrayMenuAndTheShorterButtonMenu)
{
    EXPECT_EQ(Describe(MenuEntries(0)), QStringLiteral("32779 &Get text #0 | - | 32776 &History #1 | - | "
                                                       "32773 &Option #2 | - | 16 About ... #3 | - | 32772 &Exit #4"));
    EXPECT_EQ(Describe(MenuEntries(1)), QStringLiteral("32776 &History #1 | - | 32773 &Option #2 | - | "
                                                       "16 About ... #3 | - | 32772 &Exit #4"));
    EXPECT_TRUE(MenuEntries(2).isEmpty());
    EXPECT_TRUE(MenuEntries(-1).isEmpty());
}

}  // namespace
