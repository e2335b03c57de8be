#include "backends/MainlandReadings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <tuple>

using namespace kotobane;
using ::testing::ElementsAre;

namespace {

TEST(MainlandReadingsTest, TakesBothDictionariesReadingsOnceInTheTablesSpelling)
{
    const MainlandReadings r = ParseUnihanReadings("# comment\n"
                                                   "U+671F\tkHanyuPinlu\tqī(1012)\n"
                                                   "U+671F\tkTGHZ2013\t154.100:jī 290.110:qī\n"
                                                   "U+671F\tkXHC1983\t0520.030:jī 0892.030:qī\n"
                                                   "U+4E86\tkTGHZ2013\t212.080:le 223.010,223.020:liǎo\n"
                                                   "U+5973\tkXHC1983\t0940.020:nǚ\n"
                                                   "U+20000\tkXHC1983\t0001.010:hē\n"
                                                   "U+4E00\tkMandarin\tyī\n"
                                                   "junk line\n");
    EXPECT_THAT(r.at(0x671F), ElementsAre("ji1", "qi1"));
    EXPECT_THAT(r.at(0x4E86), ElementsAre("le5", "liao3"));
    EXPECT_THAT(r.at(0x5973), ElementsAre("nv3"));
    EXPECT_THAT(r.at(0x20000), ElementsAre("he1"));
    EXPECT_EQ(r.count(0x4E00), 0u);  // only the two dictionaries count
}

TEST(MainlandReadingsTest, UsageCountsComeFromTheFrequencyField)
{
    MainlandUsage usage;
    const MainlandReadings r = ParseUnihanReadings("U+5F97\tkHanyuPinlu\tde(5096) dé(1496) děi(637)\n"
                                                   "U+5F97\tkTGHZ2013\t069.040:dé 069.090:de 069.110:děi\n"
                                                   "U+4E00\tkHanyuPinlu\tyī(x) yí\n",
                                                   &usage);
    EXPECT_THAT(r.at(U'得'), ElementsAre("de2", "de5", "dei3"));
    for (const auto& [character, syllable, count] : {std::tuple{U'得', "de5", 5096},
                                                     {U'得', "de2", 1496},
                                                     {U'得', "dei3", 637},
                                                     {U'得', "de4", 0},
                                                     {U'一', "yi1", 0},  // counts that do not read
                                                     {U'中', "zhong1", 0}}) {
        EXPECT_EQ(UsageOf(usage, character, syllable), count) << syllable;
    }
}

TEST(MainlandReadingsTest, NumericSyllables)
{
    const std::pair<const char*, const char*> cases[] = {
        {"yà", "ya4"}, {"lǚ", "lv3"}, {"lü", "lv5"}, {"le", "le5"}, {"zhuāng", "zhuang1"}, {"ê̄", ""}, {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(NumericSyllable(in), out) << in;
    }
}

TEST(MainlandReadingsTest, ReplacesOnlyReadingsTheMainlandDoesNotGive)
{
    const MainlandReadings readings = {
        {U'亚', {"ya4"}},        {U'期', {"ji1", "qi1"}}, {U'携', {"xie2"}},
        {U'发', {"fa1", "fa4"}}, {U'叔', {"shu1"}},       {U'长', {"chang2", "zhang3"}},
    };
    const struct {
        const char* key;
        std::vector<std::string_view> in, out;
    } cases[] = {
        {"亚洲", {"ya3", "zhou1"}, {"ya4", "zhou1"}},  // the one reading spelled alike
        {"星期", {"xing1", "qi2"}, {"xing1", "qi1"}},
        {"携带", {"xi1", "dai4"}, {"xie2", "dai4"}},  // the only reading
        {"头发", {"tou2", "fa3"}, {"tou2", "fa3"}},  // two alike: the data cannot choose
        {"叔叔", {"shu2", "shu5"}, {"shu1", "shu5"}},  // neutral tones stay
        {"长大", {"chang2", "da4"}, {"chang2", "da4"}},  // a mainland reading stays
    };
    for (const auto& c : cases) {
        std::vector<std::string_view> syllables = c.in;
        EXPECT_EQ(ToMainland(c.key, syllables, readings), c.in != c.out) << c.key;
        EXPECT_EQ(syllables, c.out) << c.key;
    }
}

TEST(MainlandReadingsTest, TakesWordsOfTheDictionaryUnderBothForms)
{
    const MainlandWords w = ParseCedict("# CC-CEDICT\n"
                                        "#! version=1\n"
                                        "長大 长大 [zhang3 da4] /to grow up/\r\n"
                                        "便宜 便宜 [bian4 yi2] /convenient/\n"
                                        "便宜 便宜 [pian2 yi5] /cheap/\n"
                                        "便宜 便宜 [pian2 yi5] /a petty advantage/\n"
                                        "長城 长城 [Chang2 cheng2] /the Great Wall/\n"
                                        "綠色 绿色 [lu:4 se4] /green/\n"
                                        "一會兒 一会儿 [yi1 hui4 r5] /a moment/\n"
                                        "長 长 [zhang3] /chief/\n"  // a single character
                                        "卡爾·馬克思 卡尔·马克思 [Ka3 er3 · Ma3 ke4 si1] /Karl Marx/\n"
                                        "3C 3C [san1 C] /electronics/\n"
                                        "AA制 AA制 [A A zhi4] /to split the bill/\n"
                                        "冰箱 冰箱 [bing1xiang1] /fridge/\n"  // no space between syllables
                                        "中國 中国 [Zhong1 guo2 /China/\n"  // no closing bracket
                                        "一個 一个 [yi1 ge5]");  // no gloss, no line feed
    EXPECT_THAT(w.at("长大"), ElementsAre("zhang3 da4"));
    EXPECT_THAT(w.at("長大"), ElementsAre("zhang3 da4"));
    EXPECT_THAT(w.at("便宜"), ElementsAre("bian4 yi2", "pian2 yi5"));
    EXPECT_THAT(w.at("长城"), ElementsAre("chang2 cheng2"));
    EXPECT_THAT(w.at("绿色"), ElementsAre("lv4 se4"));
    EXPECT_THAT(w.at("一会儿"), ElementsAre("yi1 hui4 r5"));
    EXPECT_THAT(w.at("一个"), ElementsAre("yi1 ge5"));
    for (const char* absent : {"长", "卡尔·马克思", "3C", "AA制", "冰箱", "中国"}) {
        EXPECT_EQ(w.count(absent), 0u) << absent;
    }
}

TEST(MainlandReadingsTest, WordsTakeTheDictionarysClosestReading)
{
    const MainlandWords words = ParseCedict("頭髮 头发 [tou2 fa5] /hair/\n"
                                            "長大 长大 [zhang3 da4] /to grow up/\n"
                                            "一個 一个 [yi1 ge5] /a/\n"
                                            "什麼 什么 [shen2 me5] /what?/\n"
                                            "地方 地方 [di4 fang1] /region/\n"
                                            "地方 地方 [di4 fang5] /place/\n"
                                            "慢慢 慢慢 [man4 man4] /slowly/\n"
                                            "還是 还是 [hai2 shi5] /still/\n"
                                            "睡著 睡着 [shui4 zhao2] /to fall asleep/\n"
                                            "覺得 觉得 [jue2 de5] /to think/\n"
                                            "到了 到了 [dao4 liao3] /at last/\n"
                                            "了解 了解 [liao3 jie3] /to understand/\n");
    const MainlandReadings readings = {
        {U'发', {"fa1", "fa4"}}, {U'个', {"ge4"}}, {U'是', {"shi4"}}, {U'得', {"de2", "de5", "dei3"}}};
    const struct {
        const char* key;
        std::vector<std::string_view> in, out;
    } cases[] = {
        {"长大", {"chang2", "da4"}, {"zhang3", "da4"}},  // another spelling
        {"头发", {"tou2", "fa3"}, {"tou2", "fa5"}},  // neutral for a Taiwan tone
        {"一个", {"yi1", "ge4"}, {"yi1", "ge4"}},  // a mainland tone stays
        {"还是", {"hai2", "shi4"}, {"hai2", "shi4"}},
        {"我觉得", {"wo3", "jue2", "de2"}, {"wo3", "jue2", "de5"}},  // 得 has a neutral reading
        {"到了", {"dao4", "le5"}, {"dao4", "le5"}},  // the particle stays at the end
        {"了解", {"le5", "jie3"}, {"liao3", "jie3"}},
        {"什么", {"shi2", "me5"}, {"shen2", "me5"}},
        {"地方", {"di4", "fang1"}, {"di4", "fang1"}},  // of two, the one the table agrees with
        {"地方", {"di4", "fang5"}, {"di4", "fang5"}},
        {"慢慢地", {"man4", "man4", "di4"}, {"man4", "man4", "de5"}},  // the adverb
        {"慢慢地", {"man4", "man4", "de5"}, {"man4", "man4", "de5"}},
        {"睡着了", {"shui4", "zhe5", "le5"}, {"shui4", "zhao2", "le5"}},  // through a word it holds
        {"这是什么", {"zhe4", "shi4", "shi2", "me5"}, {"zhe4", "shi4", "shen2", "me5"}},
        {"地慢慢", {"di4", "man4", "man4"}, {"di4", "man4", "man4"}},  // 地 not after a word
        {"长城", {"chang2", "cheng2"}, {"chang2", "cheng2"}},  // not in the dictionary
        {"长大", {"chang2"}, {"chang2"}},  // syllables that do not fit the key
    };
    for (const auto& c : cases) {
        std::vector<std::string_view> syllables = c.in;
        EXPECT_EQ(ToMainlandWord(c.key, syllables, words, &readings), c.in != c.out) << c.key;
        EXPECT_EQ(syllables, c.out) << c.key;
    }
    // Without the characters' readings the dictionary's neutral tones win
    // only where the spelling also differs.
    std::vector<std::string_view> syllables{"hai2", "shi4"};
    EXPECT_FALSE(ToMainlandWord("还是", syllables, words, nullptr));
}

TEST(MainlandReadingsTest, AFileThatIsNoBzip2StreamIsRefused)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("broken.bz2")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("BZh9 not really");
    file.close();
    EXPECT_FALSE(ReadMainlandReadings(file.fileName()));
    EXPECT_FALSE(ReadMainlandReadings(dir.filePath(QStringLiteral("missing.bz2"))));
    EXPECT_FALSE(ReadMainlandReadings(dir.path()));  // a folder
    EXPECT_FALSE(ReadMainlandWords(dir.filePath(QStringLiteral("missing.u8"))));
    EXPECT_FALSE(ReadMainlandWords(dir.path()));
}

}  // namespace
