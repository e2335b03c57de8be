#include "backends/PhraseIndex.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>

#include "fakes/FifoGuard.h"

using namespace kotobane;

namespace {

std::vector<PhraseIndex::Entry> Sample()
{
    return {
        {QStringLiteral("中国"), QStringLiteral("zhong1 guo2"), 100},
        {QStringLiteral("中"), QStringLiteral("zhong1"), 50},
        {QStringLiteral("中"), QStringLiteral("zhong4"), 60},  // the heavier reading wins
        {QStringLiteral("中国人"), QStringLiteral("zhong1 guo2 ren2"), 10},
        {QStringLiteral("中国人民銀行"), QStringLiteral("long"), 1},
        {QStringLiteral("国"), QStringLiteral("guo2"), 5},
        {QStringLiteral("行"), QStringLiteral("xing2"), 7},
        {QStringLiteral("行"), QStringLiteral("hang2"), 7},  // equal: the first given stays
        {QStringLiteral(""), QStringLiteral("empty key"), 1},
        {QString(65, QChar(u'長')), QStringLiteral("too long"), 1},
        {QStringLiteral("\xFFFF\xFFFF"), QStringLiteral("last unit"), 1},
        {QStringLiteral("\x0001"), QStringLiteral("first unit"), 1},
    };
}

std::vector<std::pair<int, QString>> Prefixes(const PhraseIndex& index, const QString& text)
{
    std::vector<PhraseIndex::Match> matches;
    index.Prefixes(text, matches);
    std::vector<std::pair<int, QString>> result;
    for (const PhraseIndex::Match& m : matches) {
        result.emplace_back(m.length, m.value.toString());
    }
    return result;
}

TEST(PhraseIndexTest, PrefixesLongestAndExactLookUps)
{
    const auto index = PhraseIndex::FromImage(PhraseIndex::Build(Sample(), "sig"));
    ASSERT_TRUE(index);
    EXPECT_EQ(index->Size(), 8);
    EXPECT_EQ(index->Signature(), "sig");

    using P = std::pair<int, QString>;
    EXPECT_THAT(Prefixes(*index, QStringLiteral("中国人民很好")),
                testing::ElementsAre(P{1, "zhong4"}, P{2, "zhong1 guo2"}, P{3, "zhong1 guo2 ren2"}));
    EXPECT_THAT(Prefixes(*index, QStringLiteral("中国人民銀行")),
                testing::ElementsAre(P{1, "zhong4"}, P{2, "zhong1 guo2"}, P{3, "zhong1 guo2 ren2"}, P{6, "long"}));
    EXPECT_TRUE(Prefixes(*index, QStringLiteral("人中")).empty());
    EXPECT_TRUE(Prefixes(*index, QString()).empty());

    EXPECT_EQ(index->Longest(QStringLiteral("国中")).length, 1);
    EXPECT_EQ(index->Longest(QStringLiteral("国中")).value, QStringLiteral("guo2"));
    EXPECT_EQ(index->Longest(QStringLiteral("日本")).length, 0);
    EXPECT_EQ(index->Find(QStringLiteral("行"))->value, QStringLiteral("xing2"));
    EXPECT_EQ(index->Find(QStringLiteral("中国"))->weight, 100);
    EXPECT_FALSE(index->Find(QStringLiteral("中国人民")));  // only a prefix of a key
    EXPECT_FALSE(index->Find(QString(65, QChar(u'長'))));
    EXPECT_EQ(index->Find(QStringLiteral("\xFFFF\xFFFF"))->value, QStringLiteral("last unit"));
    EXPECT_EQ(index->Find(QStringLiteral("\x0001"))->value, QStringLiteral("first unit"));
    // A lone surrogate is just a unit like any other.
    EXPECT_EQ(index->Longest(QString(QChar(0xD800))).length, 0);
}

TEST(PhraseIndexTest, EmptyIndexAndDamagedImages)
{
    const auto empty = PhraseIndex::FromImage(PhraseIndex::Build({}, "e"));
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->Longest(QStringLiteral("中")).length, 0);

    const QByteArray good = PhraseIndex::Build(Sample(), "sig");
    EXPECT_FALSE(PhraseIndex::FromImage(QByteArray()));
    EXPECT_FALSE(PhraseIndex::FromImage(good.left(40)));
    EXPECT_FALSE(PhraseIndex::FromImage(good.left(good.size() - 1)));  // the signature cut short
    QByteArray badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(PhraseIndex::FromImage(badMagic));
    // Every single damaged byte in the header, the buckets or the records is
    // either refused or harmless: no look-up may leave the image.
    for (qsizetype at = 8; at < good.size() && at < 300000; at += (at < 64 ? 1 : 977)) {
        QByteArray damaged = good;
        damaged[at] = char(damaged[at] ^ 0x5A);
        if (const auto index = PhraseIndex::FromImage(damaged)) {
            index->Longest(QStringLiteral("中国人民銀行"));
            index->Find(QStringLiteral("\xFFFF\xFFFF"));
        }
    }
}

TEST(PhraseIndexTest, AKeyCutShortInADamagedImageIsNotReadPast)
{
    // Twelve units of text, so that the last key's text ends the image (no
    // padding, no signature); that key is then made one unit long while it
    // sits among longer keys. Reading its units beyond that length would
    // leave the image, which the sanitizer build catches.
    QByteArray image = PhraseIndex::Build({{QStringLiteral("ab"), QStringLiteral("xyz"), 1},
                                           {QStringLiteral("abc"), QString(), 1},
                                           {QStringLiteral("abcd"), QString(), 1}},
                                          QByteArray());
    quint64 recordsOffset = 0;
    std::memcpy(&recordsOffset, image.constData() + 32, sizeof recordsOffset);
    const qsizetype lastKeyLength = qsizetype(recordsOffset) + 2 * 16 + 8;
    ASSERT_EQ(image[lastKeyLength], 4);
    ASSERT_EQ(image.right(8), QByteArray("a\0b\0c\0d\0", 8));
    image[lastKeyLength] = 1;
    // In a block of exactly its size, so that a unit past it is caught.
    const std::unique_ptr<char[]> exact(new char[size_t(image.size())]);
    std::memcpy(exact.get(), image.constData(), size_t(image.size()));
    const auto index = PhraseIndex::FromImage(QByteArray::fromRawData(exact.get(), image.size()));
    ASSERT_TRUE(index);
    std::vector<PhraseIndex::Match> matches;
    index->Prefixes(QStringLiteral("abcdef"), matches);
    EXPECT_LE(matches.size(), 3u);
}

TEST(PhraseIndexTest, CacheIsReusedAndRebuiltWhenOutdatedOrDamaged)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/sample.idx"));
    int builds = 0;
    const auto builder = [&builds]() -> std::optional<std::vector<PhraseIndex::Entry>> {
        ++builds;
        return Sample();
    };

    EXPECT_TRUE(PhraseIndex::Open(path, "v1", builder));
    EXPECT_EQ(builds, 1);
    EXPECT_TRUE(QFile::exists(path));
    const auto mapped = PhraseIndex::Open(path, "v1", builder);
    ASSERT_TRUE(mapped);
    EXPECT_EQ(builds, 1);  // read from the cache
    EXPECT_EQ(mapped->Find(QStringLiteral("中国"))->value, QStringLiteral("zhong1 guo2"));

    EXPECT_TRUE(PhraseIndex::Open(path, "v2", builder));
    EXPECT_EQ(builds, 2);
    EXPECT_TRUE(PhraseIndex::Open(path, "v2", builder));
    EXPECT_EQ(builds, 2);

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.resize(100);
    file.close();
    EXPECT_TRUE(PhraseIndex::Open(path, "v2", builder));
    EXPECT_EQ(builds, 3);

    // No data: no index. An unwritable cache still gives one.
    EXPECT_FALSE(PhraseIndex::Open(path, "v3", [] { return std::optional<std::vector<PhraseIndex::Entry>>(); }));
    EXPECT_TRUE(PhraseIndex::Open(QStringLiteral("/proc/kotobane/x.idx"), "v1", builder));
}

TEST(PhraseIndexTest, AFifoInPlaceOfTheCacheIsBuiltOver)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sample.idx"));
    test::FifoGuard fifo(path);
    ASSERT_TRUE(fifo.Made());
    const auto index = PhraseIndex::Open(path, "v1", [] { return std::optional(Sample()); });
    EXPECT_FALSE(fifo.Finish()) << "the open waited on the FIFO";
    ASSERT_TRUE(index);
    EXPECT_EQ(index->Find(QStringLiteral("中国"))->value, QStringLiteral("zhong1 guo2"));
    EXPECT_TRUE(QFileInfo(path).isFile());
}

TEST(PhraseIndexTest, ChecksumIsXxh64)
{
    // xxhsum -H1's figures, through every tail of the stripes.
    EXPECT_EQ(PhraseIndex::Xxh64(""), 0xEF46DB3751D8E999u);
    EXPECT_EQ(PhraseIndex::Xxh64("abcdefghijklm"), 0x934ADBC0EBC51325u);
    EXPECT_EQ(PhraseIndex::Xxh64("Nobody inspects the spammish repetition"), 0xFBCEA83C8A378BF1u);
}

// The structure checks cannot see damage inside the text; the checksum must.
TEST(PhraseIndexTest, ACacheWithAFlippedTextByteIsRebuilt)
{
    const struct {
        const char* where;
        double at;  // of the text part's bytes
    } cases[] = {{"first", 0.0}, {"middle", 0.5}, {"last", 1.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("sample.idx"));
        int builds = 0;
        const auto builder = [&builds]() -> std::optional<std::vector<PhraseIndex::Entry>> {
            ++builds;
            return Sample();
        };
        ASSERT_TRUE(PhraseIndex::Open(path, "v1", builder));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        QByteArray image = file.readAll();
        quint32 poolUnits = 0;
        quint64 poolOffset = 0;
        std::memcpy(&poolUnits, image.constData() + 12, sizeof poolUnits);
        std::memcpy(&poolOffset, image.constData() + 40, sizeof poolOffset);
        ASSERT_GT(poolUnits, 0u);
        const qsizetype at = qsizetype(poolOffset) + qsizetype(c.at * (poolUnits * 2 - 1));
        image[at] = char(image[at] ^ 0x20);
        ASSERT_TRUE(file.seek(0));
        ASSERT_EQ(file.write(image), image.size());
        file.close();

        const auto reopened = PhraseIndex::Open(path, "v1", builder);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(builds, 2);
        EXPECT_EQ(reopened->Find(QStringLiteral("中国"))->value, QStringLiteral("zhong1 guo2"));
        EXPECT_TRUE(PhraseIndex::Open(path, "v1", builder));
        EXPECT_EQ(builds, 2);  // the rebuilt cache was written back
    }
}

TEST(PhraseIndexTest, SourceSignatureFollowsTheFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("abc");
    file.close();
    const QByteArray first = SourceSignature({path}, "b1");
    EXPECT_FALSE(first.isEmpty());
    EXPECT_EQ(SourceSignature({path}, "b1"), first);
    EXPECT_NE(SourceSignature({path}, "b2"), first);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("d");
    file.close();
    EXPECT_NE(SourceSignature({path}, "b1"), first);
    EXPECT_TRUE(SourceSignature({path, dir.filePath(QStringLiteral("missing"))}, "b1").isEmpty());
}

}  // namespace
