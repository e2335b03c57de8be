#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "core/AppId.h"
#include "reading/ImeCatalog.h"
#include "reading/ReadingEngine.h"
#include "reading/TextGrabber.h"
#include "settings/Autostart.h"
#include "speech/CSpeechEngine.h"
#include "window/GetText.h"
#include "window/Menus.h"

namespace kotobane {

namespace {

const QStringList kConsoleOptions = {
    QStringLiteral("--read"),  QStringLiteral("--list-imes"),   QStringLiteral("--help"),
    QStringLiteral("-h"),      QStringLiteral("--version"),     QStringLiteral("-v"),
    QStringLiteral("--speak"), QStringLiteral("--list-voices"), QStringLiteral("--autostart"),
};

constexpr int kUsageError = 2;

struct ControlOption {
    const char* name;
    int command;
    const char* help;
};

const ControlOption kControlOptions[] = {
    {"get-text", ID_GET_TEXT,
     "Tell the running copy to look up the text selected in the window in front (bind this to a "
     "desktop shortcut where the global hot key cannot work)."},
    {"history", ID_HISTORY, "Tell the running copy to open the history."},
    {"options", ID_OPTION, "Tell the running copy to open its options."},
    {"exit", ID_APP_EXIT, "Tell the running copy to end."},
};

void DefineOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Shows the reading of Japanese, Chinese and Korean text selected in any application."));
    parser.addOptions({
        {QStringLiteral("read"), QStringLiteral("Print what the popup would show for each TEXT, or for each line of "
                                                "standard input.")},
        {QStringLiteral("ime"), QStringLiteral("Use the input method KEY (see --list-imes)."), QStringLiteral("KEY")},
        {QStringLiteral("list-imes"), QStringLiteral("List the input methods: key, TAB, text.")},
        {QStringLiteral("speak"), QStringLiteral("Read TEXT aloud with the stored speech settings (also when speech "
                                                 "is switched off).")},
        {QStringLiteral("voice"), QStringLiteral("Speak with the voice DESC (see --list-voices)."),
         QStringLiteral("DESC")},
        {QStringLiteral("wav"),
         QStringLiteral("With --speak: write the speech to FILE in the stored format instead "
                        "of playing it."),
         QStringLiteral("FILE")},
        {QStringLiteral("list-voices"), QStringLiteral("List the speech voices: description, TAB, language ids.")},
        {QStringLiteral("profile-dir"), QStringLiteral("Keep the settings and history files in DIR."),
         QStringLiteral("DIR")},
        {QStringLiteral("show"), QStringLiteral("Show TEXT in the running copy's popup, or start with it shown."),
         QStringLiteral("TEXT")},
        {QStringLiteral("autostart"),
         QStringLiteral("on: start this copy (with its --profile-dir) with the desktop session; off: no longer. "
                        "Writes or removes $XDG_CONFIG_HOME/autostart/")
             + QLatin1String(kAppId) + QStringLiteral(".desktop."),
         QStringLiteral("on|off")},
    });
    for (const ControlOption& option : kControlOptions) {
        parser.addOption({QString::fromLatin1(option.name), QString::fromLatin1(option.help)});
    }
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("Phrases to read."),
                                 QStringLiteral("[TEXT ...]"));
}

// The catalogue key that KEY names, compared without regard to case; ""
// when there is none.
QString CatalogKey(const ImeCatalog& catalog, const QString& key)
{
    for (const ImeCatalogEntry& entry : catalog) {
        if (entry.key.compare(key, Qt::CaseInsensitive) == 0) {
            return entry.key;
        }
    }
    return QString();
}

int Read(const QCommandLineParser& parser, ConsoleEnvironment& env)
{
    QString layout;
    if (parser.isSet(QStringLiteral("ime"))) {
        ImeCatalog catalog;
        LoadIMEList(catalog, env.ime, env.ui);
        const QString requested = parser.value(QStringLiteral("ime"));
        layout = CatalogKey(catalog, requested);
        if (layout.isEmpty()) {
            env.err << "kotobane: unknown input method \"" << requested
                    << "\"; kotobane --list-imes shows the installed ones" << Qt::endl;
            return kUsageError;
        }
    } else {
        layout = env.storedLayout ? env.storedLayout(parser.value(QStringLiteral("profile-dir"))) : QString();
        const QString localeLayout = LayoutText(env.ime.GetKeyboardLayout());
        if (layout.isEmpty()) {
            layout = localeLayout;
        } else {
            ImeCatalog catalog;
            LoadIMEList(catalog, env.ime, env.ui);
            const ReadingLayoutChoice choice = ChooseReadingLayout(catalog, layout, localeLayout);
            if (!choice.notice.isEmpty()) {
                env.err << "kotobane: " << choice.notice << Qt::endl;
            }
            layout = choice.layout;
        }
    }

    CReadingEngine engine(env.ime, env.clock, env.ui);
    engine.SelectIme(layout, 0);

    QStringList texts = parser.positionalArguments();
    if (texts.isEmpty()) {
        texts = InputLines(env.in.readAll());
    }
    for (const QString& text : texts) {
        const LookupText lookup = ComposeLookup(NormaliseCapturedText(text),
                                                [&](const QString& phrase) { return engine.GetReading(phrase); });
        env.out << lookup.Display() << '\n';
    }
    env.out.flush();
    return 0;
}

int ListImes(ConsoleEnvironment& env)
{
    ImeCatalog catalog;
    LoadIMEList(catalog, env.ime, env.ui);
    for (const ImeCatalogEntry& entry : catalog) {
        env.out << entry.key << '\t' << entry.text << '\n';
    }
    env.out.flush();
    return 0;
}

// The voice of the console commands, made and set up as the program does
// at start-up; null with a message on err when there is none.
std::unique_ptr<CSpeechEngine> OpenVoice(VoiceService& service, const QCommandLineParser& parser,
                                         ConsoleEnvironment& env)
{
    auto engine =
        std::make_unique<CSpeechEngine>(service, env.ui, [&ime = env.ime](const QString& layout, const QString& text) {
            return ReverseConversion(ime, layout, text);
        });
    if (!engine->Initialize()) {
        env.err << "kotobane: no speech voice: " << engine->LastErrorText() << Qt::endl;
        return nullptr;
    }
    const QString profileDir = parser.value(QStringLiteral("profile-dir"));
    SpeechSettings speech = env.storedSpeech ? env.storedSpeech(profileDir) : SpeechSettings();
    // An explicit request: spoken also while speech is switched off.
    speech.EnableSpeech = true;
    QString layout = env.storedLayout ? env.storedLayout(profileDir) : QString();
    if (layout.isEmpty()) {
        layout = LayoutText(env.ime.GetKeyboardLayout());
    }
    ApplyStoredSpeechSettings(speech, layout, *engine);
    return engine;
}

int Speak(const QCommandLineParser& parser, ConsoleEnvironment& env)
{
    QStringList texts = parser.positionalArguments();
    const QString text = texts.isEmpty() ? InputLines(env.in.readAll()).join(u' ') : texts.join(u' ');
    if (text.trimmed().isEmpty()) {
        env.err << "kotobane: --speak needs a TEXT" << Qt::endl;
        return kUsageError;
    }
    const std::unique_ptr<VoiceService> service = env.voiceService ? env.voiceService() : nullptr;
    if (!service) {
        env.err << "kotobane: no speech service in this build" << Qt::endl;
        return 1;
    }
    const std::unique_ptr<CSpeechEngine> engine = OpenVoice(*service, parser, env);
    if (!engine) {
        return 1;
    }
    if (parser.isSet(QStringLiteral("voice"))) {
        const QString voice = parser.value(QStringLiteral("voice"));
        if (!engine->SelectVoiceByDescription(voice)) {
            env.err << "kotobane: unknown voice \"" << voice << "\"; kotobane --list-voices shows the installed ones"
                    << Qt::endl;
            return 1;
        }
    }
    QString error;
    const bool done = parser.isSet(QStringLiteral("wav"))
                          ? engine->WriteWav(text, parser.value(QStringLiteral("wav")), &error)
                          : engine->SpeakText(text, &error);
    if (!done) {
        env.err << "kotobane: " << error << Qt::endl;
        return 1;
    }
    return 0;
}

int ListVoices(ConsoleEnvironment& env)
{
    const std::unique_ptr<VoiceService> service = env.voiceService ? env.voiceService() : nullptr;
    QString error;
    quint32 code = 0;
    if (!service || !service->Create(&error, &code)) {
        env.err << "kotobane: no speech voice: " << error << Qt::endl;
        return 1;
    }
    for (const VoiceInfo& voice : service->Voices()) {
        env.out << voice.description << '\t' << voice.language << '\n';
    }
    env.out.flush();
    service->Release();
    return 0;
}

int Autostart(const QCommandLineParser& parser, ConsoleEnvironment& env)
{
    const QString value = parser.value(QStringLiteral("autostart"));
    if (value != QStringLiteral("on") && value != QStringLiteral("off")) {
        env.err << "kotobane: --autostart takes on or off, not \"" << value << '"' << Qt::endl;
        return kUsageError;
    }
    const bool on = value == QStringLiteral("on");
    const QString path = AutostartFilePath();
    const bool existed = AutostartEnabled(path);
    const QString exec =
        AutostartExec(QCoreApplication::applicationFilePath(), parser.value(QStringLiteral("profile-dir")));
    if (QString error = SetAutostart(path, on, exec); !error.isEmpty()) {
        env.err << "kotobane: " << error.replace(u'\n', QStringLiteral(": ")) << Qt::endl;
        return 1;
    }
    if (on) {
        env.out << "Autostart entry written: " << path << '\n';
    } else {
        env.out << (existed ? "Autostart entry removed: " : "No autostart entry to remove: ") << path << '\n';
    }
    env.out.flush();
    return 0;
}

}  // namespace

Mode ModeFor(const QStringList& arguments)
{
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) {
            break;
        }
        if (kConsoleOptions.contains(argument) || argument.startsWith(QStringLiteral("--autostart="))) {
            return Mode::Console;
        }
    }
    return ControlCommandsFor(arguments).isEmpty() ? Mode::Desktop : Mode::Control;
}

QList<int> ControlCommandsFor(const QStringList& arguments)
{
    QList<int> commands;
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QStringLiteral("--")) {
            break;
        }
        for (const ControlOption& option : kControlOptions) {
            if (argument == QStringLiteral("--") + QString::fromLatin1(option.name)) {
                commands.append(option.command);
            }
        }
    }
    return commands;
}

bool IsRemoteCommand(int command)
{
    if (command == ID_RUNNING) {
        return true;
    }
    for (const ControlOption& option : kControlOptions) {
        if (option.command == command) {
            return true;
        }
    }
    return false;
}

QStringList InputLines(const QByteArray& data)
{
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        const bool terminated = end >= 0;
        if (!terminated) {
            end = data.size();
        }
        qsizetype stop = end;
        if (terminated && stop > start && data[stop - 1] == '\r') {
            --stop;
        }
        lines.append(QString::fromUtf8(data.constData() + start, stop - start));
        start = end + 1;
    }
    return lines;
}

int RunConsoleCommand(const QStringList& arguments, ConsoleEnvironment& env)
{
    QCommandLineParser parser;
    DefineOptions(parser);
    if (!parser.parse(arguments)) {
        env.err << "kotobane: " << parser.errorText() << "\n"
                << "Try kotobane --help." << Qt::endl;
        return kUsageError;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        env.out << parser.helpText();
        env.out.flush();
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        env.out << "kotobane " << KOTOBANE_VERSION << '\n';
        env.out.flush();
        return 0;
    }
    if (parser.isSet(QStringLiteral("list-imes"))) {
        return ListImes(env);
    }
    if (parser.isSet(QStringLiteral("read"))) {
        return Read(parser, env);
    }
    if (parser.isSet(QStringLiteral("speak"))) {
        return Speak(parser, env);
    }
    if (parser.isSet(QStringLiteral("list-voices"))) {
        return ListVoices(env);
    }
    if (parser.isSet(QStringLiteral("autostart"))) {
        return Autostart(parser, env);
    }
    env.err << "kotobane: nothing to do; try kotobane --help" << Qt::endl;
    return kUsageError;
}

}  // namespace kotobane
