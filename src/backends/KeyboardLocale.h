#pragma once

#include <QLocale>
#include <QtGlobal>

#include <vector>

#include "platform/ImeService.h"

namespace kotobane {

// The language identifier (LCID) that stands for a locale: its language
// and territory, else its language alone; English (US) when unknown.
quint16 LanguageIdForLocale(const QLocale& locale);

// Whether an identifier is one the locale table knows, or the language
// alone of one it knows, i.e. a thread locale that can be set.
bool IsKnownLanguageId(quint32 languageId);

// The plain keyboard layout of a language: language in both halves, as in
// 04090409 for a US layout.
constexpr Hkl PlainLayoutFor(quint16 languageId)
{
    return (Hkl(languageId) << 16) | languageId;
}

// The layout active at first start: the back-end for the locale's Chinese
// or Korean, else the first Japanese back-end, else the plain layout.
Hkl FirstStartLayout(const QLocale& locale, const std::vector<Hkl>& installed, Hkl plainLayout);

}  // namespace kotobane
