#include "backends/KeyboardLocale.h"

#include <algorithm>

namespace kotobane {

namespace {

struct LocaleId {
    QLocale::Language language;
    QLocale::Territory territory;  // AnyTerritory: the language's default
    quint16 id;
};

constexpr LocaleId kLocaleIds[] = {
    {QLocale::Arabic, QLocale::AnyTerritory, 0x0401},
    {QLocale::Bulgarian, QLocale::AnyTerritory, 0x0402},
    {QLocale::Catalan, QLocale::AnyTerritory, 0x0403},
    {QLocale::Chinese, QLocale::Taiwan, 0x0404},
    {QLocale::Chinese, QLocale::HongKong, 0x0C04},
    {QLocale::Chinese, QLocale::Macao, 0x1404},
    {QLocale::Chinese, QLocale::Singapore, 0x1004},
    {QLocale::Chinese, QLocale::AnyTerritory, 0x0804},
    {QLocale::Czech, QLocale::AnyTerritory, 0x0405},
    {QLocale::Danish, QLocale::AnyTerritory, 0x0406},
    {QLocale::German, QLocale::Austria, 0x0C07},
    {QLocale::German, QLocale::Switzerland, 0x0807},
    {QLocale::German, QLocale::AnyTerritory, 0x0407},
    {QLocale::Greek, QLocale::AnyTerritory, 0x0408},
    {QLocale::English, QLocale::UnitedKingdom, 0x0809},
    {QLocale::English, QLocale::Australia, 0x0C09},
    {QLocale::English, QLocale::Canada, 0x1009},
    {QLocale::English, QLocale::NewZealand, 0x1409},
    {QLocale::English, QLocale::Ireland, 0x1809},
    {QLocale::English, QLocale::India, 0x4009},
    {QLocale::English, QLocale::AnyTerritory, 0x0409},
    {QLocale::Spanish, QLocale::Mexico, 0x080A},
    {QLocale::Spanish, QLocale::AnyTerritory, 0x0C0A},
    {QLocale::Finnish, QLocale::AnyTerritory, 0x040B},
    {QLocale::French, QLocale::Belgium, 0x080C},
    {QLocale::French, QLocale::Canada, 0x0C0C},
    {QLocale::French, QLocale::Switzerland, 0x100C},
    {QLocale::French, QLocale::AnyTerritory, 0x040C},
    {QLocale::Hebrew, QLocale::AnyTerritory, 0x040D},
    {QLocale::Hungarian, QLocale::AnyTerritory, 0x040E},
    {QLocale::Icelandic, QLocale::AnyTerritory, 0x040F},
    {QLocale::Italian, QLocale::AnyTerritory, 0x0410},
    {QLocale::Japanese, QLocale::AnyTerritory, 0x0411},
    {QLocale::Korean, QLocale::AnyTerritory, 0x0412},
    {QLocale::Dutch, QLocale::Belgium, 0x0813},
    {QLocale::Dutch, QLocale::AnyTerritory, 0x0413},
    {QLocale::NorwegianBokmal, QLocale::AnyTerritory, 0x0414},
    {QLocale::Polish, QLocale::AnyTerritory, 0x0415},
    {QLocale::Portuguese, QLocale::Portugal, 0x0816},
    {QLocale::Portuguese, QLocale::AnyTerritory, 0x0416},
    {QLocale::Romanian, QLocale::AnyTerritory, 0x0418},
    {QLocale::Russian, QLocale::AnyTerritory, 0x0419},
    {QLocale::Croatian, QLocale::AnyTerritory, 0x041A},
    {QLocale::Slovak, QLocale::AnyTerritory, 0x041B},
    {QLocale::Swedish, QLocale::AnyTerritory, 0x041D},
    {QLocale::Thai, QLocale::AnyTerritory, 0x041E},
    {QLocale::Turkish, QLocale::AnyTerritory, 0x041F},
    {QLocale::Indonesian, QLocale::AnyTerritory, 0x0421},
    {QLocale::Ukrainian, QLocale::AnyTerritory, 0x0422},
    {QLocale::Slovenian, QLocale::AnyTerritory, 0x0424},
    {QLocale::Vietnamese, QLocale::AnyTerritory, 0x042A},
};

constexpr quint16 kEnglishUs = 0x0409;

}  // namespace

quint16 LanguageIdForLocale(const QLocale& locale)
{
    const LocaleId* fallback = nullptr;
    for (const LocaleId& entry : kLocaleIds) {
        if (entry.language != locale.language()) {
            continue;
        }
        if (entry.territory == locale.territory()) {
            return entry.id;
        }
        if (entry.territory == QLocale::AnyTerritory) {
            fallback = &entry;
        }
    }
    return fallback ? fallback->id : kEnglishUs;
}

bool IsKnownLanguageId(quint32 languageId)
{
    // A language alone (sublanguage 0, as 0009 for English) is a locale
    // too. The reading engine asks for it: it reads a locale from the last
    // three digits of a layout, and of 10091009 (English, Canada) that is 009.
    constexpr quint32 kPrimaryLanguage = 0x3FF;
    return std::any_of(std::begin(kLocaleIds), std::end(kLocaleIds), [&](const LocaleId& entry) {
        return entry.id == languageId || (entry.id & kPrimaryLanguage) == languageId;
    });
}

Hkl FirstStartLayout(const QLocale& locale, const std::vector<Hkl>& installed, Hkl plainLayout)
{
    const auto withLanguage = [&](quint16 language) -> Hkl {
        for (const Hkl layout : installed) {
            if ((layout & 0xFFFFu) == language) {
                return layout;
            }
        }
        return 0;
    };
    Hkl preferred = 0;
    if (locale.language() == QLocale::Chinese) {
        const bool traditional = locale.script() == QLocale::TraditionalHanScript
                                 || locale.territory() == QLocale::Taiwan || locale.territory() == QLocale::HongKong
                                 || locale.territory() == QLocale::Macao;
        preferred = withLanguage(traditional ? 0x0404 : 0x0804);
    } else if (locale.language() == QLocale::Korean) {
        preferred = withLanguage(0x0412);
    }
    if (preferred == 0) {
        preferred = withLanguage(0x0411);
    }
    return preferred != 0 ? preferred : plainLayout;
}

}  // namespace kotobane
