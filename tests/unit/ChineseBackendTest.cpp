#include "backends/ChineseBackend.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>

#include <sys/stat.h>

#include "backends/Pinyin.h"
#include "fakes/FifoGuard.h"

using namespace kotobane;
using kotobane::pinyin::Notation;

namespace {

QString Q(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// --- syllables --------------------------------------------------------------

struct Written {
    const char* syllable;
    const char* expected;
};

TEST(PinyinTest, ToneMarks)
{
    // a or e takes the mark, then the o of ou, otherwise the last vowel.
    const Written cases[] = {
        {"zhong1", "zhōng"},
        {"guo2", "guó"},
        {"hao3", "hǎo"},
        {"xiang4", "xiàng"},
        {"xue2", "xué"},
        {"dou1", "dōu"},
        {"liu2", "liú"},
        {"gui4", "guì"},
        {"er2", "ér"},
        {"shui3", "shuǐ"},
        // ü as the data spells it, and as it is written after j, q, x, y.
        {"lv3", "lǚ"},
        {"nve4", "nüè"},
        {"lu:4", "lǜ"},
        {"lü2", "lǘ"},
        {"ju2", "jú"},
        {"jv2", "jú"},
        {"de5", "de"},
        {"ma", "ma"},
        {"", ""},
        {"1", ""},
        {"zhong6", ""},
        {"zhong0", ""},
        {"zh0ng1", ""},
        {"Zhong1", ""},
        {"zhong12", ""},
        {"abcdefgh1", ""},
        {"a b", ""},
    };
    for (const Written& c : cases) {
        EXPECT_EQ(pinyin::ToneMarked(c.syllable), Q(c.expected)) << c.syllable;
    }
}

TEST(PinyinTest, Zhuyin)
{
    const Written cases[] = {
        // Syllables that are an initial alone.
        {"zhi1", "ㄓ"},
        {"chi2", "ㄔˊ"},
        {"shi4", "ㄕˋ"},
        {"ri4", "ㄖˋ"},
        {"zi3", "ㄗˇ"},
        {"ci2", "ㄘˊ"},
        {"si1", "ㄙ"},
        {"ji1", "ㄐㄧ"},
        {"bi3", "ㄅㄧˇ"},
        // ü, and the glides y and w.
        {"yu2", "ㄩˊ"},
        {"yue4", "ㄩㄝˋ"},
        {"yuan2", "ㄩㄢˊ"},
        {"yun2", "ㄩㄣˊ"},
        {"yong3", "ㄩㄥˇ"},
        {"you3", "ㄧㄡˇ"},
        {"ying1", "ㄧㄥ"},
        {"yi1", "ㄧ"},
        {"wu3", "ㄨˇ"},
        {"wei4", "ㄨㄟˋ"},
        {"weng1", "ㄨㄥ"},
        {"ju2", "ㄐㄩˊ"},
        {"quan2", "ㄑㄩㄢˊ"},
        {"xun4", "ㄒㄩㄣˋ"},
        {"jiong3", "ㄐㄩㄥˇ"},
        {"lv4", "ㄌㄩˋ"},
        {"lve4", "ㄌㄩㄝˋ"},
        {"nue4", "ㄋㄩㄝˋ"},
        {"lu4", "ㄌㄨˋ"},
        // Contracted finals in full.
        {"liu2", "ㄌㄧㄡˊ"},
        {"jiu3", "ㄐㄧㄡˇ"},
        {"gui4", "ㄍㄨㄟˋ"},
        {"dun4", "ㄉㄨㄣˋ"},
        {"zhong1", "ㄓㄨㄥ"},
        {"guo2", "ㄍㄨㄛˊ"},
        {"xiong2", "ㄒㄩㄥˊ"},
        // er, ê and the neutral tone, whose mark comes first.
        {"er2", "ㄦˊ"},
        {"er3", "ㄦˇ"},
        {"de5", "˙ㄉㄜ"},
        {"zi5", "˙ㄗ"},
        {"eh1", "ㄝ"},
        // Not syllables.
        {"b1", ""},
        {"y1", ""},
        {"w2", ""},
        {"zhx1", ""},
        {"qa1", ""},
        {"iiii1", ""},
        {"", ""},
        {"x9", ""},
    };
    for (const Written& c : cases) {
        EXPECT_EQ(pinyin::Zhuyin(c.syllable), Q(c.expected)) << c.syllable;
    }
}

TEST(PinyinTest, SpellJoinsSyllablesAndErhua)
{
    EXPECT_EQ(pinyin::Spell("zhong1 guo2", Notation::ToneMarks), Q("zhōng guó"));
    EXPECT_EQ(pinyin::Spell("zhong1 guo2", Notation::Zhuyin), Q("ㄓㄨㄥ ㄍㄨㄛˊ"));
    EXPECT_EQ(pinyin::Spell("yi2 hui4 r5", Notation::ToneMarks), Q("yí huìr"));
    EXPECT_EQ(pinyin::Spell("na3 r5", Notation::Zhuyin), Q("ㄋㄚˇㄦ"));
    EXPECT_EQ(pinyin::Spell("zhong1 qq9", Notation::ToneMarks), QString());
    EXPECT_EQ(pinyin::Spell("b1", Notation::Zhuyin), QString());
}

TEST(PinyinTest, ParsesTableAndDictionaryLines)
{
    auto line = pinyin::ParseTableLine("中國\tzhong1 guo2\t107458");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->phrase, "中國");
    EXPECT_EQ(line->syllables, "zhong1 guo2");
    EXPECT_DOUBLE_EQ(line->weight, 107458);

    line = pinyin::ParseTableLine("了\tle5\t1.43686e+06\r");
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->weight, 1436860);

    line = pinyin::ParseTableLine("行\txing2\t90%");
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->weight, 90);

    line = pinyin::ParseTableLine("銀行\tyin2 hang2");
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->weight, 0);

    for (const char* bad :
         {"", "# - a1", "中國", "\tzhong1", "中\t\t5", "中\tzhong1\tmany", "中\tzhong1\t5\textra", "中\tzhong1\tnan"}) {
        EXPECT_FALSE(pinyin::ParseTableLine(bad)) << bad;
    }
}

// --- segmentation -----------------------------------------------------------

// A dictionary in a std::map, looked up the way PhraseIndex is.
struct MapDictionary {
    std::map<QString, std::pair<QString, int>> words;

    void operator()(QStringView text, std::vector<PhraseIndex::Match>& out) const
    {
        out.clear();
        for (qsizetype len = 1; len <= text.size(); ++len) {
            const auto found = words.find(text.first(len).toString());
            if (found != words.end()) {
                out.push_back({int(len), found->second.first, found->second.second});
            }
        }
    }
};

QStringList Cut(HanSegmenter& segmenter, const QString& text, const MapDictionary& dictionary)
{
    QStringList pieces;
    for (const HanSegmenter::Word& word : segmenter.Split(text, dictionary)) {
        const QString spelled = text.mid(word.start, word.length);
        pieces << (word.reading.isEmpty() ? u'?' + spelled : word.reading.toString());
    }
    return pieces;
}

TEST(ChineseSegmentationTest, FewerWordsBeatHeavierOnes)
{
    MapDictionary d;
    d.words = {{Q("中"), {"zhong", 9000}},
               {Q("国"), {"guo", 9000}},
               {Q("人"), {"ren", 9000}},
               {Q("中国人"), {"zhongguoren", 1}},
               {Q("中国"), {"zhongguo", 5000}}};
    HanSegmenter segmenter;
    EXPECT_EQ(Cut(segmenter, Q("中国人"), d), QStringList{"zhongguoren"});
    EXPECT_EQ(Cut(segmenter, Q("中国"), d), QStringList{"zhongguo"});
}

TEST(ChineseSegmentationTest, WeightDecidesBetweenEquallyShortCuts)
{
    // 研究生命: 研究 生命 and 研究生 命 are both two words.
    MapDictionary d;
    d.words = {{Q("研究"), {"yanjiu", 8000}},
               {Q("研究生"), {"yanjiusheng", 6000}},
               {Q("生命"), {"shengming", 7000}},
               {Q("命"), {"ming", 3000}}};
    HanSegmenter segmenter;
    EXPECT_EQ(Cut(segmenter, Q("研究生命"), d), (QStringList{"yanjiu", "shengming"}));
    d.words[Q("命")].second = 9000;
    EXPECT_EQ(Cut(segmenter, Q("研究生命"), d), (QStringList{"yanjiusheng", "ming"}));
}

TEST(ChineseSegmentationTest, LongestMatchAloneWouldGoWrong)
{
    // Greedy longest match takes 和服 and strands 务; the whole cover
    // needs 和 服务.
    MapDictionary d;
    d.words = {{Q("和服"), {"hefu", 100}}, {Q("和"), {"he", 100}}, {Q("服务"), {"fuwu", 100}}};
    HanSegmenter segmenter;
    EXPECT_EQ(Cut(segmenter, Q("和服务"), d), (QStringList{"he", "fuwu"}));
}

TEST(ChineseSegmentationTest, UnknownCharactersStandAlone)
{
    MapDictionary d;
    d.words = {{Q("中国"), {"zhongguo", 10}}};
    HanSegmenter segmenter;
    EXPECT_EQ(Cut(segmenter, Q("丙中国丁"), d), (QStringList{"?丙", "zhongguo", "?丁"}));
    // A character beyond the BMP is one word of two units.
    const QString astral = Q("𠀀中国");
    const auto& words = segmenter.Split(astral, d);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_EQ(words[0].length, 2);
    EXPECT_EQ(words[1].reading, QStringLiteral("zhongguo"));
    EXPECT_TRUE(segmenter.Split(QString(), d).empty());
}

TEST(ChineseSegmentationTest, MatchesLongerThanTheRunAreIgnored)
{
    // A source that answers more than it was asked must not send the
    // cover past the end of the run.
    const auto liar = [](QStringView, std::vector<PhraseIndex::Match>& out) {
        out.assign({{5, u"too long", 1}, {-1, u"negative", 1}});
    };
    HanSegmenter segmenter;
    const auto& words = segmenter.Split(Q("中国"), liar);
    ASSERT_EQ(words.size(), 2u);
    EXPECT_TRUE(words[0].reading.isEmpty());
}

// --- the back-end over hand-made data --------------------------------------

struct FileStamp {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileStamp& o) const
    {
        return inode == o.inode && modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

FileStamp Stamp(const QString& path)
{
    struct stat info { };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {};
    }
    return {info.st_ino, info.st_mtim};
}

class ChineseBackendFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        files_.table = dir_.filePath("table.txt");
        files_.dictionary = dir_.filePath("dict.yaml");
        WriteTable(kTable);
        Write(files_.dictionary, "---\nname: test\n...\n\n哪兒\tna3 r5\n");
    }

    void Write(const QString& path, const QByteArray& text)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    void WriteTable(const QByteArray& text) { Write(files_.table, text); }

    std::unique_ptr<ChineseBackend> Open(ChineseBackend::Script script)
    {
        return ChineseBackend::Open(script, files_, Cache(script));
    }
    QString Cache(ChineseBackend::Script script) const
    {
        return dir_.filePath(script == ChineseBackend::Script::Simplified ? "cache/hans.idx" : "cache/hant.idx");
    }

    static constexpr const char* kTable = "# syllabary:\n"
                                          "# - a1\n"
                                          "中國\tzhong1 guo2\t100\n"
                                          "中\tzhong1\t1000\n"
                                          "中\tzhong4\t10\n"
                                          "國\tguo2\t500\n"
                                          "行\thang2\t100\n"
                                          "行\txing2\t900\n"
                                          "銀行\tyin2 hang2\t50\n"
                                          "行走\txing2 zou3\t40\n"
                                          "走\tzou3\t300\n"
                                          "銀\tyin2\t200\n"
                                          "长\tzhang3\t0\n"
                                          "長\tchang2\t900\n"
                                          "長\tzhang3\t100\n"
                                          "一\tyi1\t1000\n"
                                          "會\thui3\t10\n"
                                          "會\thui4\t900\n"
                                          "一會\tyi4 hui3\t20\n"
                                          "一會\tyi2 hui4\t20\n"
                                          "兒\ter2\t900\n"
                                          "兒\tr5\t50\n"
                                          "兒童\tr5 tong2\t40\n"
                                          "哪兒\tna3 r5\t30\n"
                                          "卡爾·馬克思\tka3 er3 ma3 ke4 si1\t0\n"
                                          "爾\ter3\t100\n"
                                          "吧\tba1\t100\n"
                                          "吧\tba5\t100\n"
                                          "着\tzhao1\t50\n"
                                          "着\tzhao2\t50\n"
                                          "急\tji2\t80\n"
                                          "睡着\tshui4 zhao2\t30\n"
                                          "着急\tzhao1 ji2\t20\n"
                                          "着急\tzhao2 ji2\t20\n";

    QTemporaryDir dir_;
    ChineseBackend::DataFiles files_;
};

TEST_F(ChineseBackendFiles, PinyinOfSimplifiedText)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Handle(), 0xE0010804u);
    EXPECT_EQ(backend->Description(), QStringLiteral("Pinyin (terra_pinyin)"));
    // Found under the simplified forms of the table's keys.
    EXPECT_EQ(backend->Reading(Q("中国")), Q("zhōng guó"));
    EXPECT_EQ(backend->Reading(Q("银行")), Q("yín háng"));
    EXPECT_EQ(backend->Reading(Q("行走")), Q("xíng zǒu"));
    EXPECT_EQ(backend->Reading(Q("行")), Q("xíng"));
    // The traditional keys stay too.
    EXPECT_EQ(backend->Reading(Q("中國")), Q("zhōng guó"));
}

TEST_F(ChineseBackendFiles, AConvertedReadingOutweighsARareDirectOne)
{
    // 长 is in the table with zhang3 at weight 0; 長 chang2 weighs 900.
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("长")), Q("cháng"));
}

TEST_F(ChineseBackendFiles, EquallyWeighedSpellingsGoByCharacterReadings)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    // 會 hui4 is far more common than hui3, so 一會 is yi2 hui4, and 一 is
    // written in its own tone.
    EXPECT_EQ(backend->Reading(Q("一会")), Q("yī huì"));
}

TEST_F(ChineseBackendFiles, EquallyWeighedReadingsPreferTheNeutralTone)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("吧")), Q("ba"));
}

TEST_F(ChineseBackendFiles, LastTieGoesToTheReadingOtherPhrasesUse)
{
    // 着 zhao1 and zhao2 weigh alike, alone and in 着急; 睡着 uses zhao2.
    const auto backend = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("着急")), Q("ㄓㄠˊ ㄐㄧˊ"));
}

TEST_F(ChineseBackendFiles, ErhuaOnlyWhereTheDictionarySpellsIt)
{
    const auto backend = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("哪兒")), Q("ㄋㄚˇㄦ"));
    EXPECT_EQ(backend->Reading(Q("兒童")), Q("ㄦˊ ㄊㄨㄥˊ"));
}

TEST_F(ChineseBackendFiles, AFifoInPlaceOfTheDictionaryCountsAsNone)
{
    const QString path = dir_.filePath("fifo.yaml");
    test::FifoGuard fifo(path);
    ASSERT_TRUE(fifo.Made());
    files_.dictionary = path;
    const auto withFifo = Open(ChineseBackend::Script::Traditional);
    EXPECT_FALSE(fifo.Finish()) << "the build waited on the FIFO";
    files_.dictionary.clear();
    const auto without = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(withFifo && without);
    EXPECT_EQ(withFifo->Reading(Q("兒童")), without->Reading(Q("兒童")));
}

TEST_F(ChineseBackendFiles, DictionaryWordsDecideForSimplifiedTextOnly)
{
    WriteTable(QByteArray(kTable) + "長大\tchang2 da4\t30\n大\tda4\t500\n");
    files_.words = dir_.filePath("cedict_ts.u8");
    Write(files_.words, "長大 长大 [zhang3 da4] /to grow up/\n");
    const auto hans = Open(ChineseBackend::Script::Simplified);
    const auto hant = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(hans && hant);
    EXPECT_EQ(hans->Reading(Q("长大")), Q("zhǎng dà"));
    EXPECT_EQ(hans->Reading(Q("長大")), Q("zhǎng dà"));
    EXPECT_EQ(hant->Reading(Q("長大")), Q("ㄔㄤˊ ㄉㄚˋ"));
    // A file that cannot be read (here a folder) leaves the table's readings.
    files_.words = dir_.path();
    const auto unread = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(unread);
    EXPECT_EQ(unread->Reading(Q("长大")), Q("cháng dà"));
}

TEST_F(ChineseBackendFiles, DeAfterAPronounIsTheModalDei)
{
    WriteTable(QByteArray(kTable)
               + "我得\two3 de2\t30\n我\two3\t500\n得\tde2\t500\n們\tmen5\t500\n你們\tni3 men5\t90\n"
                 "你\tni3\t500\n得到\tde2 dao4\t30\n到\tdao4\t500\n");
    const auto hans = Open(ChineseBackend::Script::Simplified);
    const auto hant = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(hans && hant);
    for (const auto& [text, reading] : {std::pair{"我得", "wǒ děi"},
                                        {"你们得走", "nǐ men děi zǒu"},
                                        {"我得到", "wǒ dé dào"},  // the phrase 我得 does not take 得到's 得
                                        {"得", "dé"},
                                        {"到得", "dào dé"}}) {
        EXPECT_EQ(hans->Reading(Q(text)), Q(reading)) << text;
    }
    EXPECT_EQ(hant->Reading(Q("我得")), Q("ㄨㄛˇ ㄉㄜˊ"));
}

TEST_F(ChineseBackendFiles, ZhuyinReadsTheTraditionalKeysOnly)
{
    const auto backend = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Handle(), 0xE0010404u);
    EXPECT_EQ(backend->Description(), QStringLiteral("Zhuyin (terra_pinyin)"));
    EXPECT_EQ(backend->Reading(Q("中國")), Q("ㄓㄨㄥ ㄍㄨㄛˊ"));
    EXPECT_EQ(backend->Reading(Q("銀行")), Q("ㄧㄣˊ ㄏㄤˊ"));
    // 国 is simplified: unknown to this index, kept as it is.
    EXPECT_EQ(backend->Reading(Q("中国")), Q("ㄓㄨㄥ 国"));
}

TEST_F(ChineseBackendFiles, TextThatIsNotHanPassesThrough)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("中国3行")), Q("zhōng guó 3 xíng"));
    EXPECT_EQ(backend->Reading(Q("ab中国，行走 x")), Q("ab zhōng guó，xíng zǒu x"));
    EXPECT_EQ(backend->Reading(Q(" 中国 ")), Q(" zhōng guó "));
    EXPECT_EQ(backend->Reading(Q("Qt")), Q("Qt"));
    EXPECT_EQ(backend->Reading(QString()), QString());
    // Names with a middle dot are not in the index; the dot stays.
    EXPECT_TRUE(backend->Reading(Q("卡爾·馬克思")).contains(u'·'));
}

TEST_F(ChineseBackendFiles, LoneSurrogatesAreKeptWhereTheyStood)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    const QString text = QString(QChar(0xD800)) + Q("中国") + QChar(0xDC00) + QChar(0xDBFF);
    const QString expected = QString(QChar(0xD800)) + Q("zhōng guó") + QChar(0xDC00) + QChar(0xDBFF);
    EXPECT_EQ(backend->Reading(text), expected);
}

TEST_F(ChineseBackendFiles, RandomUnitsKeepEverySurrogate)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    // Han, surrogates (paired or not), ASCII and kana, in random order; the
    // hand-made table knows no character beyond the BMP, so every surrogate
    // must come out as it went in.
    static constexpr char16_t kPool[] = {u'中', u'国', u'行',  u'a',   u'3',   u' ',
                                         u'，', u'か', 0xD840, 0xDC00, 0xDBFF, 0xDFFF};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 200; ++round) {
        QString text;
        for (int i = 0; i < 50; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += QChar(kPool[(seed >> 16) % std::size(kPool)]);
        }
        const auto surrogates = [](const QString& s) {
            return std::count_if(s.begin(), s.end(), [](QChar c) { return c.isSurrogate(); });
        };
        EXPECT_EQ(surrogates(backend->Reading(text)), surrogates(text)) << round;
    }
}

TEST_F(ChineseBackendFiles, HugeTextIsReadWhole)
{
    const auto backend = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(backend);
    // Longer than one segmentation run, with no break in the Han.
    const QString text = Q("中国银行").repeated(5000);
    const QString reading = backend->Reading(text);
    EXPECT_EQ(reading.count(Q("zhōng guó yín háng")), 5000);
}

TEST_F(ChineseBackendFiles, CacheIsReusedThenRebuiltWhenTheDataChanges)
{
    const QString cache = Cache(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(Open(ChineseBackend::Script::Simplified));
    ASSERT_TRUE(QFileInfo::exists(cache));
    // The cache is replaced by renaming a new file over it, so a rebuild
    // would show as a new inode even within one clock tick.
    const FileStamp built = Stamp(cache);

    const auto again = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Reading(Q("中国")), Q("zhōng guó"));
    EXPECT_EQ(Stamp(cache), built);

    // A new line changes the table's size and so the signature.
    WriteTable(QByteArray(kTable) + "走路\tzou3 lu4\t10\n");
    const auto rebuilt = Open(ChineseBackend::Script::Simplified);
    ASSERT_TRUE(rebuilt);
    EXPECT_NE(Stamp(cache), built);
    EXPECT_EQ(rebuilt->Reading(Q("走路")), Q("zǒu lù"));
    EXPECT_EQ(again->Reading(Q("走路")), Q("zǒu 路"));
}

TEST_F(ChineseBackendFiles, DamagedCacheIsRebuilt)
{
    const QString cache = Cache(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(Open(ChineseBackend::Script::Traditional));
    QFile file(cache);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray image = file.readAll();
    file.close();
    const qsizetype size = image.size();
    // Keep the header and signature, ruin the tables behind.
    for (qsizetype i = 64; i < size; i += 7) {
        image[i] = char(0xFF);
    }
    Write(cache, image.left(size * 3 / 4));

    const auto backend = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("中國")), Q("ㄓㄨㄥ ㄍㄨㄛˊ"));
    EXPECT_EQ(QFileInfo(cache).size(), size);
}

TEST_F(ChineseBackendFiles, DamagedTableLinesAreSkipped)
{
    WriteTable(QByteArray("\xFF\xFE\x00junk\n", 9) + "中\tzhong1\t1e999\n" + "\xE4\xB8\tzhong1\t5\n" + "國\tguo2\t-5\n"
               + "中國\tzhong1\t5\n" + "行\txing2 xing2\t5\n" + "走\tzzz9\t5\n" + "中\tzhong1\t3\n"
               + QByteArray(100000, 'x') + "\t\t\t\n" + "走\tzou3");
    const auto backend = Open(ChineseBackend::Script::Traditional);
    ASSERT_TRUE(backend);
    EXPECT_EQ(backend->Reading(Q("中國行走")), Q("ㄓㄨㄥ ㄍㄨㄛˊ 行 ㄗㄡˇ"));
}

TEST_F(ChineseBackendFiles, MissingDataGivesNoBackend)
{
    files_.table = dir_.filePath("missing.txt");
    EXPECT_FALSE(Open(ChineseBackend::Script::Simplified));
    files_.table = dir_.filePath("table.txt");
    WriteTable("# nothing but comments\n");
    EXPECT_FALSE(Open(ChineseBackend::Script::Traditional));
}

// --- the installed data -----------------------------------------------------

class ChineseInstalledData : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        files_ = ChineseBackend::InstalledDataFiles();
        if (files_.table.isEmpty()) {
            return;
        }
        cache_ = new QTemporaryDir;
        hans_ =
            ChineseBackend::Open(ChineseBackend::Script::Simplified, files_, cache_->filePath("hans.idx")).release();
        hant_ =
            ChineseBackend::Open(ChineseBackend::Script::Traditional, files_, cache_->filePath("hant.idx")).release();
    }
    static void TearDownTestSuite()
    {
        delete hans_;
        delete hant_;
        delete cache_;
        hans_ = hant_ = nullptr;
        cache_ = nullptr;
    }
    void SetUp() override
    {
        if (files_.table.isEmpty()) {
            GTEST_SKIP() << "rime-data-terra-pinyin is not installed";
        }
        ASSERT_TRUE(hans_);
        ASSERT_TRUE(hant_);
    }

    static inline ChineseBackend::DataFiles files_;
    static inline QTemporaryDir* cache_ = nullptr;
    static inline ChineseBackend* hans_ = nullptr;
    static inline ChineseBackend* hant_ = nullptr;
};

TEST_F(ChineseInstalledData, PolyphonesByPhrase)
{
    EXPECT_EQ(hans_->Reading(Q("中国")), Q("zhōng guó"));
    EXPECT_EQ(hans_->Reading(Q("银行")), Q("yín háng"));
    EXPECT_EQ(hans_->Reading(Q("行走")), Q("xíng zǒu"));
    EXPECT_EQ(hans_->Reading(Q("长城")), Q("cháng chéng"));
    EXPECT_EQ(hans_->Reading(Q("长")), Q("cháng"));
    EXPECT_EQ(hans_->Reading(Q("一")), Q("yī"));
    EXPECT_EQ(hans_->Reading(Q("不")), Q("bù"));
    // Citation tones: 一 and 不 as dictionaries print them in every word.
    EXPECT_EQ(hans_->Reading(Q("不是")), Q("bù shì"));
    EXPECT_EQ(hans_->Reading(Q("一个")), Q("yī gè"));
    EXPECT_EQ(hans_->Reading(Q("一定")), Q("yī dìng"));
    EXPECT_EQ(hans_->Reading(Q("儿童")), Q("ér tóng"));
    EXPECT_EQ(hans_->Reading(Q("我有3个")), Q("wǒ yǒu 3 gè"));
    EXPECT_EQ(hans_->Reading(Q("好吧")), Q("hǎo ba"));
    EXPECT_EQ(hans_->Reading(Q("着急")), Q("zháo jí"));
    EXPECT_EQ(hans_->Reading(Q("一会儿")), Q("yī huìr"));
}

TEST_F(ChineseInstalledData, MainlandStandardWhereTheTaiwanTableDiffers)
{
    if (files_.mainland.isEmpty()) {
        GTEST_SKIP() << "unicode-data (Unihan) is not installed";
    }
    for (const auto& [text, reading] : {std::pair{"亚洲", "yà zhōu"},
                                        {"攻击", "gōng jī"},
                                        {"档案", "dàng àn"},
                                        {"携带", "xié dài"},
                                        {"叔叔", "shū shu"},
                                        {"星期", "xīng qī"},
                                        {"信息", "xìn xī"},
                                        {"研究", "yán jiū"}}) {
        EXPECT_EQ(hans_->Reading(Q(text)), Q(reading)) << text;
    }
}

TEST_F(ChineseInstalledData, PolyphonesByTheDictionaryWordsAndMainlandUsage)
{
    if (files_.words.isEmpty() || files_.mainland.isEmpty()) {
        GTEST_SKIP() << "CC-CEDICT or unicode-data (Unihan) is not installed";
    }
    // The polyphones in words and short sentences, by the dictionary's
    // words and the mainland's usage.
    for (const auto& [text, reading] : {std::pair{"长大", "zhǎng dà"},
                                        {"他长大了", "tā zhǎng dà le"},
                                        {"命令行", "mìng lìng háng"},
                                        {"头发", "tóu fa"},
                                        {"理发", "lǐ fà"},
                                        {"睡觉", "shuì jiào"},
                                        {"我觉得很好", "wǒ jué de hěn hǎo"},
                                        {"睡着了", "shuì zháo le"},
                                        {"跑得快", "pǎo de kuài"},
                                        {"慢慢地", "màn màn de"},
                                        {"这是什么", "zhè shì shén me"},
                                        {"建筑", "jiàn zhù"},
                                        {"血液", "xuè yè"},
                                        {"还钱", "huán qián"},
                                        {"重新开始", "chóng xīn kāi shǐ"},
                                        {"一个", "yī gè"},
                                        {"还是", "hái shì"},
                                        {"我得走了", "wǒ děi zǒu le"},
                                        {"他得了第一名", "tā dé le dì yī míng"},
                                        {"我得到了", "wǒ dé dào le"},
                                        {"我们到了", "wǒ men dào le"}}) {
        EXPECT_EQ(hans_->Reading(Q(text)), Q(reading)) << text;
    }
}

TEST_F(ChineseInstalledData, ZhuyinOfTraditionalText)
{
    EXPECT_EQ(hant_->Reading(Q("中國")), Q("ㄓㄨㄥ ㄍㄨㄛˊ"));
    EXPECT_EQ(hant_->Reading(Q("銀行")), Q("ㄧㄣˊ ㄏㄤˊ"));
    EXPECT_EQ(hant_->Reading(Q("的")), Q("˙ㄉㄜ"));
    EXPECT_EQ(hant_->Reading(Q("哪兒")), Q("ㄋㄚˇㄦ"));
    // Zhuyin keeps the Taiwan dictionary's tones for 不 and 一 in words.
    EXPECT_EQ(hant_->Reading(Q("不是")), Q("ㄅㄨˊ ㄕˋ"));
    EXPECT_EQ(hant_->Reading(Q("亞洲")), Q("ㄧㄚˇ ㄓㄡ"));  // the Taiwan standard stays
}

TEST_F(ChineseInstalledData, EverySyllableOfTheTableCanBeWritten)
{
    QSet<QByteArray> syllables;
    QFile file(files_.table);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        if (line.endsWith('\n')) {
            line.chop(1);
        }
        const auto parsed = pinyin::ParseTableLine(std::string_view(line.constData(), std::size_t(line.size())));
        if (!parsed) {
            continue;
        }
        for (const QByteArray& s : QByteArray(parsed->syllables.data(), parsed->syllables.size()).split(' ')) {
            syllables.insert(s);
        }
    }
    EXPECT_GT(syllables.size(), 1000);
    for (const QByteArray& s : syllables) {
        EXPECT_FALSE(pinyin::Zhuyin(s.toStdString()).isEmpty()) << s.constData();
        EXPECT_FALSE(pinyin::ToneMarked(s.toStdString()).isEmpty()) << s.constData();
    }
}

}  // namespace
