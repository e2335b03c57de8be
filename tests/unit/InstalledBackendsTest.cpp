#include "backends/InstalledBackends.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "backends/ChineseBackend.h"
#include "backends/HanjaBackend.h"
#include "backends/MecabBackend.h"

namespace kotobane {
namespace {

// The catalogue's order: Japanese, Simplified and Traditional Chinese,
// Korean; each only when its data is installed.
TEST(InstalledBackendsTest, ListsEachInstalledBackendInTheCatalogueOrder)
{
    std::vector<Hkl> expected;
    for (const MecabBackend::Kind kind : {MecabBackend::Kind::Ipadic, MecabBackend::Kind::Unidic}) {
        if (MecabBackend::Open(kind)) {
            expected.push_back(kind == MecabBackend::Kind::Ipadic ? 0xE0010411 : 0xE0020411);
        }
    }
    if (!ChineseBackend::InstalledDataFiles().table.isEmpty()) {
        expected.push_back(0xE0010804);
        expected.push_back(0xE0010404);
    }
    if (QFile::exists(QString::fromLatin1(HanjaBackend::kDefaultDataPath))) {
        expected.push_back(0xE0010412);
    }

    std::vector<Hkl> handles;
    for (const auto& backend : CreateInstalledBackends()) {
        handles.push_back(backend->Handle());
        EXPECT_FALSE(backend->Description().isEmpty());
    }
    EXPECT_EQ(handles, expected);
}

// Listing the back-ends opens none of them: the index of a back-end is
// built at its first reading, under the busy signal, and only then.
TEST(InstalledBackendsTest, BackEndsOpenAtTheirFirstReadingOnly)
{
    if (!QFile::exists(QString::fromLatin1(HanjaBackend::kDefaultDataPath))) {
        GTEST_SKIP() << "libhangul-data is not installed";
    }
    QTemporaryDir cache;
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    std::vector<bool> busy;
    auto backends = CreateInstalledBackends([&busy](bool b) { busy.push_back(b); });
    EXPECT_TRUE(QDir(cache.path()).isEmpty());
    EXPECT_TRUE(busy.empty());
    for (const auto& backend : backends) {
        if (backend->Handle() == HanjaBackend::kHandle) {
            EXPECT_EQ(backend->Reading(QStringLiteral("韓國")), QStringLiteral("한국"));
            EXPECT_EQ(backend->Reading(QStringLiteral("國")), QStringLiteral("국"));
        }
    }
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
    EXPECT_TRUE(QFile::exists(cache.filePath(QStringLiteral("kotobane/hanja.idx"))));
    qputenv("XDG_CACHE_HOME", saved);
}

TEST(InstalledBackendsTest, ABackEndThatCannotOpenIsTriedOnceAndReadsNothing)
{
    int opened = 0;
    LazyBackend lazy(0xE0010411, QStringLiteral("Broken"), [&opened]() -> std::unique_ptr<ReadingBackend> {
        ++opened;
        return nullptr;
    });
    EXPECT_EQ(lazy.Handle(), 0xE0010411u);
    EXPECT_FALSE(lazy.Opened());
    EXPECT_EQ(lazy.Reading(QStringLiteral("東京")), QString());
    EXPECT_EQ(lazy.Reading(QStringLiteral("東京")), QString());
    EXPECT_EQ(opened, 1);
    EXPECT_TRUE(lazy.Opened());
}

}  // namespace
}  // namespace kotobane
