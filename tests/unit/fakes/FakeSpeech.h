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
    void ListVoices(QStringList& voices) override { voices << QStringLiteral("espeak ja"); }
    void ListFormats(QStringList& formats) override { formats << QStringLiteral("22kHz 16 Bit Mono"); }
    void ListOutputs(QStringList& outputs) override { outputs << QStringLiteral("Null Output"); }
    QString LastErrorText() const override { return QString(); }
    quint32 LastErrorCode() const override { return 0; }
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
    QString CurrentVoiceDescription() override { return QStringLiteral("espeak ja"); }
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
    QString CurrentOutputDescription() override { return QStringLiteral("Null Output"); }
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
