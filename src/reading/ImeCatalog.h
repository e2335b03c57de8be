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

// The description of a layout, or its "%X" form when it has none.
QString GetImeDescription(Hkl layout, ImeService& ime, MessageBoxService& ui);

// The language name of the low 16 bits of a handle or language number.
QString LanguageName(quint32 layoutOrLanguage);
// The same for text read as an unsigned hexadecimal number (its leading
// hexadecimal digits; none gives 0).
QString LanguageName(const QString& hexText);

}  // namespace kotobane
