#include "settings/CPageSpeech.h"

#include <QGroupBox>
#include <QLabel>

#include "core/HexDigits.h"
#include "core/MessageBoxService.h"
#include "settings/OptionPagesLogic.h"

namespace kotobane {

namespace {

int ItemByPrefix(const QComboBox* list, const QString& text)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items.append(list->itemText(i));
    }
    return SelectByPrefix(items, text);
}

constexpr int kResetFormat = 18;  // "22kHz 16 Bit Mono"

}  // namespace

CPageSpeech::CPageSpeech(Settings& settings, SpeechEngine& speech, MessageBoxService& ui)
    : COptionPage(QStringLiteral("Speech"), QSize(145, 113)),
      m_settings(settings),
      m_speech(speech),
      m_ui(ui),
      m_enableFlag(settings.Speech.EnableSpeech ? 1 : 0),
      m_enable(new QCheckBox(QStringLiteral("Enable Speech"), this))
{
    // Template 133, in its order: the enable rule walks the controls after
    // the check box, and the tab order is the same.
    m_enable->setGeometry(Units(0, 1, 84, 10));
    auto* group = new QGroupBox(QStringLiteral("Speech Settings"), this);
    group->setGeometry(Units(0, 13, 144, 95));
    const auto label = [this](const QString& text, int y, QWidget* buddy) {
        auto* l = new QLabel(text, this);
        l->setGeometry(Units(3, y, text == QStringLiteral("Voice:") ? 23 : 27, 12));
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        l->setBuddy(buddy);
        buddy->setAccessibleName(QString(text).remove(QLatin1Char(':')));
    };
    const auto slider = [this](int y) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setGeometry(Units(31, y, 109, 12));
        s->setTickPosition(QSlider::NoTicks);
        return s;
    };
    const auto list = [this](int y) {
        auto* c = new QComboBox(this);
        c->setGeometry(Units(31, y, 109, 14));
        c->setEditable(false);
        return c;
    };
    m_voice = list(23);
    label(QStringLiteral("Voice:"), 23, m_voice);
    m_volume = slider(40);
    label(QStringLiteral("Volume:"), 40, m_volume);
    m_rate = slider(57);
    label(QStringLiteral("Rate:"), 57, m_rate);
    m_format = list(74);
    label(QStringLiteral("Format:"), 74, m_format);
    m_output = list(91);
    label(QStringLiteral("Output:"), 91, m_output);
    m_reset = new QPushButton(QStringLiteral("Reset"), this);
    m_reset->setGeometry(Units(103, 1, 41, 10));

    connect(m_enable, &QCheckBox::clicked, this, &CPageSpeech::OnEnable);
    connect(m_reset, &QPushButton::clicked, this, &CPageSpeech::OnReset);
}

quint32 CPageSpeech::Language() const
{
    return LeadingHex(m_settings.keylayout);
}

void CPageSpeech::OnInitDialog()
{
    m_enable->setChecked(m_enableFlag == 1);
    // The drop-down lists size their pop-ups to their items here; the
    // template's longer drop-down part needs nothing more.
    m_volume->setRange(0, 100);
    m_rate->setRange(-10, 10);
    if (!FillSpeechControls()) {
        m_enableFlag = 0;
        m_settings.Speech.EnableSpeech = false;
        m_enable->setChecked(false);
    }
    EnableSpeechControls(m_enableFlag == 1);
}

bool CPageSpeech::FillSpeechControls()
{
    if (m_enableFlag == 0) {
        return true;
    }
    if (!m_speech.IsReady() && !m_speech.Initialize()) {
        if (m_speech.LastErrorCode() != 0) {
            m_ui.MessageBox(m_speech.LastErrorText(), MB_OK);
        }
        m_ui.MessageBox(QStringLiteral("Microsoft Speech API doesn't exist."), MB_OK);
        return false;
    }
    QStringList voices, formats, outputs;
    m_speech.ListVoices(voices);
    m_speech.ListFormats(formats);
    m_speech.ListOutputs(outputs);
    m_voice->addItems(voices);
    m_format->addItems(formats);
    m_output->addItems(outputs);

    QString voice, output;
    int format = 0, volume = 0, rate = 0;
    const SpeechSettings& stored = m_settings.Speech;
    if (!stored.Voice.isEmpty()) {
        voice = stored.Voice;
        format = stored.AudioFormat;
        volume = stored.Volume;
        rate = stored.Rate;
        output = stored.AudioOutput;
    } else {
        m_speech.SelectVoiceByLanguage(Language());
        voice = m_speech.CurrentVoiceDescription();
        volume = m_speech.GetVolume();
        rate = m_speech.GetRate();
        format = m_speech.CurrentFormatIndex();
        output = m_speech.CurrentOutputDescription();
    }
    m_voice->setCurrentIndex(ItemByPrefix(m_voice, voice));
    m_volume->setValue(volume);
    m_rate->setValue(rate);
    // An index outside the list selects nothing, as the combo box does.
    m_format->setCurrentIndex(format >= 0 && format < m_format->count() ? format : -1);
    m_output->setCurrentIndex(ItemByPrefix(m_output, output));
    return true;
}

void CPageSpeech::EnableSpeechControls(bool enable)
{
    EnableSiblingsAfter(m_enable, enable);
}

void CPageSpeech::OnEnable()
{
    m_enableFlag = m_enable->isChecked() ? 1 : 0;
    EnableSpeechControls(m_enableFlag == 1);
    if (m_enableFlag == 1 && !m_speech.IsReady()) {
        if (!FillSpeechControls()) {
            m_enableFlag = 0;
            m_settings.Speech.EnableSpeech = false;
            EnableSpeechControls(false);
        }
        m_enable->setChecked(m_enableFlag == 1);
    }
}

void CPageSpeech::OnReset()
{
    if (!m_speech.IsReady()) {
        return;
    }
    m_speech.SelectVoiceByLanguage(Language());
    m_voice->setCurrentIndex(ItemByPrefix(m_voice, m_speech.CurrentVoiceDescription()));
    m_volume->setValue(50);
    m_rate->setValue(0);
    m_format->setCurrentIndex(kResetFormat < m_format->count() ? kResetFormat : -1);
    if (m_output->count() > 0) {
        m_output->setCurrentIndex(0);
    }
    m_enable->setChecked(m_enableFlag == 1);
}

void CPageSpeech::OnOK()
{
    SpeechSettings& s = m_settings.Speech;
    m_enableFlag = m_enable->isChecked() ? 1 : 0;
    s.EnableSpeech = m_enableFlag == 1;
    if (!s.EnableSpeech && m_speech.IsReady()) {
        m_speech.Release();
    }
    if (!m_speech.IsReady()) {
        return;
    }
    if (m_voice->currentIndex() >= 0) {
        s.Voice = m_voice->currentText();
        m_speech.SelectVoiceByDescription(s.Voice);
    }
    if (m_format->currentIndex() >= 0) {
        s.AudioFormat = m_format->currentIndex();
        m_speech.SetFormatIndex(s.AudioFormat);
    }
    if (m_output->currentIndex() >= 0) {
        s.AudioOutput = m_output->currentText();
        m_speech.SelectOutputByDescription(s.AudioOutput);
    }
    s.Volume = m_volume->value();
    m_speech.SetVolume(s.Volume);
    s.Rate = m_rate->value();
    m_speech.SetRate(s.Rate);
}

void CPageSpeech::OnCancel()
{
    if (!m_settings.Speech.EnableSpeech) {
        m_speech.Release();
    }
}

}  // namespace kotobane
