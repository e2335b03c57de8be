#include "backends/HanjaBackend.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace kotobane {
namespace {

using namespace Qt::StringLiterals;

// A back-end over a table written out here, in the libhangul format.
std::unique_ptr<HanjaBackend> FromTable(const char* table)
{
    return HanjaBackend::FromIndex(
        PhraseIndex::FromImage(PhraseIndex::Build(HanjaBackend::Entries(QByteArray(table)), "test")));
}

QString ValueOf(const std::vector<PhraseIndex::Entry>& entries, const QString& key)
{
    for (const PhraseIndex::Entry& entry : entries) {
        if (entry.key == key) {
            return entry.value;
        }
    }
    return u"<none>"_s;
}

bool WriteFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

TEST(HanjaInitialSound, WordInitialForm)
{
    const std::pair<char16_t, char16_t> cases[] = {
        // ㄹ before ㅑ ㅕ ㅖ ㅛ ㅠ ㅣ falls silent; the final stays.
        {u'리', u'이'},
        {u'력', u'역'},
        {u'료', u'요'},
        {u'류', u'유'},
        {u'례', u'예'},
        {u'량', u'양'},
        // ㄹ before other vowels becomes ㄴ.
        {u'래', u'내'},
        {u'로', u'노'},
        {u'락', u'낙'},
        {u'뢰', u'뇌'},
        {u'릉', u'능'},
        // ㄴ falls silent before those vowels only.
        {u'녀', u'여'},
        {u'닉', u'익'},
        {u'뉴', u'유'},
        {u'남', u'남'},
        {u'노', u'노'},
        // Other syllables, a compatibility jamo, Latin, past the syllables, a surrogate.
        {u'한', u'한'},
        {u'이', u'이'},
        {u'ㄹ', u'ㄹ'},
        {u'A', u'A'},
        {0xD7A4, 0xD7A4},
        {0xD800, 0xD800}};
    for (const auto& [syllable, initial] : cases) {
        EXPECT_EQ(hangul::WordInitialForm(syllable), initial) << QString(QChar(syllable)).toStdString();
    }
}

TEST(HanjaInitialSound, AfterVowelForm)
{
    EXPECT_EQ(hangul::AfterVowelForm(u'렬', u'나'), u'열');
    EXPECT_EQ(hangul::AfterVowelForm(u'률', u'비'), u'율');
    EXPECT_EQ(hangul::AfterVowelForm(u'렬', u'선'), u'열');
    EXPECT_EQ(hangul::AfterVowelForm(u'률', u'확'), u'률');
    EXPECT_EQ(hangul::AfterVowelForm(u'리', u'유'), u'리');
    EXPECT_EQ(hangul::AfterVowelForm(u'렬', u'x'), u'렬');
}

TEST(HanjaEntries, KeepsOnlyLinesThatSpellTheirHanja)
{
    const auto entries =
        HanjaBackend::Entries("# a comment:韓:\n\n"
                              "한:韓:나라 한\r\n"
                              "no colon at all\n"
                              "국:國\n"  // two fields only
                              "가나:가나:\n"  // no hanja in the key
                              "가격표:價格표:\n"  // other text after the hanja is kept
                              "ㄷ변칙:ㄷ變則:\n"  // a key that starts with other text is never looked up
                              "구천:龜川洞:\n"  // a reading short of its key
                              "가a:家b:\n"  // other text must be repeated as it is
                              "\xff\xfe:學:\n"  // not UTF-8
                              "어:語:말씀 어");  // no final newline
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(ValueOf(entries, u"韓"_s), u"한"_s);
    EXPECT_EQ(ValueOf(entries, u"價格표"_s), u"가격표"_s);
    EXPECT_EQ(ValueOf(entries, u"語"_s), u"어"_s);
}

TEST(HanjaEntries, DamagedTablesGiveOnlyWellFormedEntries)
{
    // Fragments of lines, bad bytes and over-long keys in a fixed random order.
    const QByteArray pieces[] = {":",    "\n",
                                 "#",    "韓",
                                 "한",   "國",
                                 "국",   "\xed\xa0\x80",
                                 "\xff", "\xf0\xa0\x80\x8b",
                                 "\r",   "a",
                                 ",",    QByteArray(200, 'x')};
    quint32 state = 12345;
    for (int round = 0; round < 200; ++round) {
        QByteArray table;
        for (int i = 0; i < 300; ++i) {
            state = state * 1664525u + 1013904223u;
            table += pieces[(state >> 16) % std::size(pieces)];
        }
        for (const PhraseIndex::Entry& entry : HanjaBackend::Entries(table)) {
            ASSERT_LE(entry.key.size(), PhraseIndex::kMaxKeyLength);
            ASSERT_FALSE(entry.value.isEmpty());
            ASSERT_TRUE(entry.key.front() == u'韓' || entry.key.front() == u'國' || entry.key.front().isHighSurrogate())
                << qPrintable(entry.key);
        }
    }
}

TEST(HanjaEntries, SingleCharacterTakesTheReadingWordsUseMost)
{
    const auto entries = HanjaBackend::Entries(
        // Listed 금 first, but read 김 in two words of three.
        "금:金:쇠 금\n김:金:성 김\n김씨:金氏:\n김가:金家:\n금괴:金塊:\n"
        // 여 is only 녀 at the start of a word: its three words outweigh 요's two.
        "녀:女:\n여:女:\n요:女:\n여자:女子:\n여성:女性:\n여인:女人:\n요가:女家:\n요나:女那:\n"
        // In no word: the reading with most glosses.
        "가:丁:하나\n나:丁:하나, 둘, 셋\n다:丁:하나, 둘\n");
    EXPECT_EQ(ValueOf(entries, u"金"_s), u"김"_s);
    EXPECT_EQ(ValueOf(entries, u"女"_s), u"녀"_s);
    EXPECT_EQ(ValueOf(entries, u"丁"_s), u"나"_s);
}

TEST(HanjaEntries, WordTakesTheReadingAsWrittenThenAsUsed)
{
    const auto entries = HanjaBackend::Entries(
        // The usual syllables 녀 and 렬 give way to the initial-sound rule.
        "녀자:女子:\n여자:女子:\n남녀:男女:\n소녀:少女:\n"
        "계렬:系列:\n계열:系列:\n렬사:列士:\n렬강:列强:\n렬차:列車:\n"
        // 降 is 강 in more words, but the word holding 降服 reads it 항.
        "강복:降服:\n항복:降服:\n항복문서:降服文書:\n강우:降雨:\n강수:降水:\n"
        // Otherwise the syllables its hanja take most.
        "간물:乾物:\n건물:乾物:\n건조:乾燥:\n건전지:乾電池:\n");
    EXPECT_EQ(ValueOf(entries, u"女子"_s), u"여자"_s);
    EXPECT_EQ(ValueOf(entries, u"系列"_s), u"계열"_s);
    EXPECT_EQ(ValueOf(entries, u"降服"_s), u"항복"_s);
    EXPECT_EQ(ValueOf(entries, u"乾物"_s), u"건물"_s);
}

constexpr const char* kTable = "대:大:\n한:韓:\n민:民:\n국:國:\n대한민국:大韓民國:\n대한:大韓:\n"
                               "강:降:\n항:降:\n강우:降雨:\n강수:降水:\n항복:降服:\n우:雨:\n복:服:\n"
                               "녀:女:\n여:女:\n자:子:\n남:男:\n래:來:\n내:來:\n일:日:\n리:理:\n이:理:\n료:料:\n"
                               "나:羅:\n렬:列:\n불:不:\n부:不:\n불가:不可:\n불능:不能:\n당:當:\n가:可:\n정:正:\n"
                               "학:𠀋:\n";  // a hanja beyond the BMP

TEST(HanjaReading, ComposesWithTheLongestWordsAndTheRules)
{
    auto backend = FromTable(kTable);
    ASSERT_TRUE(backend);
    const std::pair<QString, QString> cases[] = {// The longest key wins; 降 alone is 강, as most words read it.
                                                 {u"大韓民國"_s, u"대한민국"_s},
                                                 {u"大韓國"_s, u"대한국"_s},
                                                 {u"降"_s, u"강"_s},
                                                 {u"降服"_s, u"항복"_s},
                                                 {u"服降服"_s, u"복항복"_s},
                                                 {u"降雨服"_s, u"강우복"_s},
                                                 // The initial-sound rule at the start of a word only.
                                                 {u"女子"_s, u"여자"_s},
                                                 {u"男女"_s, u"남녀"_s},
                                                 {u"來日"_s, u"내일"_s},
                                                 {u"日來"_s, u"일래"_s},
                                                 {u"理"_s, u"리"_s},
                                                 {u"料"_s, u"료"_s},
                                                 {u"大韓女"_s, u"대한녀"_s},
                                                 // A space or punctuation starts a word; hangul does not.
                                                 {u"男 女"_s, u"남 여"_s},
                                                 {u"(來)"_s, u"(내)"_s},
                                                 {u"그女"_s, u"그녀"_s},
                                                 // 렬 after a vowel; 불 before ㄷ and ㅈ.
                                                 {u"羅列"_s, u"나열"_s},
                                                 {u"國列"_s, u"국렬"_s},
                                                 {u"列"_s, u"렬"_s},
                                                 {u"不當"_s, u"부당"_s},
                                                 {u"不正"_s, u"부정"_s},
                                                 {u"不可"_s, u"불가"_s},
                                                 {u"不"_s, u"불"_s},
                                                 {u"不 當"_s, u"불 당"_s},
                                                 {u"不大韓"_s, u"부대한"_s},
                                                 // Other text passes through.
                                                 {u"大韓民國 만세"_s, u"대한민국 만세"_s},
                                                 {u"Korea 2024, 한국!"_s, u"Korea 2024, 한국!"_s},
                                                 {u"龍"_s, u"龍"_s},
                                                 {u"𠀋 😀"_s, u"학 😀"_s},
                                                 {QString(), QString()}};
    for (const auto& [text, reading] : cases) {
        EXPECT_EQ(backend->Reading(text), reading) << text.toStdString();
    }
}

TEST(HanjaReading, LoneSurrogatesStayWhereTheyStood)
{
    auto backend = FromTable(kTable);
    ASSERT_TRUE(backend);
    const QString high(QChar(char16_t(0xD840)));
    const QString low(QChar(char16_t(0xDC0B)));  // after high, 𠀋
    EXPECT_EQ(backend->Reading(high + u"女"_s), high + u"여"_s);
    EXPECT_EQ(backend->Reading(u"女"_s + low + u"子"_s), u"여"_s + low + u"자"_s);
    EXPECT_EQ(backend->Reading(u"男"_s + high), u"남"_s + high);
    EXPECT_EQ(backend->Reading(low + high), low + high);

    const char16_t units[] = {u'a', u' ', u'한', u'ㄹ', 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFF, u'女', u'不'};
    quint32 state = 777;
    for (int round = 0; round < 500; ++round) {
        QString text;
        for (int i = 0; i < 40; ++i) {
            state = state * 1664525u + 1013904223u;
            text += QChar(units[(state >> 16) % std::size(units)]);
        }
        // Every unit but the two hanja stays where it stood.
        const QString reading = backend->Reading(text);
        ASSERT_EQ(reading.size(), text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text[i] != u'女' && text[i] != u'不') {
                ASSERT_EQ(reading[i], text[i]) << i;
            }
        }
    }
}

TEST(HanjaReading, HugeTextIsReadWhole)
{
    auto backend = FromTable(kTable);
    ASSERT_TRUE(backend);
    const QString text = u"大韓民國 男女 ab"_s.repeated(20000);
    const QString reading = backend->Reading(text);
    EXPECT_EQ(reading.size(), text.size());
    EXPECT_EQ(reading.count(u"대한민국 남녀 ab"_s), 20000);
}

TEST(HanjaCache, ReusedUntilTheSignatureChangesAndRebuiltWhenDamaged)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString data = dir.filePath(u"hanja.txt"_s);
    const QString cache = dir.filePath(u"cache/hanja.idx"_s);
    EXPECT_FALSE(HanjaBackend::Open(data, cache));
    ASSERT_TRUE(WriteFile(data, "# nothing usable\n가나:가나:\n"));
    EXPECT_FALSE(HanjaBackend::Open(data, cache));

    const auto readingAfterOpen = [&] {
        auto backend = HanjaBackend::Open(data, cache);
        return backend ? backend->Reading(u"韓"_s) : u"<none>"_s;
    };
    const auto touch = [&](const QDateTime& time) {
        QFile file(data);
        return file.open(QIODevice::ReadWrite) && file.setFileTime(time, QFileDevice::FileModificationTime);
    };
    ASSERT_TRUE(WriteFile(data, "한:韓:\n"));
    EXPECT_EQ(readingAfterOpen(), u"한"_s);
    ASSERT_TRUE(QFileInfo::exists(cache));

    // Same size and time: the cached index answers, not the new text.
    const QDateTime modified = QFileInfo(data).lastModified();
    ASSERT_TRUE(WriteFile(data, "칸:韓:\n"));
    ASSERT_TRUE(touch(modified));
    EXPECT_EQ(readingAfterOpen(), u"한"_s);
    // A new time rebuilds it.
    ASSERT_TRUE(touch(modified.addSecs(60)));
    EXPECT_EQ(readingAfterOpen(), u"칸"_s);

    QFile file(cache);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray image = file.readAll();
    ASSERT_GT(image.size(), 64);
    for (qsizetype i = 16; i < image.size(); i += 7) {
        image[i] = char(0xA5);
    }
    ASSERT_TRUE(file.seek(0));
    ASSERT_EQ(file.write(image), image.size());
    file.close();
    EXPECT_EQ(readingAfterOpen(), u"칸"_s);
}

// The Debian table, where installed.
class HanjaDebianTest : public ::testing::Test {
protected:
    static bool Installed() { return QFileInfo::exists(QString::fromLatin1(HanjaBackend::kDefaultDataPath)); }
    static void SetUpTestSuite()
    {
        if (Installed()) {
            backend_ = HanjaBackend::Open().release();
        }
    }
    static void TearDownTestSuite()
    {
        delete backend_;
        backend_ = nullptr;
    }
    void SetUp() override
    {
        if (!Installed()) {
            GTEST_SKIP() << "libhangul-data is not installed";
        }
        ASSERT_NE(backend_, nullptr);
    }
    static inline HanjaBackend* backend_ = nullptr;
};

TEST_F(HanjaDebianTest, Readings)
{
    EXPECT_TRUE(QFileInfo::exists(IndexCacheDirectory() + u"/hanja.idx"_s));
    const std::pair<QString, QString> cases[] = {{u"韓國語"_s, u"한국어"_s},
                                                 {u"大韓民國 만세"_s, u"대한민국 만세"_s},
                                                 {u"女子"_s, u"여자"_s},
                                                 {u"歷史"_s, u"역사"_s},
                                                 {u"男女"_s, u"남녀"_s},
                                                 {u"老人"_s, u"노인"_s},
                                                 {u"來日"_s, u"내일"_s},
                                                 {u"降服"_s, u"항복"_s},
                                                 {u"女"_s, u"녀"_s},
                                                 {u"李"_s, u"리"_s},
                                                 {u"樂"_s, u"악"_s},
                                                 {u"金"_s, u"금"_s},
                                                 {u"不"_s, u"불"_s},
                                                 {u"行"_s, u"행"_s},
                                                 {u"韓 女"_s, u"한 여"_s},
                                                 {u"Seoul 서울 2024"_s, u"Seoul 서울 2024"_s},
                                                 // Alone, a character has its dictionary sound; in a word, the rule.
                                                 {u"冽"_s, u"렬"_s},
                                                 {u" 凛 "_s, u" 름 "_s},
                                                 {u"冽風"_s, u"열풍"_s},
                                                 {u"凛冽"_s, u"늠렬"_s},
                                                 // A surname opening three hanja where the table has no word.
                                                 {u"金大中"_s, u"김대중"_s},
                                                 {u"金大中 大統領"_s, u"김대중 대통령"_s},
                                                 {u"金銀銅"_s, u"금은동"_s}};
    for (const auto& [text, reading] : cases) {
        EXPECT_EQ(backend_->Reading(text), reading) << text.toStdString();
    }
}

TEST_F(HanjaDebianTest, CachedIndexGivesTheSameReadings)
{
    auto reopened = HanjaBackend::Open();
    ASSERT_TRUE(reopened);
    const QString text = u"大韓民國은 民主共和國이다. 女子 男女 歷史"_s;
    EXPECT_EQ(reopened->Reading(text), backend_->Reading(text));
    EXPECT_EQ(reopened->Handle(), 0xE0010412u);
    EXPECT_EQ(reopened->Description(), u"Hanja (libhangul)"_s);
}

}  // namespace
}  // namespace kotobane
