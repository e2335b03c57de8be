#pragma once

#include <QString>
#include <QStringList>

namespace kotobane {

// The speech voice as the settings and the speech page use it.
class SpeechEngine {
public:
    virtual ~SpeechEngine() = default;
    // Creates the voice unless it exists; returns whether it is ready.
    virtual bool Initialize() = 0;
    virtual bool IsReady() const = 0;
    virtual void Release() = 0;

    virtual void ListVoices(QStringList& voices) = 0;
    virtual void ListFormats(QStringList& formats) = 0;
    virtual void ListOutputs(QStringList& outputs) = 0;
    // The failure of the last creation: its text and code (0 until one failed).
    virtual QString LastErrorText() const = 0;
    virtual quint32 LastErrorCode() const = 0;

    virtual bool SelectVoiceByDescription(const QString& description) = 0;
    virtual bool SelectVoiceByLanguage(quint32 language) = 0;
    virtual QString CurrentVoiceDescription() = 0;
    virtual void SetVolume(int volume) = 0;
    virtual int GetVolume() = 0;
    virtual void SetRate(int rate) = 0;
    virtual int GetRate() = 0;
    virtual void SetFormatIndex(int index) = 0;
    virtual int CurrentFormatIndex() = 0;
    virtual bool SelectOutputByDescription(const QString& description) = 0;
    virtual QString CurrentOutputDescription() = 0;
    // Speaks text and returns when it has been spoken.
    virtual void Speak(const QString& text) = 0;
};

// A machine without a speech service: the voice can never be created.
class NoSpeechEngine final : public SpeechEngine {
public:
    bool Initialize() override { return false; }
    bool IsReady() const override { return false; }
    void Release() override { }
    void ListVoices(QStringList&) override { }
    void ListFormats(QStringList&) override { }
    void ListOutputs(QStringList&) override { }
    QString LastErrorText() const override { return QString(); }
    quint32 LastErrorCode() const override { return 0; }
    bool SelectVoiceByDescription(const QString&) override { return false; }
    bool SelectVoiceByLanguage(quint32) override { return false; }
    QString CurrentVoiceDescription() override { return QString(); }
    void SetVolume(int) override { }
    int GetVolume() override { return 0; }
    void SetRate(int) override { }
    int GetRate() override { return 0; }
    void SetFormatIndex(int) override { }
    int CurrentFormatIndex() override { return 0; }
    bool SelectOutputByDescription(const QString&) override { return false; }
    QString CurrentOutputDescription() override { return QString(); }
    void Speak(const QString&) override { }
};

}  // namespace kotobane
