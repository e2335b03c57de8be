#include "settings/COptionSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "core/DialogUnits.h"
#include "settings/CPageGer.h"
#include "settings/CPageHistory.h"
#include "settings/CPageIME.h"
#include "settings/CPageSpeech.h"

namespace kotobane {

COptionPage::COptionPage(const QString& caption, QSize size) : m_caption(caption)
{
    setFont(TemplateFont());
    setMinimumSize(Units(0, 0, size.width(), size.height()).size());
}

void COptionPage::Create()
{
    if (!m_created) {
        m_created = true;
        OnInitDialog();
    }
}

QRect COptionPage::Units(int x, int y, int width, int height) const
{
    return DialogToPixels(QRect(x, y, width, height), font());
}

void COptionPage::EnableSiblingsAfter(QWidget* first, bool enable)
{
    bool after = false;
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget == nullptr) {
            continue;
        }
        if (after) {
            widget->setEnabled(enable);
        }
        after = after || widget == first;
    }
}

COptionSheet::COptionSheet(OptionSheetServices services, QWidget* parent)
    : QDialog(parent),
      m_tabs(new QTabWidget(this))
{
    setWindowTitle(QStringLiteral("Option"));
    // A fixed sheet: no minimise, maximise or help button.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    m_pages = {new CPageGer(services.settings, services.ui, services.hotKeys),
               new CPageIME(services.settings, services.catalog),
               new CPageSpeech(services.settings, services.speech, services.ui),
               new CPageHistory(services.settings, services.ui)};
    for (COptionPage* page : m_pages) {
        m_tabs->addTab(page, page->Caption());
    }

    // OK and Cancel only: the pages write nothing before the sheet closes.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &COptionSheet::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &COptionSheet::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_tabs->setCurrentIndex(General);
    m_pages[General]->Create();
    // The keyboard starts on the front page's first control, not on the tabs.
    for (QWidget* control : m_pages[General]->findChildren<QWidget*>()) {
        if ((control->focusPolicy() & Qt::TabFocus) != 0) {
            control->setFocus(Qt::OtherFocusReason);
            break;
        }
    }
    connect(m_tabs, &QTabWidget::currentChanged, this, &COptionSheet::OnTabChanged);
}

bool COptionSheet::SetActivePage(int index)
{
    m_tabs->setCurrentIndex(index);
    return m_current == index;
}

void COptionSheet::OnTabChanged(int index)
{
    if (m_reverting || index == m_current || index < 0) {
        return;
    }
    if (!m_pages[m_current]->OnKillActive()) {
        m_reverting = true;
        m_tabs->setCurrentIndex(m_current);
        m_reverting = false;
        return;
    }
    m_current = index;
    m_pages[index]->Create();
}

void COptionSheet::accept()
{
    if (!m_pages[m_current]->OnKillActive()) {
        return;
    }
    for (COptionPage* page : m_pages) {
        if (page->Created()) {
            page->OnOK();
        }
    }
    QDialog::accept();
}

void COptionSheet::reject()
{
    for (COptionPage* page : m_pages) {
        if (page->Created()) {
            page->OnCancel();
        }
    }
    QDialog::reject();
}

}  // namespace kotobane
