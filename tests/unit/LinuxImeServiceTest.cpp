#include "backends/LinuxImeService.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QSet>

#include "backends/KeyboardLocale.h"
#include "fakes/FakeBackend.h"
#include "fakes/FakePlatform.h"
#include "reading/ImeCatalog.h"
#include "reading/ReadingEngine.h"

using namespace kotobane;
using namespace kotobane::test;
using ::testing::ElementsAre;

namespace {

struct Service {
    FakeBackend* japanese = nullptr;
    FakeBackend* chinese = nullptr;
    std::unique_ptr<LinuxImeService> ime;

    explicit Service(const QLocale& locale, bool withJapanese = true, bool withChinese = true)
    {
        std::vector<std::unique_ptr<ReadingBackend>> backends;
        if (withJapanese) {
            auto b = std::make_unique<FakeBackend>(0xE0010411, QStringLiteral("Fake Japanese"));
            japanese = b.get();
            backends.push_back(std::move(b));
        }
        if (withChinese) {
            auto b = std::make_unique<FakeBackend>(0xE0010804, QStringLiteral("Fake Pinyin"));
            chinese = b.get();
            backends.push_back(std::move(b));
        }
        ime = std::make_unique<LinuxImeService>(std::move(backends), locale);
    }
};

TEST(LinuxImeService, ListsBackendsThenThePlainLayoutOfTheLocale)
{
    Service s(QLocale(QLocale::English, QLocale::UnitedStates));
    Recorder log;
    FakeMessageBox ui{log};
    ImeCatalog catalog;
    LoadIMEList(catalog, *s.ime, ui);
    EXPECT_THAT(catalog,
                ElementsAre(ImeCatalogEntry{QStringLiteral("E0010411"), QStringLiteral("Fake Japanese (Japanese)")},
                            ImeCatalogEntry{QStringLiteral("E0010804"), QStringLiteral("Fake Pinyin (Simp_Chinese)")},
                            ImeCatalogEntry{QStringLiteral("4090409"), QStringLiteral("4090409 (English)")}));

    Hkl one[1] = {};
    EXPECT_EQ(s.ime->GetKeyboardLayoutList(1, one), 1);
    EXPECT_EQ(one[0], 0xE0010411u);

    EXPECT_EQ(Service(QLocale(QLocale::German, QLocale::Germany)).ime->PlainLayout(), 0x04070407u);
    EXPECT_EQ(Service(QLocale(QLocale::English, QLocale::UnitedKingdom)).ime->PlainLayout(), 0x08090809u);
    EXPECT_EQ(Service(QLocale::c()).ime->PlainLayout(), 0x04090409u);
}

TEST(LinuxImeService, FirstStartLayoutFollowsTheLocale)
{
    EXPECT_EQ(Service(QLocale(QLocale::English, QLocale::UnitedStates)).ime->GetKeyboardLayout(), 0xE0010411u);
    EXPECT_EQ(Service(QLocale(QLocale::Chinese, QLocale::China)).ime->GetKeyboardLayout(), 0xE0010804u);
    // No Traditional back-end installed: Japanese is the fall-back.
    EXPECT_EQ(Service(QLocale(QLocale::Chinese, QLocale::Taiwan)).ime->GetKeyboardLayout(), 0xE0010411u);
    EXPECT_EQ(Service(QLocale(QLocale::Korean, QLocale::SouthKorea)).ime->GetKeyboardLayout(), 0xE0010411u);
    // Nothing installed: the plain layout.
    EXPECT_EQ(Service(QLocale(QLocale::French, QLocale::France), false, false).ime->GetKeyboardLayout(), 0x040C040Cu);
    EXPECT_EQ(FirstStartLayout(QLocale(QLocale::Chinese, QLocale::HongKong), {0xE0010404, 0xE0010804}, 1), 0xE0010404u);
    EXPECT_EQ(FirstStartLayout(QLocale(QLocale::Korean), {0xE0010411, 0xE0010412}, 1), 0xE0010412u);
}

TEST(LinuxImeService, LoadingAcceptsInstalledLayoutsInEitherCase)
{
    Service s(QLocale::c());
    EXPECT_EQ(s.ime->LoadKeyboardLayoutW(QStringLiteral("4090409"), KLF_ACTIVATE), 0x04090409u);
    EXPECT_EQ(s.ime->GetKeyboardLayout(), 0x04090409u);
    EXPECT_EQ(s.ime->LoadKeyboardLayoutW(QStringLiteral("e0010804"), 0), 0xE0010804u);
    EXPECT_EQ(s.ime->GetKeyboardLayout(), 0x04090409u);  // not activated

    for (const char* bad : {"E0030411", "", "123456789", "E001041G", " E0010411"}) {
        EXPECT_EQ(s.ime->LoadKeyboardLayoutW(QString::fromLatin1(bad), KLF_ACTIVATE), 0u) << bad;
        EXPECT_EQ(s.ime->GetLastError(), quint32(EINVAL));
    }
    EXPECT_EQ(s.ime->GetKeyboardLayout(), 0x04090409u);
}

TEST(LinuxImeService, ThreadLocaleRefusesUnknownLanguages)
{
    Service s(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(s.ime->GetThreadLocale(), 0x409u);
    EXPECT_TRUE(s.ime->SetThreadLocale(0x411));
    EXPECT_FALSE(s.ime->SetThreadLocale(0xABC));
    EXPECT_EQ(s.ime->GetThreadLocale(), 0x411u);
}

// The engine sets the thread locale from the last three digits of a layout,
// which for 10091009 is 009: every listed layout must still select silently.
TEST(LinuxImeService, EveryListedLayoutSelectsWithoutAMessage)
{
    QSet<QString> selected;
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        Service s(locale);
        Recorder log;
        FakeClock clock{log};
        FakeMessageBox ui{log};
        CReadingEngine engine(*s.ime, clock, ui);
        Hkl layouts[25] = {};
        for (int i = 0, n = s.ime->GetKeyboardLayoutList(25, layouts); i < n; ++i) {
            EXPECT_TRUE(engine.SelectIme(LayoutText(layouts[i]), 1014));
            selected.insert(LayoutText(layouts[i]));
        }
        EXPECT_THAT(log.calls, ::testing::IsEmpty()) << Utf8(locale.name());
    }
    for (const char* layout : {"10091009", "40094009", "100C100C", "10041004", "4090409", "4110411"}) {
        EXPECT_TRUE(selected.contains(QString::fromLatin1(layout))) << layout;
    }
}

TEST(LinuxImeService, ContextsFollowTheirLifecycle)
{
    Service s(QLocale::c());
    LinuxImeService& ime = *s.ime;
    const Himc a = ime.ImmCreateContext();
    const Himc b = ime.ImmCreateContext();
    EXPECT_NE(a, b);
    EXPECT_EQ(ime.ImmAssociateContext(7, a), 0u);
    EXPECT_EQ(ime.ImmAssociateContext(7, b), a);
    EXPECT_FALSE(ime.ImmGetOpenStatus(a));
    EXPECT_TRUE(ime.ImmSetOpenStatus(a, true));
    EXPECT_TRUE(ime.ImmGetOpenStatus(a));
    EXPECT_TRUE(ime.ImmDestroyContext(a));
    EXPECT_FALSE(ime.ImmDestroyContext(a));
    EXPECT_FALSE(ime.ImmSetOpenStatus(a, true));
    EXPECT_FALSE(ime.ImmDestroyContext(0));  // the default context is not ours
    EXPECT_TRUE(ime.ImmDestroyContext(b));
    EXPECT_EQ(ime.ImmAssociateContext(7, a), 0u);  // b's association went with it
}

TEST(LinuxImeService, CandidateListLayoutAndSizeQuery)
{
    Service s(QLocale::c());
    s.japanese->readings[QStringLiteral("字")] = QStringLiteral("じ");
    LinuxImeService& ime = *s.ime;
    const Himc context = ime.ImmCreateContext();
    const QString phrase = QStringLiteral("字");

    const quint32 size = ime.ImmGetConversionListW(0xE0010411, context, phrase, nullptr, 0, GCL_REVERSECONVERSION);
    ASSERT_EQ(size, 24u + 4u + 4u);
    std::vector<unsigned char> buffer(size + 1, 0xEE);
    EXPECT_EQ(ime.ImmGetConversionListW(0xE0010411, context, phrase, buffer.data(), size - 1, GCL_REVERSECONVERSION),
              0u);  // too small: refused
    EXPECT_EQ(ime.ImmGetConversionListW(0xE0010411, context, phrase, buffer.data(), size, GCL_REVERSECONVERSION), size);
    // Every field is written over what the buffer held.
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data()), size);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kStyle), 1u);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kCount), 1u);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kSelection), 0u);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kPageStart), 0u);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kPageSize), 1u);
    EXPECT_EQ(qFromLittleEndian<quint32>(buffer.data() + CandidateListLayout::kOffsets), 28u);
    EXPECT_EQ(qFromLittleEndian<quint16>(buffer.data() + 28), u'じ');
    EXPECT_EQ(qFromLittleEndian<quint16>(buffer.data() + 30), 0u);
    EXPECT_EQ(buffer[size], 0xEE);  // nothing written past the given length
    EXPECT_EQ(s.japanese->conversions, 1);  // the fill reused the size query's reading

    // A plain layout, an unknown context or another flag convert nothing.
    EXPECT_EQ(ime.ImmGetConversionListW(0x04090409, context, phrase, nullptr, 0, GCL_REVERSECONVERSION), 0u);
    EXPECT_EQ(ime.ImmGetConversionListW(0xE0010411, 999, phrase, nullptr, 0, GCL_REVERSECONVERSION), 0u);
    EXPECT_EQ(ime.ImmGetConversionListW(0xE0010411, context, phrase, nullptr, 0, 1), 0u);
    // No reading: no list.
    EXPECT_EQ(ime.ImmGetConversionListW(0xE0010411, context, QStringLiteral("?"), nullptr, 0, GCL_REVERSECONVERSION),
              0u);
}

TEST(LinuxImeService, EngineReadsThroughTheRealService)
{
    Service s(QLocale::c());
    s.japanese->readings[QStringLiteral("漢字")] = QStringLiteral("かんじ");
    s.chinese->readings[QStringLiteral("中国")] = QStringLiteral("zhōng guó");
    Recorder log;
    FakeClock clock{log};
    FakeMessageBox ui{log};
    CReadingEngine engine(*s.ime, clock, ui);
    engine.SelectIme(QStringLiteral("E0010411"), 1014);
    EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QStringLiteral("(かんじ)"));
    engine.SelectIme(QStringLiteral("E0010804"), 1014);
    EXPECT_EQ(engine.GetReading(QStringLiteral("中国")), QStringLiteral("(zhōng guó)"));
    engine.SelectIme(QStringLiteral("4090409"), 1014);
    EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QString());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(clock.sleeps.empty());

    // Someone else switched the layout: the engine switches back by itself.
    s.ime->LoadKeyboardLayoutW(QStringLiteral("E0010411"), KLF_ACTIVATE);
    EXPECT_EQ(engine.GetReading(QStringLiteral("漢字")), QString());
    EXPECT_EQ(clock.sleeps.size(), 1u);
}

TEST(LinuxImeService, DescriptionsAreCutToTheBuffer)
{
    Service s(QLocale::c());
    char16_t buffer[5] = {u'x', u'x', u'x', u'x', u'x'};
    EXPECT_EQ(s.ime->ImmGetDescriptionW(0xE0010411, buffer, 5), 4);
    EXPECT_EQ(QString::fromUtf16(buffer), QStringLiteral("Fake"));
    EXPECT_EQ(s.ime->ImmGetDescriptionW(0x04090409, buffer, 5), 0);
}

}  // namespace
