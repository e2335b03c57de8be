#include "settings/CPageHistory.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "core/MessageBoxService.h"
#include "settings/OptionPagesLogic.h"

namespace kotobane {

CPageHistory::CPageHistory(Settings& settings, MessageBoxService& ui)
    : COptionPage(QStringLiteral("History"), QSize(110, 96)),
      m_settings(settings),
      m_ui(ui),
      m_clock(settings.Clock),
      m_days(settings.Days),
      m_timeChoice(settings.DispOnStart ? 0 : 1),
      m_autoFlag(settings.AutoDispHis ? 1 : 0),
      m_auto(new QCheckBox(QStringLiteral("Automatically display History"), this))
{
    // Template 132, in its window order: the rules enable "everything after
    // the check box" by that order.
    m_auto->setGeometry(Units(0, 1, 110, 10));
    auto* interval = new QGroupBox(QStringLiteral("Interval of display History"), this);
    interval->setGeometry(Units(0, 14, 110, 28));
    m_daysEdit = new QLineEdit(this);
    m_daysEdit->setGeometry(Units(8, 25, 23, 12));
    m_daysEdit->setAlignment(Qt::AlignRight);
    m_daysEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_daysEdit));
    m_daysEdit->setAccessibleName(QStringLiteral("Interval of display History, Days"));
    auto* daysLabel = new QLabel(QStringLiteral("Days"), this);
    daysLabel->setGeometry(Units(38, 25, 32, 12));
    daysLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    auto* time = new QGroupBox(QStringLiteral("Time of display History"), this);
    time->setGeometry(Units(0, 47, 110, 46));
    m_onStart = new QRadioButton(QStringLiteral("On App. started"), this);
    m_onStart->setGeometry(Units(8, 60, 68, 10));
    m_onClock = new QRadioButton(QStringLiteral("On clock"), this);
    m_onClock->setGeometry(Units(8, 73, 44, 10));
    auto* group = new QButtonGroup(this);
    group->addButton(m_onStart, 0);
    group->addButton(m_onClock, 1);
    m_picker = new QTimeEdit(this);
    // Wider than the template's 42 units, which leave no room for the
    // spin buttons beside "00:00:00" here; it still ends inside its group.
    m_picker->setGeometry(Units(55, 73, 52, 12));
    m_picker->setDisplayFormat(QStringLiteral("HH:mm:ss"));
    m_picker->setAlignment(Qt::AlignRight);
    m_picker->setAccessibleName(QStringLiteral("On clock"));

    connect(m_onStart, &QRadioButton::clicked, this, &CPageHistory::PickerRule);
    connect(m_onClock, &QRadioButton::clicked, this, &CPageHistory::PickerRule);
    connect(m_auto, &QCheckBox::clicked, this, &CPageHistory::CheckBoxRule);
}

bool CPageHistory::UpdateData(bool save)
{
    if (!save) {
        m_picker->setTime(m_clock.time());
        m_daysEdit->setText(QString::number(m_days));
        (m_timeChoice == 0 ? m_onStart : m_onClock)->setChecked(true);
        m_auto->setChecked(m_autoFlag == 1);
        return true;
    }
    // The picker edits the time of day; the date travels unchanged.
    m_clock = QDateTime(m_clock.date(), m_picker->time());
    if (const std::optional<QString> refusal = ReadDays(m_daysEdit->text(), m_days)) {
        m_ui.MessageBox(*refusal, MB_OK | MB_ICONEXCLAMATION);
        // After the box, and after a page switch it refused has been undone.
        QTimer::singleShot(0, m_daysEdit, [edit = m_daysEdit] {
            edit->setFocus(Qt::OtherFocusReason);
            edit->selectAll();
        });
        m_daysEdit->setFocus(Qt::OtherFocusReason);
        m_daysEdit->selectAll();
        return false;
    }
    m_timeChoice = m_onClock->isChecked() ? 1 : 0;
    m_autoFlag = m_auto->isChecked() ? 1 : 0;
    return true;
}

void CPageHistory::OnInitDialog()
{
    UpdateData(false);
    const bool read = PickerRule();
    if (m_autoFlag == 1) {
        EnableSiblingsAfter(m_auto, true);
        // A stored day count out of range has just been refused; the same
        // box a second time would tell nothing new.
        if (read) {
            PickerRule();
        } else {
            m_picker->setEnabled(m_timeChoice == 1);
        }
    } else {
        EnableSiblingsAfter(m_auto, false);
    }
}

bool CPageHistory::PickerRule()
{
    const bool read = UpdateData(true);
    m_picker->setEnabled(m_timeChoice == 1);
    UpdateData(false);
    return read;
}

void CPageHistory::CheckBoxRule()
{
    UpdateData(true);
    if (m_autoFlag == 0) {
        EnableSiblingsAfter(m_auto, false);
    } else {
        EnableSiblingsAfter(m_auto, true);
        PickerRule();
    }
}

void CPageHistory::OnOK()
{
    UpdateData(true);
    m_settings.AutoDispHis = m_autoFlag == 1;
    m_settings.Days = m_days;
    m_settings.DispOnStart = m_timeChoice == 0;
    m_settings.Clock = m_clock;
}

}  // namespace kotobane
