#pragma once

#include <functional>

#include "fakes/Recorder.h"
#include "speech/SpeechEngine.h"

namespace kotobane::test {

class FakeSpeech final : public SpeechEngine {
public:
    explicit FakeSpeech(Recorder& log) : m_log(log) { }
    bool canInitialize = true;
    bool ready = false;
    QStringList voices{QStringLiteral("espeak ja")};
    QStringList outputs{QStringLiteral("Null Output")};
    int formatCount = 1;  // "22kHz 16 Bit Mono", then "Format 1" ...
    QString current = QStringLiteral("espeak ja");  // the voice SelectVoiceByLanguage leaves
    QString errorText;
    quint32 errorCode = 0;
    std::function<void()> onRelease;

    bool Initialize() override
    {
        m_log.Add("Initialize");
        ready = canInitialize;
        return ready;
    }
    bool IsReady() const override { return ready; }
    void Release() override
    {
        m_log.Add("Release");
        if (onRelease) {
            onRelease();
        }
        ready = false;
    }
    void ListVoices(QStringList& out) override { out << voices; }
    void ListFormats(QStringList& formats) override
    {
        for (int i = 0; i < formatCount; ++i) {
            formats << (i == 0 ? QStringLiteral("22kHz 16 Bit Mono") : QStringLiteral("Format %1").arg(i));
        }
    }
    void ListOutputs(QStringList& out) override { out << outputs; }
    QString LastErrorText() const override { return errorText; }
    quint32 LastErrorCode() const override { return errorCode; }
    bool SelectVoiceByDescription(const QString& d) override
    {
        m_log.Add("SelectVoiceByDescription " + Utf8(d));
        return true;
    }
    bool SelectVoiceByLanguage(quint32 language) override
    {
        m_log.Add("SelectVoiceByLanguage " + std::to_string(language));
        return true;
    }
    QString CurrentVoiceDescription() override { return current; }
    void SetVolume(int v) override { m_log.Add("SetVolume " + std::to_string(v)); }
    int GetVolume() override { return 100; }
    void SetRate(int r) override { m_log.Add("SetRate " + std::to_string(r)); }
    int GetRate() override { return 2; }
    void SetFormatIndex(int i) override { m_log.Add("SetFormatIndex " + std::to_string(i)); }
    int CurrentFormatIndex() override { return 22; }
    bool SelectOutputByDescription(const QString& d) override
    {
        m_log.Add("SelectOutputByDescription " + Utf8(d));
        return false;
    }
    QString CurrentOutputDescription() override { return outputs.value(0); }
    void Speak(const QString& text) override
    {
        m_log.Add("Speak " + Utf8(text));
        spoken.append(text);
    }
    QStringList spoken;

private:
    Recorder& m_log;
};

}  // namespace kotobane::test
