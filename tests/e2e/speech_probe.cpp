// Drives the espeak-ng voice service directly, as the speech engine would:
//   speech_probe [--voice DESC] [--output DESC] [--format INDEX] [--wav FILE] TEXT
//   speech_probe --list      voices (description TAB language) and outputs
// Exits 0 on success, 1 with the service's message on stderr otherwise.
#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

#include "platform/speech/EspeakVoice.h"

using namespace kotobane;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    auto option = [&args](const QString& name) {
        const qsizetype i = args.indexOf(name);
        if (i < 0 || i + 1 >= args.size()) {
            return QString();
        }
        const QString value = args[i + 1];
        args.remove(i, 2);
        return value;
    };
    const QString voice = option(QStringLiteral("--voice"));
    const QString output = option(QStringLiteral("--output"));
    const QString format = option(QStringLiteral("--format"));
    const QString wav = option(QStringLiteral("--wav"));

    auto service = CreateEspeakVoiceService();
    QString error;
    quint32 code = 0;
    if (!service->Create(&error, &code)) {
        std::fprintf(stderr, "%s (%u)\n", qPrintable(error), code);
        return 1;
    }
    if (args.value(0) == QLatin1String("--list")) {
        for (const VoiceInfo& v : service->Voices()) {
            std::printf("voice\t%s\t%s\n", qPrintable(v.description), qPrintable(v.language));
        }
        for (const QString& o : service->Outputs()) {
            std::printf("output\t%s\n", qPrintable(o));
        }
        std::printf("current output\t%d\n", service->CurrentOutput());
        return 0;
    }
    const QList<VoiceInfo> voices = service->Voices();
    for (qsizetype i = 0; i < voices.size(); ++i) {
        if (voices[i].description == voice) {
            service->SelectVoice(int(i));
            break;
        }
    }
    const QStringList outputs = service->Outputs();
    if (!output.isEmpty()) {
        service->SelectOutput(int(outputs.indexOf(output)));
    }
    if (!format.isEmpty()) {
        service->SetFormatType(format.toInt() + 4);
    }
    const QString text = args.join(QLatin1Char(' '));
    const bool ok = wav.isEmpty() ? service->Speak(text, &error) : service->WriteWav(text, wav, &error);
    if (!ok) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
    }
    // Qt 6.4 tears its PulseAudio connection down at exit while the
    // connection's thread may still dispatch a server event, which aborts
    // about one run in eight after playing; nothing is left to save here.
    service.reset();
    std::fflush(nullptr);
    std::_Exit(ok ? 0 : 1);
}
