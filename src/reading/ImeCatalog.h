#pragma once

#include <QList>
#include <QString>

#include "platform/ImeService.h"
#include "platform/SystemServices.h"

namespace kotobane {

struct ImeCatalogEntry {
    QString key;  // the layout handle in "%X" form, as keylayout stores it
    QString text;  // "description (language)"
    bool operator==(const ImeCatalogEntry&) const = default;
};

// The installed layouts in the platform's order; filled once at start-up.
using ImeCatalog = QList<ImeCatalogEntry>;

inline constexpr int kMaxLayouts = 25;
inline constexpr int kDescriptionCapacity = 1000;

// Appends one entry per installed layout (never clears).
void LoadIMEList(ImeCatalog& catalog, ImeService& ime, MessageBoxService& ui);

// The layout to read with in this run, and what to tell the user about it.
struct ReadingLayoutChoice {
    QString layout;
    QString notice;  // empty unless the stored layout is not installed
};

// The stored layout in the catalogue's spelling when the catalogue lists it
// (compared without regard to case), else fallback with a notice naming the
// missing one. An empty catalogue proves nothing: the stored one is kept.
ReadingLayoutChoice ChooseReadingLayout(const ImeCatalog& catalog, const QString& stored, const QString& fallback);

// The description of a layout, or its "%X" form when it has none.
QString GetImeDescription(Hkl layout, ImeService& ime, MessageBoxService& ui);

// The language name of the low 16 bits of a handle or language number.
QString LanguageName(quint32 layoutOrLanguage);
// The same for text read as an unsigned hexadecimal number (its leading
// hexadecimal digits; none gives 0).
QString LanguageName(const QString& hexText);

}  // namespace kotobane
