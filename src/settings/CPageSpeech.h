#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>

#include "settings/COptionSheet.h"

namespace kotobane {

// The Speech page: speech on or off, and the voice, volume, rate, audio
// format and output it uses. Nothing is applied before OK.
class CPageSpeech final : public COptionPage {
    Q_OBJECT
public:
    CPageSpeech(Settings& settings, SpeechEngine& speech, MessageBoxService& ui);

    QCheckBox* EnableBox() const { return m_enable; }
    QComboBox* VoiceList() const { return m_voice; }
    QComboBox* FormatList() const { return m_format; }
    QComboBox* OutputList() const { return m_output; }
    QSlider* VolumeSlider() const { return m_volume; }
    QSlider* RateSlider() const { return m_rate; }
    QPushButton* ResetButton() const { return m_reset; }

    // Fills the lists from the engine, creating it first; false when it
    // cannot be created (the user has been told).
    bool FillSpeechControls();
    // Everything on the page but the check box.
    void EnableSpeechControls(bool enable);

    void OnOK() override;
    void OnCancel() override;

protected:
    void OnInitDialog() override;

private:
    void OnEnable();
    void OnReset();
    // The engine's language for keylayout, as the voice choice suits it.
    quint32 Language() const;

    Settings& m_settings;
    SpeechEngine& m_speech;
    MessageBoxService& m_ui;
    int m_enableFlag;
    QCheckBox* m_enable;
    QSlider* m_volume;
    QSlider* m_rate;
    QComboBox* m_voice;
    QComboBox* m_output;
    QComboBox* m_format;
    QPushButton* m_reset;
};

}  // namespace kotobane
