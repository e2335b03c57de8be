#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "backends/MainlandReadings.h"

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
}

}  // namespace
