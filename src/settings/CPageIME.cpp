#include "settings/CPageIME.h"

#include <QFontDialog>

#include "settings/FontMapping.h"
#include "settings/OptionPagesLogic.h"

namespace kotobane {

CPageIME::CPageIME(Settings& settings, const ImeCatalog& catalog)
    : COptionPage(QStringLiteral("IME"), QSize(154, 101)),
      m_settings(settings),
      m_catalog(catalog),
      m_font(settings.TextFont.value_or(DefaultLogFont())),
      m_list(new QListWidget(this)),
      m_fontText(nullptr),
      m_change(nullptr)
{
    // Template 104.
    auto* prompt = new QLabel(QStringLiteral("Please select the IME."), this);
    // Wider than the template, whose 73 units cut off the full stop here.
    prompt->setGeometry(Units(0, 0, 100, 8));
    prompt->setBuddy(m_list);
    m_list->setGeometry(Units(0, 11, 153, 60));
    m_list->setAccessibleName(QStringLiteral("Please select the IME."));
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* fontLabel = new QLabel(QStringLiteral("Font of TextBox"), this);
    fontLabel->setGeometry(Units(2, 76, 54, 8));
    m_fontText = new QLabel(this);
    m_fontText->setGeometry(Units(2, 86, 113, 12));
    m_change = new QPushButton(QStringLiteral("Change"), this);
    m_change->setGeometry(Units(120, 86, 33, 12));
    m_change->setAccessibleDescription(QStringLiteral("Font of TextBox"));
    connect(m_change, &QPushButton::clicked, this, &CPageIME::ChangeFont);

    askFont = [](const QFont& current, QWidget* parent) -> std::optional<QFont> {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, current, parent);
        return ok ? std::optional<QFont>(chosen) : std::nullopt;
    };
    dotsPerInch = [this] { return logicalDpiY(); };
}

void CPageIME::OnInitDialog()
{
    QString selection;
    QStringList texts;
    for (const ImeCatalogEntry& entry : m_catalog) {
        m_list->addItem(entry.text);
        texts.append(entry.text);
        if (entry.key == m_settings.keylayout) {
            selection = entry.text;
        }
    }
    m_list->setCurrentRow(SelectByPrefix(texts, selection));
    ShowFontDescription();
}

void CPageIME::ShowFontDescription()
{
    m_fontText->setText(FontDescription(m_font, dotsPerInch()));
}

void CPageIME::ChangeFont()
{
    if (const std::optional<QFont> chosen = askFont(ToQFont(m_font), this)) {
        m_font = FromQFont(*chosen, m_font);
        ShowFontDescription();
    }
}

void CPageIME::OnOK()
{
    const int row = m_list->currentRow();
    if (row >= 0 && row < m_catalog.size() && m_list->currentItem() != nullptr && m_list->currentItem()->isSelected()) {
        m_settings.keylayout = m_catalog[row].key;
    }
    const std::optional<LogFont> working = m_font;
    CopyFont(&m_settings.TextFont, &working);
}

}  // namespace kotobane
