#include "settings/OptionPagesLogic.h"

#include <gtest/gtest.h>

using namespace kotobane;

namespace {

TEST(OptionPagesLogicTest, SelectByPrefixSearchesFromTheSecondItemAndWraps)
{
    const QStringList voices = {QStringLiteral("Japanese"), QStringLiteral("English"),
                                QStringLiteral("japanese (kana)"), QStringLiteral("Korean")};
    const struct {
        const char* text;
        int index;
    } cases[] = {
        {"Japanese", 2},  // the second match comes first: the search starts after item 0
        {"korean", 3},  // case ignored
        {"Eng", 1},  // a prefix
        {"Japanese (kana)", 2},
        {"Chinese", -1},
        {"", -1},  // no text, no selection
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SelectByPrefix(voices, QString::fromUtf8(c.text)), c.index) << c.text;
    }
    EXPECT_EQ(SelectByPrefix({QStringLiteral("Only")}, QStringLiteral("Only")), 0);
    EXPECT_EQ(SelectByPrefix({}, QStringLiteral("x")), -1);
}

TEST(OptionPagesLogicTest, FontDescriptionRoundsThePointSizeAtTheScreensResolution)
{
    const struct {
        qint32 height;
        int dpi;
        const char* text;
    } cases[] = {
        {-16, 96, "Sans  12"},  {-15, 96, "Sans  11"},  // 11.25
        {-14, 96, "Sans  11"},  // 10.5 rounds away from zero
        {16, 96, "Sans  -12"},  // a cell height
        {-20, 120, "Sans  12"},
    };
    for (const auto& c : cases) {
        LogFont font;
        font.SetFaceName(QStringLiteral("Sans"));
        font.lfHeight = c.height;
        EXPECT_EQ(FontDescription(font, c.dpi), QString::fromUtf8(c.text)) << c.height << " " << c.dpi;
    }
}

TEST(OptionPagesLogicTest, QtKeysGiveWindowsVirtualKeys)
{
    const struct {
        int key;
        bool keypad;
        int vk;
    } cases[] = {
        {Qt::Key_F12, false, 123},    {Qt::Key_F1, false, 0x70},     {Qt::Key_A, false, 'A'},
        {Qt::Key_7, false, '7'},      {Qt::Key_7, true, 0x67},  // the number pad's 7
        {Qt::Key_Exclam, false, '1'},  // Shift+1 on the US layout
        {Qt::Key_Plus, false, 0xBB},  {Qt::Key_Plus, true, 0x6B},    {Qt::Key_Home, false, 0x24},
        {Qt::Key_Space, false, 0x20}, {Qt::Key_Return, false, 0x0D}, {Qt::Key_Enter, true, 0x0D},
        {Qt::Key_Slash, false, 0xBF}, {Qt::Key_unknown, false, 0},   {Qt::Key_Shift, false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(VirtualKeyOfQtKey(c.key, c.keypad), c.vk) << std::hex << c.key;
    }
    // The stored byte: 1 Shift, 2 Control, 4 Alt; Meta has no bit of its own.
    EXPECT_EQ(quint8(StoredModifiersOf(Qt::ShiftModifier)), 1);
    EXPECT_EQ(quint8(StoredModifiersOf(Qt::ControlModifier)), 2);
    EXPECT_EQ(quint8(StoredModifiersOf(Qt::AltModifier)), 4);
    EXPECT_EQ(StoredModifiersOf(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::KeypadModifier),
              StoredModifiers::Control | StoredModifiers::Shift | StoredModifiers::Alt);
    EXPECT_EQ(StoredModifiersOf(Qt::MetaModifier), StoredModifiers::None);
}

TEST(OptionPagesLogicTest, HotKeyTextNamesTheCombination)
{
    const struct {
        quint8 modifiers;  // as stored
        quint8 vk;
        const char* text;
    } cases[] = {
        {0, 0, "None"},
        {2, 123, "Ctrl + F12"},
        {7, 'K', "Ctrl + Shift + Alt + K"},
        {0, 0x65, "Num 5"},
        {2 | 8, 0x24, "Ctrl + Home"},  // the extended-key bit a file may hold is not shown
        {0, 0xE7, "0xe7"},
        {4, 0, "Alt + "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HotKeyText({StoredModifiers(c.modifiers), c.vk}), QString::fromUtf8(c.text)) << c.text;
    }
}

TEST(OptionPagesLogicTest, ReadDaysRefusesWhatIsNoDayCountOfAYear)
{
    const QString notInteger = QStringLiteral("整数を入力してください。");
    const QString outOfRange = QStringLiteral("1 から 365 までの整数を入力してください。");
    const struct {
        const char* text;
        std::optional<QString> refusal;
        qint32 days;  // what the member holds afterwards (it starts at 7)
    } cases[] = {
        {"1", std::nullopt, 1},   {"365", std::nullopt, 365},
        {"0", outOfRange, 0},     {"366", outOfRange, 366},
        {"500", outOfRange, 500}, {"99999999999999999999", outOfRange, std::numeric_limits<qint32>::max()},
        {"", notInteger, 7},  // nothing read: the member keeps its value
        {"1x", notInteger, 7},
    };
    for (const auto& c : cases) {
        qint32 days = 7;
        EXPECT_EQ(ReadDays(QString::fromUtf8(c.text), days), c.refusal) << c.text;
        EXPECT_EQ(days, c.days) << c.text;
    }
}

}  // namespace
