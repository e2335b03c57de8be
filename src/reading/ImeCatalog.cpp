#include "reading/ImeCatalog.h"

#include <algorithm>
#include <exception>
#include <vector>

#include "core/HexDigits.h"
#include "core/SystemError.h"

namespace kotobane {

QString LanguageName(quint32 layoutOrLanguage)
{
    switch (layoutOrLanguage & 0xFFFFu) {
    case 0x0404:
        return QStringLiteral("Trad_Chinese");
    case 0x0409:
        return QStringLiteral("English");
    case 0x0411:
        return QStringLiteral("Japanese");
    case 0x0412:
        return QStringLiteral("Korean");
    case 0x0804:
        return QStringLiteral("Simp_Chinese");
    default:
        return QStringLiteral("Default");
    }
}

QString LanguageName(const QString& hexText)
{
    return LanguageName(LeadingHex(hexText));
}

QString GetImeDescription(Hkl layout, ImeService& ime, MessageBoxService& ui)
{
    QString handle = LayoutText(layout);
    try {
        std::vector<char16_t> buffer(kDescriptionCapacity, u'\0');
        const int copied = ime.ImmGetDescriptionW(layout, buffer.data(), kDescriptionCapacity);
        if (copied > 0) {
            return QString::fromUtf16(buffer.data(), qMin(copied, kDescriptionCapacity - 1));
        }
        if (copied == 0) {
            return handle;
        }
    } catch (const std::exception& e) {
        ui.MessageBox(QStringLiteral("error"), MB_OK);
        // The message is cut to fit a buffer of 1023 units with its terminator.
        ui.MessageBox(QStringLiteral("error on GetImeDescription: %1").arg(QString::fromLocal8Bit(e.what())).left(1022),
                      MB_OK);
        return handle;
    } catch (...) { }
    ShowSystemError(ui, QStringLiteral("error on GetImeDescription: (hkl=") + handle + u')', ime.GetLastError());
    return handle;
}

ReadingLayoutChoice ChooseReadingLayout(const ImeCatalog& catalog, const QString& stored, const QString& fallback)
{
    const auto find = [&catalog](const QString& key) {
        return std::find_if(catalog.begin(), catalog.end(), [&key](const ImeCatalogEntry& entry) {
            return entry.key.compare(key, Qt::CaseInsensitive) == 0;
        });
    };
    if (catalog.isEmpty()) {
        return {stored, QString()};
    }
    if (const auto listed = find(stored); listed != catalog.end()) {
        return {listed->key, QString()};
    }
    // A back-end whose package was removed, or a key nobody has: selecting
    // it would fail on every look-up, so this run reads with the locale's.
    const auto usable = find(fallback);
    const QString used = usable != catalog.end() ? QStringLiteral("%1, %2,").arg(usable->key, usable->text) : fallback;
    return {usable != catalog.end() ? usable->key : fallback,
            QStringLiteral("The reading back-end %1 is not installed; using %2 for now. %1 stays "
                           "chosen and is used again once it is installed.")
                .arg(stored, used)};
}

void LoadIMEList(ImeCatalog& catalog, ImeService& ime, MessageBoxService& ui)
{
    try {
        Hkl layouts[kMaxLayouts] = {};
        const int count = qBound(0, ime.GetKeyboardLayoutList(kMaxLayouts, layouts), kMaxLayouts);
        for (int i = 0; i < count; ++i) {
            const QString description = GetImeDescription(layouts[i], ime, ui);
            if (description.isEmpty()) {
                continue;
            }
            catalog.append(
                {LayoutText(layouts[i]), QStringLiteral("%1 (%2)").arg(description, LanguageName(layouts[i]))});
        }
    } catch (const std::exception&) {
        ShowSystemError(ui, QStringLiteral("error on LoadIMEList"), ime.GetLastError());
    }
}

}  // namespace kotobane
