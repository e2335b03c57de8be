#pragma once

#include <QFont>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <functional>
#include <optional>

#include "settings/COptionSheet.h"

namespace kotobane {

// The IME page: the back-end that gives the readings, and the text box's
// font.
class CPageIME final : public COptionPage {
    Q_OBJECT
public:
    CPageIME(Settings& settings, const ImeCatalog& catalog);

    QListWidget* List() const { return m_list; }
    QLabel* FontLabel() const { return m_fontText; }
    QPushButton* ChangeButton() const { return m_change; }
    const LogFont& WorkingFont() const { return m_font; }

    void OnOK() override;

    // The font dialog; replaceable for tests. No font: cancelled.
    std::function<std::optional<QFont>(const QFont& current, QWidget* parent)> askFont;
    // The screen's vertical dots per inch; replaceable for tests.
    std::function<int()> dotsPerInch;

protected:
    void OnInitDialog() override;

private:
    void ShowFontDescription();
    void ChangeFont();

    Settings& m_settings;
    const ImeCatalog& m_catalog;
    LogFont m_font;
    QListWidget* m_list;
    QLabel* m_fontText;
    QPushButton* m_change;
};

}  // namespace kotobane
