#pragma once

#include <QFile>

#include "fakes/Recorder.h"
#include "platform/VoiceService.h"

namespace kotobane::test {

// A voice service that records every change and every text it is given;
// its WAV file holds the format type and the text, so that equal files
// mean equal speech.
class FakeVoiceService final : public VoiceService {
public:
    explicit FakeVoiceService(Recorder& log) : m_log(log) { }

    bool canCreate = true;
    QString createError = QStringLiteral("no voice data");
    quint32 createCode = 2;
    QList<VoiceInfo> voices = {{QStringLiteral("English"), QStringLiteral("409")},
                               {QStringLiteral("Japanese"), QStringLiteral("411")},
                               {QStringLiteral("Korean"), QStringLiteral("412")}};
    int voice = 0;
    int rate = 0;
    int volume = 100;
    int type = 22;
    QStringList outputs = {QStringLiteral("Null Output"), QStringLiteral("Headset")};
    int output = 0;
    bool canPlay = true;
    QStringList spoken;

    bool Create(QString* errorText, quint32* errorCode) override
    {
        m_log.Add("Create");
        if (!canCreate) {
            *errorText = createError;
            *errorCode = createCode;
        }
        return canCreate;
    }
    void Release() override { m_log.Add("Release"); }
    QList<VoiceInfo> Voices() override { return voices; }
    int CurrentVoice() override { return voice; }
    void SelectVoice(int index) override { Set("SelectVoice", voice, index); }
    int GetRate() override { return rate; }
    void SetRate(int r) override { Set("SetRate", rate, r); }
    int GetVolume() override { return volume; }
    void SetVolume(int v) override { Set("SetVolume", volume, v); }
    int FormatType() override { return type; }
    void SetFormatType(int t) override { Set("SetFormatType", type, t); }
    QStringList Outputs() override { return outputs; }
    int CurrentOutput() override { return output; }
    void SelectOutput(int index) override { Set("SelectOutput", output, index); }
    bool Speak(const QString& text, QString* error) override
    {
        m_log.Add("Speak " + Utf8(text));
        if (!canPlay || output < 0) {
            *error = QStringLiteral("There is no audio output.");
            return false;
        }
        spoken.append(text);
        return true;
    }
    bool WriteWav(const QString& text, const QString& path, QString* error) override
    {
        m_log.Add("WriteWav " + Utf8(text));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) {
            *error = QStringLiteral("Cannot write ") + path;
            return false;
        }
        file.write(QByteArray::number(type) + ' ' + text.toUtf8());
        return true;
    }

private:
    // Logs the call with its value and keeps the value.
    void Set(const char* call, int& field, int value)
    {
        m_log.Add(std::string(call) + " " + std::to_string(value));
        field = value;
    }
    Recorder& m_log;
};

}  // namespace kotobane::test
