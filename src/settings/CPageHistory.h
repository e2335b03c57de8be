#pragma once

#include <QCheckBox>
#include <QDateTime>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimeEdit>

#include "settings/COptionSheet.h"

namespace kotobane {

// The History page: when the history window opens by itself.
class CPageHistory final : public COptionPage {
    Q_OBJECT
public:
    CPageHistory(Settings& settings, MessageBoxService& ui);

    QCheckBox* AutoBox() const { return m_auto; }
    QLineEdit* DaysEdit() const { return m_daysEdit; }
    QRadioButton* Radio(int choice) const { return choice == 0 ? m_onStart : m_onClock; }
    QTimeEdit* Picker() const { return m_picker; }

    bool OnKillActive() override { return UpdateData(true); }
    void OnOK() override;

protected:
    void OnInitDialog() override;

private:
    // The data exchange: true reads the controls into the members, in their
    // order, stopping at a refused day count; false writes them back.
    bool UpdateData(bool save);
    // False when the day count was refused.
    bool PickerRule();
    void CheckBoxRule();

    Settings& m_settings;
    MessageBoxService& m_ui;
    QDateTime m_clock;
    qint32 m_days;
    int m_timeChoice;
    int m_autoFlag;
    QCheckBox* m_auto;
    QLineEdit* m_daysEdit;
    QRadioButton* m_onStart;
    QRadioButton* m_onClock;
    QTimeEdit* m_picker;
};

}  // namespace kotobane
