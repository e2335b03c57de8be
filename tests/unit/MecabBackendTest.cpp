// The MeCab back-ends over the dictionaries installed on this machine; a
// test whose dictionary is missing is skipped.

#include "backends/MecabBackend.h"

#include <gtest/gtest.h>

#include <QString>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

namespace kotobane {
namespace {

using Kind = MecabBackend::Kind;

const char* KindName(Kind kind)
{
    return kind == Kind::Ipadic ? "Ipadic" : "Unidic";
}

class MecabReadingTest : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        m_backend = MecabBackend::Open(GetParam());
        if (!m_backend) {
            GTEST_SKIP() << "no dictionary at " << MecabBackend::DefaultDictionaryDir(GetParam());
        }
    }

    // Takes and returns UTF-16 so that lone surrogates survive the round
    // trip and a failure prints the units.
    std::u16string Read(std::u16string_view phrase)
    {
        return m_backend->Reading(QString::fromUtf16(phrase.data(), qsizetype(phrase.size()))).toStdU16String();
    }

    std::unique_ptr<MecabBackend> m_backend;
};

TEST_P(MecabReadingTest, ReadsKanjiInHiragana)
{
    EXPECT_EQ(Read(u"漢字の読み方"), u"かんじのよみかた");
    EXPECT_EQ(Read(u"東京"), u"とうきょう");
    EXPECT_EQ(Read(u"特許を取った"), u"とっきょをとった");
}

TEST_P(MecabReadingTest, TurnsKatakanaIntoHiragana)
{
    // ー has no hiragana form; ヷ has no hiragana twin; ヽヾ are the
    // katakana iteration marks.
    EXPECT_EQ(Read(u"コンピュータ"), u"こんぴゅーた");
    EXPECT_EQ(Read(u"ヴァイオリン"), u"ゔぁいおりん");
    EXPECT_EQ(Read(u"ヵヶヷ"), u"ゕゖヷ");
    EXPECT_EQ(Read(u"ヽヾ"), u"ゝゞ");
    EXPECT_EQ(Read(u"ひらがな"), u"ひらがな");
}

TEST_P(MecabReadingTest, KeepsTheSpellingOfWordsThatAreNotJapanese)
{
    // The dictionaries do have readings for full-width letters (Ａ → エイ).
    EXPECT_EQ(Read(u"ＡＢＣ１２３"), u"ＡＢＣ１２３");
    EXPECT_EQ(Read(u"Qt6 と C++20"), u"Qt6 と C++20");
    EXPECT_EQ(Read(u"？！（）・"), u"？！（）・");
    EXPECT_EQ(Read(u"Linuxで漢字を読む。"), u"Linuxでかんじをよむ。");
    EXPECT_EQ(Read(u"第3章、10ページ"), u"だいさんしょう、じゅっぺーじ");
}

TEST_P(MecabReadingTest, ReadsNumbers)
{
    EXPECT_EQ(Read(u"2024"), u"にせんにじゅうよん");
    EXPECT_EQ(Read(u"２０２４"), u"にせんにじゅうよん");
    EXPECT_EQ(Read(u"一万二千"), u"いちまんにせん");
    EXPECT_EQ(Read(u"三百"), u"さんびゃく");
    EXPECT_EQ(Read(u"八千"), u"はっせん");
    EXPECT_EQ(Read(u"0"), u"ぜろ");
    EXPECT_EQ(Read(u"1,000"), u"せん");
    EXPECT_EQ(Read(u"3.14"), u"さんてんいちよん");
    EXPECT_EQ(Read(u"1,2"), u"1,2");
    // The spaces that set half-width digits apart from Japanese are
    // typography: the reading is the one of the text without them.
    EXPECT_EQ(Read(u"答えは 42 です"), u"こたえはよんじゅうにです");
}

TEST_P(MecabReadingTest, ReadsNumbersWithTheirCounters)
{
    EXPECT_EQ(Read(u"2024年"), u"にせんにじゅうよねん");
    EXPECT_EQ(Read(u"二〇二四年"), u"にせんにじゅうよねん");
    EXPECT_EQ(Read(u"一万二千円"), u"いちまんにせんえん");
    EXPECT_EQ(Read(u"1,000円"), u"せんえん");
    EXPECT_EQ(Read(u"３人"), u"さんにん");
    EXPECT_EQ(Read(u"4月14日"), u"しがつじゅうよっか");
    EXPECT_EQ(Read(u"20歳"), u"はたち");
    EXPECT_EQ(Read(u"二十歳"), u"はたち");
    EXPECT_EQ(Read(u"10分"), u"じゅっぷん");
    EXPECT_EQ(Read(u"3本"), u"さんぼん");
    EXPECT_EQ(Read(u"3ヶ月"), u"さんかげつ");
    EXPECT_EQ(Read(u"鉛筆を6本買った"), u"えんぴつをろっぽんかった");
}

// Counters set apart from their number by spaces, as technical Japanese
// writes half-width digits, and 行 counting lines of text.
TEST_P(MecabReadingTest, ReadsSpacedCountersAndLines)
{
    const std::pair<std::u16string_view, std::u16string_view> cases[] = {
        {u"3 本", u"さんぼん"},
        {u"2 人", u"ふたり"},
        {u"1 回", u"いっかい"},
        {u"午前 9 時", u"ごぜんくじ"},
        {u"20 歳", u"はたち"},
        {u"1 つ目", u"ひとつめ"},
        {u"３　本", u"さんぼん"},
        {u"3   本", u"さんぼん"},
        {u"1行を読む", u"いちぎょうをよむ"},
        {u"5 行目", u"ごぎょうめ"},
        {u"銀行", u"ぎんこう"},
        // Digits of names and codes keep their spaces.
        {u"RFC1894 準拠", u"RFC1894 じゅんきょ"},
        {u"POP3 での", u"POP3 での"},
        {u"8-bit の", u"8-bit の"},
        {u"2.0.36 で", u"2.0.36 で"},
        {u"約 500 ms", u"やくごひゃく ms"},
    };
    for (const auto& [text, reading] : cases) {
        EXPECT_EQ(Read(text), reading) << QString::fromStdU16String(std::u16string(text)).toStdString();
    }
}

TEST_P(MecabReadingTest, KeepsTheReadingsOfWordsThatHoldNumerals)
{
    EXPECT_EQ(Read(u"一緒"), u"いっしょ");
    EXPECT_EQ(Read(u"一般"), u"いっぱん");
    EXPECT_EQ(Read(u"統一"), u"とういつ");
    EXPECT_EQ(Read(u"万一"), u"まんいち");
    EXPECT_EQ(Read(u"七夕"), u"たなばた");
    EXPECT_EQ(Read(u"一つ"), u"ひとつ");
    EXPECT_EQ(Read(u"何人"), u"なんにん");
    // MeCab splits these into numeral and counter, yet they are words:
    // 十分 must not become じゅっぷん, nor 一日 ついたち.
    EXPECT_EQ(Read(u"十分"), GetParam() == Kind::Ipadic ? u"じゅうふん" : u"じゅうぷん");
    EXPECT_EQ(Read(u"十分に注意する"), u"じゅうぶんにちゅういする");
    EXPECT_EQ(Read(u"一日"), u"いちにち");
}

TEST_P(MecabReadingTest, KeepsTheSpellingOfDigitsInNamesAndVersions)
{
    EXPECT_EQ(Read(u"x86_64 用"), u"x86_64 よう");
    EXPECT_EQ(Read(u"ls -1 を実行"), u"ls -1 をじっこう");
    EXPECT_EQ(Read(u"幅は10pxです"), u"はばは10pxです");
    EXPECT_EQ(Read(u"バージョン1.2.3"), u"ばーじょん1.2.3");
    EXPECT_EQ(Read(u"192.168.0.1に接続"), u"192.168.0.1にせつぞく");
    EXPECT_EQ(Read(u"10:30"), u"10:30");
    // A full stop after a number ends the sentence; it is not a version.
    EXPECT_EQ(Read(u"答えは 7."), u"こたえは なな.");
}

TEST_P(MecabReadingTest, NumbersDoNotChangeTheReadingsOfTheWordsAfterThem)
{
    // Counters take a reading of their own after a number; the word on
    // its own must still read as before, and the other way round.
    const std::u16string alone = Read(u"本を読む");
    EXPECT_EQ(Read(u"3本"), u"さんぼん");
    EXPECT_EQ(Read(u"本を読む"), alone);
    EXPECT_EQ(Read(u"日が昇る"), u"ひがのぼる");
    EXPECT_EQ(Read(u"1日"), u"ついたち");
    EXPECT_EQ(Read(u"日が昇る"), u"ひがのぼる");
    EXPECT_EQ(Read(u"6本"), u"ろっぽん");
}

TEST_P(MecabReadingTest, SurvivesHugeNumbersAndJunk)
{
    std::u16string huge(u"1");
    huge.append(400, u'0');
    std::u16string expected(u"いち");
    for (int i = 0; i < 400; ++i) {
        expected += u"ぜろ";
    }
    EXPECT_EQ(Read(huge + u"円"), expected + u"えん");

    std::u16string commas(u"1");
    for (int i = 0; i < 2000; ++i) {
        commas += u",000";
    }
    EXPECT_FALSE(Read(commas).empty());

    std::u16string junk;
    std::uint32_t state = 12345;
    for (int i = 0; i < 20000; ++i) {
        state = state * 1103515245u + 12345u;
        const char16_t pool[] = {u'1',  u'０', u'一',     u'十',     u'万', u',',  u'.',  u'年',
                                 u'本', u'a',  u'\xD800', u'\xDC00', u' ',  u'人', u'〇', u'．'};
        junk.push_back(pool[(state >> 16) % std::size(pool)]);
    }
    const std::u16string reading = Read(junk);
    EXPECT_FALSE(reading.empty());
}

TEST_P(MecabReadingTest, KeepsTwoByteCharactersAndReadsKanjiOutsideTheCommonBlock)
{
    EXPECT_EQ(Read(u"café と Ωμέγα"), u"café と Ωμέγα");
    EXPECT_EQ(Read(u"©漢字®"), u"©かんじ®");
    // 々 is Han, though it sits among the punctuation.
    EXPECT_EQ(Read(u"人々"), u"ひとびと");
}

TEST_P(MecabReadingTest, KeepsWhiteSpaceAsItStood)
{
    EXPECT_EQ(Read(u"東京 特許"), u"とうきょう とっきょ");
    EXPECT_EQ(Read(u"  東京\t\t特許  "), u"  とうきょう\t\tとっきょ  ");
    EXPECT_EQ(Read(u"東京\n特許\r\n"), u"とうきょう\nとっきょ\r\n");
    EXPECT_EQ(Read(u"東京　特許"), u"とうきょう　とっきょ");
    EXPECT_EQ(Read(u"   "), u"   ");
}

TEST_P(MecabReadingTest, KeepsLoneSurrogatesWhereTheyStood)
{
    EXPECT_EQ(Read(u"\xD800"
                   u"漢字"),
              u"\xD800"
              u"かんじ");
    EXPECT_EQ(Read(u"漢字"
                   u"\xDC00"),
              u"かんじ"
              u"\xDC00");
    EXPECT_EQ(Read(u"漢字"
                   u"\xD83D"
                   u"読み方"),
              u"かんじ"
              u"\xD83D"
              u"よみかた");
    EXPECT_EQ(Read(u"\xDFFF"), u"\xDFFF");
    // A low surrogate before a high one is two lone units, not a pair.
    EXPECT_EQ(Read(u"東京"
                   u"\xDC00\xD800"
                   u"特許"),
              u"とうきょう"
              u"\xDC00\xD800"
              u"とっきょ");
    EXPECT_EQ(Read(u"\xD800 東京 \xDBFF"), u"\xD800 とうきょう \xDBFF");
}

TEST_P(MecabReadingTest, KeepsCharactersOutsideTheBasicPlane)
{
    EXPECT_EQ(Read(u"a😀b"), u"a😀b");
    EXPECT_EQ(Read(u"東京😀特許"), u"とうきょう😀とっきょ");
}

TEST_P(MecabReadingTest, KeepsNullUnits)
{
    constexpr std::u16string_view phrase(u"東京\0特許", 5);
    constexpr std::u16string_view reading(u"とうきょう\0とっきょ", 10);
    EXPECT_EQ(Read(phrase), reading);
}

TEST_P(MecabReadingTest, EmptyPhraseHasEmptyReading)
{
    EXPECT_EQ(Read(u""), u"");
    EXPECT_TRUE(m_backend->Reading(QString()).isEmpty());
}

TEST_P(MecabReadingTest, LookUpsDoNotCarryOverIntoTheNext)
{
    const std::u16string longReading = Read(u"漢字の読み方を調べるために辞書を引いた。");
    EXPECT_EQ(Read(u"東京"), u"とうきょう");
    EXPECT_EQ(Read(u"漢字"
                   u"\xD800"),
              u"かんじ"
              u"\xD800");
    EXPECT_EQ(Read(u"東京"), u"とうきょう");
    EXPECT_EQ(Read(u"漢字の読み方を調べるために辞書を引いた。"), longReading);
}

TEST_P(MecabReadingTest, ReadsWordsWithLongReadings)
{
    EXPECT_EQ(Read(u"福島県立会津短期大学"), u"ふくしまけんりつあいづたんきだいがく");
    EXPECT_EQ(Read(u"福島県立会津短期大学と徳島文理大短期大学部"),
              u"ふくしまけんりつあいづたんきだいがくととくしまぶんりだいたんきだいがくぶ");
}

TEST_P(MecabReadingTest, ReadingDoesNotDependOnWhatWasReadBefore)
{
    // The back-end remembers the readings of words it has met. With room
    // for one or four words every word evicts another, so a reading that
    // came from the wrong word, or a long reading overrunning its room,
    // shows against a back-end that has read nothing else.
    const std::u16string_view before = u"吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。"
                                       u"今日は朝から雨が降っていたので、図書館へ行って本を三冊借りてきた。"
                                       u"このプログラムは設定ファイルを読み込み、結果を標準出力に書き出す。"
                                       u"福島県立会津短期大学と徳島文理大短期大学部";
    const std::u16string_view phrase = u"雨の日に図書館で猫の本を読んだ。設定を変えて、もう一度プログラムを実行する。"
                                       u"徳島文理大短期大学部の本";
    const QString text = QString::fromUtf16(phrase.data(), qsizetype(phrase.size()));
    const QString expected = m_backend->Reading(text);
    for (const int cacheBits : {0, 2}) {
        SCOPED_TRACE(cacheBits);
        auto small = MecabBackend::Open(GetParam(), MecabBackend::DefaultDictionaryDir(GetParam()), cacheBits);
        ASSERT_NE(small, nullptr);
        small->Reading(QString::fromUtf16(before.data(), qsizetype(before.size())));
        EXPECT_EQ(small->Reading(text).toStdU16String(), expected.toStdU16String());
        EXPECT_EQ(small->Reading(text).toStdU16String(), expected.toStdU16String());
    }
}

TEST_P(MecabReadingTest, ReadsLongText)
{
    std::u16string phrase;
    std::u16string reading;
    for (int i = 0; i < 2000; ++i) {
        phrase += u"漢字の読み方。";
        reading += u"かんじのよみかた。";
    }
    EXPECT_EQ(Read(phrase), reading);
}

INSTANTIATE_TEST_SUITE_P(Dictionaries, MecabReadingTest, ::testing::Values(Kind::Ipadic, Kind::Unidic),
                         [](const ::testing::TestParamInfo<Kind>& info) { return std::string(KindName(info.param)); });

TEST(MecabUnidicTest, ReadsTheKanaFieldNotThePronunciationOrTheLemma)
{
    auto backend = MecabBackend::Open(Kind::Unidic);
    if (!backend) {
        GTEST_SKIP() << "UniDic is not installed";
    }
    // The pronunciation field would give とーきょー and かれわそーいった;
    // the lemma's reading would give いう for 言っ.
    EXPECT_EQ(backend->Reading(QStringLiteral("東京")), QStringLiteral("とうきょう"));
    EXPECT_EQ(backend->Reading(QStringLiteral("彼はそう言った")), QStringLiteral("かれはそういった"));
    EXPECT_EQ(backend->Reading(QStringLiteral("学校へ行きました")), QStringLiteral("がっこうへいきました"));
}

TEST(MecabBackendTest, ListsUnderItsLayoutHandleAndDescription)
{
    for (const Kind kind : {Kind::Ipadic, Kind::Unidic}) {
        SCOPED_TRACE(KindName(kind));
        auto backend = MecabBackend::Open(kind);
        if (!backend) {
            continue;
        }
        EXPECT_EQ(backend->Handle(), kind == Kind::Ipadic ? 0xE0010411u : 0xE0020411u);
        EXPECT_EQ(backend->Description(),
                  kind == Kind::Ipadic ? QStringLiteral("MeCab IPADIC") : QStringLiteral("MeCab UniDic"));
    }
}

TEST(MecabBackendTest, MissingOrBrokenDictionaryGivesNoBackend)
{
    EXPECT_EQ(MecabBackend::Open(Kind::Ipadic, "/nonexistent/kotobane/dic"), nullptr);
    EXPECT_EQ(MecabBackend::Open(Kind::Ipadic, ""), nullptr);

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("kotobane-broken-dic-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "dicrc") << "config-charset = UTF-8\n";
    std::ofstream(dir / "sys.dic") << "not a dictionary";
    EXPECT_EQ(MecabBackend::Open(Kind::Unidic, dir.string()), nullptr);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kotobane
