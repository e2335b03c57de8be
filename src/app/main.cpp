#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#include "app/CReadingApp.h"
#include "app/CommandLine.h"
#include "backends/LinuxImeService.h"
#include "core/AppId.h"
#include "platform/speech/EspeakVoice.h"
#include "platform/system/ConsoleServices.h"
#include "settings/IniProfile.h"
#include "settings/ProfilePaths.h"
#include "settings/Settings.h"

using namespace kotobane;

namespace {

// Qt's own -platform option, in either spelling.
bool ChoosesPlatform(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "-platform" || arg == "--platform" || arg.startsWith("-platform=")
            || arg.startsWith("--platform=")) {
            return true;
        }
    }
    return false;
}

bool HasDisplay(int argc, char* argv[])
{
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
           || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || ChoosesPlatform(argc, argv);
}

QStringList RawArguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    return arguments;
}

int RunConsole(int argc, char* argv[]);

}  // namespace

namespace {

QtMessageHandler g_previousHandler = nullptr;

// Qt Multimedia says on standard error that it found no sound server, for
// every copy that lists the audio outputs; the program reports a missing
// output itself, when it is asked to speak. Without XDG_RUNTIME_DIR Qt says
// where it put its runtime folder instead; the control channel has its own
// private fallback and says so when that fails.
void QuietKnownNotices(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg
        && (message.startsWith(QLatin1String("PulseAudioService: pa_context_connect()"))
            || message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))) {
        return;
    }
    g_previousHandler(type, context, message);
}

}  // namespace

int main(int argc, char* argv[])
{
    g_previousHandler = qInstallMessageHandler(QuietKnownNotices);
    QCoreApplication::setApplicationName(QStringLiteral("kotobane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOTOBANE_VERSION));

    const Mode mode = ModeFor(RawArguments(argc, argv));
    if (mode == Mode::Console) {
        return RunConsole(argc, argv);
    }
    if (mode == Mode::Control) {
        // The running copy is reached through a local socket: no display needed.
        QCoreApplication app(argc, argv);
        return RunControl(QCoreApplication::arguments());
    }
    if (!HasDisplay(argc, argv)) {
        QTextStream(stderr) << "kotobane: no display to show the popup on; kotobane --read TEXT prints "
                               "a reading without one\n";
        return 1;
    }
    // A Wayland session gets a Wayland client (X11 only where Qt has no
    // Wayland plugin), an X11 session an X client, unless the user chose
    // with QT_QPA_PLATFORM or --platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !ChoosesPlatform(argc, argv)) {
        if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
            qputenv("QT_QPA_PLATFORM", "wayland;xcb");
        } else if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
            qputenv("QT_QPA_PLATFORM", "xcb");
        }
    }
    QApplication app(argc, argv);
    // How the desktop, its portals and the tray match windows to the desktop file.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kAppId));
    return RunDesktop(QCoreApplication::arguments());
}

namespace {

int RunConsole(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();

    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        err << "kotobane: cannot read standard input" << Qt::endl;
        return 1;
    }
    const std::unique_ptr<LinuxImeService> ime = CreateLinuxImeService();
    ThreadClock clock;
    ConsoleMessageBox ui(err);
    const auto storedLayout = [](const QString& profileDir) {
        const ProfilePaths paths = ResolveProfilePaths(QCoreApplication::applicationDirPath(), profileDir);
        return IniProfile(paths.settingsFile)
            .GetString(QStringLiteral("Settings"), QStringLiteral("keylayout"), QString());
    };
    const auto storedSpeech = [](const QString& profileDir) {
        const ProfilePaths paths = ResolveProfilePaths(QCoreApplication::applicationDirPath(), profileDir);
        return ReadSpeechSettings(IniProfile(paths.settingsFile));
    };
    ConsoleEnvironment env{
        in, out, err, *ime, clock, ui, storedLayout, storedSpeech, [] {
                               return CreateEspeakVoiceService(); }};
    const int status = RunConsoleCommand(arguments, env);
    if (arguments.contains(QStringLiteral("--speak"))) {
        // Qt 6.4 tears its sound-server connection down in the exit handlers
        // while that connection's thread may still be busy, which now and
        // then ends the process with an abort. Everything is written by now.
        out.flush();
        err.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}

}  // namespace
