#pragma once

#include <QString>

#include "platform/ImeService.h"
#include "platform/SystemServices.h"

namespace kotobane {

// Turns a phrase into its reading through the chosen input method: keeps
// that layout active on the user-interface thread, holds an input context
// of its own and returns the first candidate of the reverse conversion.
class CReadingEngine final {
public:
    CReadingEngine(ImeService& ime, Clock& clock, MessageBoxService& ui);
    virtual ~CReadingEngine();
    Q_DISABLE_COPY_MOVE(CReadingEngine)

    bool SelectIme(const QString& layoutId, Hwnd window);
    // "" or "(" + reading + ")".
    QString GetReading(const QString& phrase);
    void ReleaseIme();

    Himc Context() const { return m_context; }
    const QString& LayoutId() const { return m_layoutId; }
    Hwnd TargetWindow() const { return m_window; }

    // How long a look-up waits after it had to re-select the layout.
    static constexpr int kReselectWaitMs = 200;

private:
    // Whether layout prints as the selected identifier.
    bool IsSelectedLayout(Hkl layout);
    // "(" + the first candidate + ")", or "" when the list holds none.
    QString ReadCandidateList(const unsigned char* list, std::size_t size) const;

    ImeService& m_ime;
    Clock& m_clock;
    MessageBoxService& m_ui;

    Himc m_context = 0;
    QString m_layoutId;
    Hwnd m_window = 0;
    // A layout found to print as m_layoutId: every look-up checks the
    // active layout, and printing it each time costs two allocations.
    Hkl m_matchedLayout = 0;
    bool m_layoutMatched = false;
};

// "(" + the first candidate of a candidate list + ")", or "" when it holds none.
QString FirstCandidateInParentheses(const unsigned char* list, std::size_t size);

// The bare reverse conversion of phrase by the layout's input method,
// without making that layout the active one; "" when it gives none or the
// layout is not installed.
QString ReverseConversion(ImeService& ime, const QString& layoutId, const QString& phrase);

// Reads the last three characters of a layout identifier as a hexadecimal
// locale, the way the C library's wcstol does with base 16.
quint32 LocaleFromLayoutId(const QString& layoutId);

}  // namespace kotobane
