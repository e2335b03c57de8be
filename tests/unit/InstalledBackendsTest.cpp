#include "backends/InstalledBackends.h"

#include <QFile>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kotobane
