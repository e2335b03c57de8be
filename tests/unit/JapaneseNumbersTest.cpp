#include "backends/JapaneseNumbers.h"

#include <gtest/gtest.h>

#include <QString>

#include <string>
#include <string_view>

namespace kotobane {
namespace {

struct Case {
    std::u16string_view text;
    std::u16string_view reading;
};

struct CountedCase {
    std::u16string_view number;
    std::u16string_view counter;
    std::u16string_view reading;
};

std::u16string Number(std::u16string_view text)
{
    return ReadNumber(QStringView(text)).toStdU16String();
}

std::u16string Counted(std::u16string_view number, std::u16string_view counter)
{
    return ReadWithCounter(QStringView(number), QStringView(counter)).toStdU16String();
}

bool IsNotANumber(std::u16string_view text)
{
    return ReadNumber(QStringView(text)).isNull();
}

void ExpectReadings(std::initializer_list<Case> cases)
{
    for (const Case& c : cases) {
        EXPECT_EQ(Number(c.text), c.reading) << QStringView(c.text).toString().toStdString();
    }
}

void ExpectCounted(std::initializer_list<CountedCase> cases)
{
    for (const CountedCase& c : cases) {
        EXPECT_EQ(Counted(c.number, c.counter), c.reading)
            << QStringView(c.number).toString().toStdString() << QStringView(c.counter).toString().toStdString();
    }
}

TEST(JapaneseNumbersTest, ReadsDigitsByTheirPlaces)
{
    ExpectReadings({{u"2024", u"にせんにじゅうよん"},
                    {u"７", u"なな"},
                    {u"11", u"じゅういち"},
                    {u"10", u"じゅう"},
                    {u"１０１", u"ひゃくいち"},
                    {u"1000", u"せん"},
                    {u"12000", u"いちまんにせん"},
                    {u"100000001", u"いちおくいち"},
                    {u"0", u"ぜろ"},
                    {u"０００", u"ぜろ"},
                    {u"007", u"なな"},
                    {u"〇", u"ぜろ"}});
}

TEST(JapaneseNumbersTest, HundredsAndThousandsChangeTheirSound)
{
    ExpectReadings({{u"300", u"さんびゃく"},
                    {u"600", u"ろっぴゃく"},
                    {u"800", u"はっぴゃく"},
                    {u"400", u"よんひゃく"},
                    {u"3000", u"さんぜん"},
                    {u"8000", u"はっせん"},
                    {u"6000", u"ろくせん"},
                    {u"3333", u"さんぜんさんびゃくさんじゅうさん"}});
}

TEST(JapaneseNumbersTest, ReadsTheMyriadUnits)
{
    ExpectReadings({{u"10000000", u"いっせんまん"},
                    {u"11000000", u"せんひゃくまん"},
                    {u"1000000000000", u"いっちょう"},
                    {u"8000000000000", u"はっちょう"},
                    {u"10000000000000", u"じゅっちょう"},
                    {u"3000000000000", u"さんちょう"},
                    {u"10000000000000000", u"いっけい"},
                    {u"1000000000000000000", u"ひゃっけい"},
                    // Empty groups say nothing, not their unit.
                    {u"100000000000005", u"ひゃくちょうご"}});
    EXPECT_EQ(Number(u"12345678901234567890"),
              u"せんにひゃくさんじゅうよんけいごせんろっぴゃくななじゅうはっちょう"
              u"きゅうせんじゅうにおくさんぜんよんひゃくごじゅうろくまんななせんはっぴゃくきゅうじゅう");
}

TEST(JapaneseNumbersTest, ReadsKanjiNumerals)
{
    ExpectReadings({{u"一万二千", u"いちまんにせん"},
                    {u"二千二十四", u"にせんにじゅうよん"},
                    {u"二〇二四", u"にせんにじゅうよん"},
                    {u"十", u"じゅう"},
                    {u"百", u"ひゃく"},
                    {u"三百", u"さんびゃく"},
                    {u"六百八十", u"ろっぴゃくはちじゅう"},
                    {u"一億五千万", u"いちおくごせんまん"},
                    {u"千万", u"せんまん"},
                    {u"一兆", u"いっちょう"},
                    {u"3万5000", u"さんまんごせん"},
                    {u"1億2345万", u"いちおくにせんさんびゃくよんじゅうごまん"}});
}

TEST(JapaneseNumbersTest, ReadsGroupingCommasAndDecimals)
{
    ExpectReadings({{u"1,000", u"せん"},
                    {u"１，０００", u"せん"},
                    {u"12,345,678", u"せんにひゃくさんじゅうよんまんごせんろっぴゃくななじゅうはち"},
                    {u"3.14", u"さんてんいちよん"},
                    {u"0.05", u"ぜろてんぜろご"},
                    {u"1.5", u"いってんご"},
                    {u"10.5", u"じゅってんご"},
                    {u"6.5", u"ろくてんご"},
                    {u"1,234.5", u"せんにひゃくさんじゅうよんてんご"}});
}

TEST(JapaneseNumbersTest, RefusesWhatIsNotANumber)
{
    // Places out of order, repeated or with two digits; commas that do not
    // group by threes make a list, and a second point makes a version.
    for (const std::u16string_view text :
         {u"",         u"万",       u"何",   u"数十",   u"12a",     u"十百",    u"十十",   u"二三十",
          u"万億",     u"一万一万", u"〇十", u"十二三", u"12345万", u"1,000万", u"1,2",    u"1,0000",
          u"1000,000", u",100",     u"100,", u"1.2.3",  u"1.",      u".5",      u"1.5,000"}) {
        EXPECT_TRUE(IsNotANumber(text)) << QStringView(text).toString().toStdString();
    }
}

TEST(JapaneseNumbersTest, ReadsHugeNumbersDigitByDigit)
{
    const auto zeros = [](int n) {
        std::u16string text;
        for (int i = 0; i < n; ++i) {
            text += u"ぜろ";
        }
        return text;
    };
    // 21 places is past 京; 20 is not.
    EXPECT_EQ(Number(u"100000000000000000000"), u"いち" + zeros(20));
    const std::u16string nines = u"きゅうせんきゅうひゃくきゅうじゅうきゅう";
    EXPECT_EQ(Number(u"99999999999999999999"),
              nines + u"けい" + nines + u"ちょう" + nines + u"おく" + nines + u"まん" + nines);
    EXPECT_EQ(Number(u"0000000000000000000000001"), u"いち");

    std::u16string huge(u"1");
    huge.append(400, u'0');
    const std::u16string expected = u"いち" + zeros(400);
    EXPECT_EQ(Number(huge), expected);
    EXPECT_EQ(Counted(huge + u"1", u"本"), expected + u"いっぽん");
}

TEST(JapaneseNumbersTest, SurvivesJunk)
{
    std::u16string junk;
    for (char16_t c = 0; c < 0x3100; c += 7) {
        junk.push_back(c);
    }
    for (const std::u16string_view text : {std::u16string_view(u"\xD800"), std::u16string_view(u"12\xDC00"),
                                           std::u16string_view(u"1\0"
                                                               u"2",
                                                               3),
                                           std::u16string_view(junk)}) {
        EXPECT_TRUE(IsNotANumber(text));
    }
    EXPECT_TRUE(ReadWithCounter(QStringView(junk), u"本").isNull());
    EXPECT_TRUE(ReadWithCounter(u"3", QStringView(junk)).isNull());
    EXPECT_TRUE(ReadWithCounter(u"3", u"猫").isNull());
    EXPECT_TRUE(ReadWithCounter(u"何", u"本").isNull());
    EXPECT_TRUE(IsCounter(u"ヶ月"));
    EXPECT_FALSE(IsCounter(u"猫"));
    EXPECT_FALSE(IsCounter(u""));
}

TEST(JapaneseNumbersTest, DropsOnlyTheSpacesBetweenALoneNumberAndJapanese)
{
    const std::pair<const char*, const char*> cases[] = {
        {"3 本", "3本"},
        {"午前 9 時", "午前9時"},
        {"３\u3000\u3000本", "３本"},
        {"値 1,000 円", "値1,000円"},
        {"a 3 b", "a 3 b"},  // no Japanese beside it
        {"IPv6 の", "IPv6 の"},  // a name's digits
        {"の 70% の", "の 70% の"},
        {"は 2.0.36 で", "は 2.0.36 で"},  // no number the readings know
        {"すべて 0 と すべて 1 の", "すべて0と すべて1の"},
        {" 3 本 ", " 3本 "},
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(WithoutSpacesAroundNumbers(QString::fromUtf8(in)), QString::fromUtf8(out)) << in;
    }
}

TEST(JapaneseNumbersTest, YearsMonthsDaysAndHours)
{
    ExpectCounted({{u"2024", u"年", u"にせんにじゅうよねん"},
                   {u"4", u"年", u"よねん"},
                   {u"9", u"年", u"きゅうねん"},
                   {u"二〇二四", u"年", u"にせんにじゅうよねん"},
                   {u"1", u"月", u"いちがつ"},
                   {u"4", u"月", u"しがつ"},
                   {u"7", u"月", u"しちがつ"},
                   {u"9", u"月", u"くがつ"},
                   {u"12", u"月", u"じゅうにがつ"},
                   {u"4", u"時", u"よじ"},
                   {u"7", u"時", u"しちじ"},
                   {u"9", u"時", u"くじ"},
                   {u"24", u"時", u"にじゅうよじ"},
                   {u"4", u"時間", u"よじかん"},
                   {u"9", u"時間", u"くじかん"},
                   {u"7", u"時間", u"ななじかん"},
                   {u"1", u"ヶ月", u"いっかげつ"},
                   {u"6", u"か月", u"ろっかげつ"},
                   {u"10", u"カ月", u"じゅっかげつ"},
                   {u"3", u"ヵ月", u"さんかげつ"},
                   {u"1", u"週間", u"いっしゅうかん"},
                   {u"6", u"週間", u"ろくしゅうかん"},
                   {u"1", u"日", u"ついたち"},
                   {u"2", u"日", u"ふつか"},
                   {u"3", u"日", u"みっか"},
                   {u"4", u"日", u"よっか"},
                   {u"5", u"日", u"いつか"},
                   {u"6", u"日", u"むいか"},
                   {u"7", u"日", u"なのか"},
                   {u"8", u"日", u"ようか"},
                   {u"9", u"日", u"ここのか"},
                   {u"10", u"日", u"とおか"},
                   {u"11", u"日", u"じゅういちにち"},
                   {u"14", u"日", u"じゅうよっか"},
                   {u"20", u"日", u"はつか"},
                   {u"24", u"日", u"にじゅうよっか"},
                   {u"30", u"日", u"さんじゅうにち"},
                   {u"３", u"日間", u"みっかかん"},
                   {u"15", u"日間", u"じゅうごにちかん"}});
}

TEST(JapaneseNumbersTest, MinutesAndMoney)
{
    ExpectCounted({{u"1", u"分", u"いっぷん"},
                   {u"2", u"分", u"にふん"},
                   {u"3", u"分", u"さんぷん"},
                   {u"4", u"分", u"よんぷん"},
                   {u"5", u"分", u"ごふん"},
                   {u"6", u"分", u"ろっぷん"},
                   {u"7", u"分", u"ななふん"},
                   {u"8", u"分", u"はっぷん"},
                   {u"9", u"分", u"きゅうふん"},
                   {u"10", u"分", u"じゅっぷん"},
                   {u"30", u"分", u"さんじゅっぷん"},
                   {u"45", u"分", u"よんじゅうごふん"},
                   {u"100", u"分", u"ひゃっぷん"},
                   {u"15", u"分間", u"じゅうごふんかん"},
                   {u"1", u"秒", u"いちびょう"},
                   {u"4", u"円", u"よえん"},
                   {u"一万二千", u"円", u"いちまんにせんえん"},
                   {u"0", u"円", u"ぜろえん"}});
}

TEST(JapaneseNumbersTest, LongThingsAnimalsAndCups)
{
    ExpectCounted(
        {{u"1", u"本", u"いっぽん"},         {u"2", u"本", u"にほん"},          {u"3", u"本", u"さんぼん"},
         {u"4", u"本", u"よんほん"},         {u"6", u"本", u"ろっぽん"},        {u"8", u"本", u"はっぽん"},
         {u"10", u"本", u"じゅっぽん"},      {u"11", u"本", u"じゅういっぽん"}, {u"100", u"本", u"ひゃっぽん"},
         {u"300", u"本", u"さんびゃっぽん"}, {u"1000", u"本", u"せんぼん"},     {u"3000", u"本", u"さんぜんぼん"},
         {u"10000", u"本", u"いちまんぼん"}, {u"1", u"匹", u"いっぴき"},        {u"3", u"匹", u"さんびき"},
         {u"6", u"匹", u"ろっぴき"},         {u"8", u"匹", u"はっぴき"},        {u"10", u"匹", u"じゅっぴき"},
         {u"5", u"匹", u"ごひき"},           {u"1", u"杯", u"いっぱい"},        {u"3", u"杯", u"さんばい"},
         {u"6", u"杯", u"ろっぱい"},         {u"8", u"杯", u"はっぱい"},        {u"10", u"杯", u"じゅっぱい"},
         {u"4", u"杯", u"よんはい"}});
}

TEST(JapaneseNumbersTest, PeopleAndAges)
{
    ExpectCounted({{u"1", u"人", u"ひとり"},
                   {u"2", u"人", u"ふたり"},
                   {u"３", u"人", u"さんにん"},
                   {u"4", u"人", u"よにん"},
                   {u"14", u"人", u"じゅうよにん"},
                   {u"1", u"人前", u"いちにんまえ"},
                   {u"2", u"人前", u"ににんまえ"},
                   {u"1", u"歳", u"いっさい"},
                   {u"6", u"歳", u"ろくさい"},
                   {u"8", u"歳", u"はっさい"},
                   {u"10", u"歳", u"じゅっさい"},
                   {u"20", u"歳", u"はたち"},
                   {u"二十", u"歳", u"はたち"},
                   {u"21", u"才", u"にじゅういっさい"}});
}

TEST(JapaneseNumbersTest, OtherCounters)
{
    ExpectCounted({{u"1", u"回", u"いっかい"},
                   {u"6", u"回", u"ろっかい"},
                   {u"8", u"回", u"はっかい"},
                   {u"10", u"回", u"じゅっかい"},
                   {u"3", u"回", u"さんかい"},
                   {u"1", u"個", u"いっこ"},
                   {u"6", u"個", u"ろっこ"},
                   {u"8", u"個", u"はっこ"},
                   {u"10", u"個", u"じゅっこ"},
                   {u"1", u"階", u"いっかい"},
                   {u"3", u"階", u"さんがい"},
                   {u"4", u"階", u"よんかい"},
                   {u"1", u"軒", u"いっけん"},
                   {u"3", u"軒", u"さんげん"},
                   {u"1", u"足", u"いっそく"},
                   {u"3", u"足", u"さんぞく"},
                   {u"6", u"足", u"ろくそく"},
                   {u"1", u"頭", u"いっとう"},
                   {u"8", u"着", u"はっちゃく"},
                   {u"1", u"冊", u"いっさつ"},
                   {u"6", u"冊", u"ろくさつ"},
                   {u"8", u"冊", u"はっさつ"},
                   {u"10", u"冊", u"じゅっさつ"},
                   {u"1", u"枚", u"いちまい"},
                   {u"3", u"台", u"さんだい"},
                   {u"1", u"番", u"いちばん"},
                   {u"8", u"号", u"はちごう"},
                   {u"1", u"度", u"いちど"},
                   {u"3", u"割", u"さんわり"},
                   {u"1.5", u"倍", u"いってんごばい"},
                   {u"10", u"ページ", u"じゅっぺーじ"},
                   {u"1", u"つ", u"ひとつ"},
                   {u"2", u"つ", u"ふたつ"},
                   {u"3", u"つ", u"みっつ"},
                   {u"4", u"つ", u"よっつ"},
                   {u"5", u"つ", u"いつつ"},
                   {u"6", u"つ", u"むっつ"},
                   {u"7", u"つ", u"ななつ"},
                   {u"8", u"つ", u"やっつ"},
                   {u"9", u"つ", u"ここのつ"},
                   {u"10", u"つ", u"とお"}});
}

}  // namespace
}  // namespace kotobane
