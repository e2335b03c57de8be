#include "app/CReadingApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTextStream>
#include <QTimer>

#include <chrono>
#include <optional>

#include "app/CommandLine.h"
#include "app/GuiMessageBox.h"
#include "backends/LinuxImeService.h"
#include "platform/desktop/DesktopChoice.h"
#include "platform/speech/EspeakVoice.h"
#include "platform/system/ConsoleServices.h"
#include "platform/system/SingleInstance.h"
#include "platform/system/UnixSignals.h"
#include "reading/ReadingEngine.h"
#include "settings/FontMapping.h"
#include "settings/ProfilePaths.h"
#include "settings/Settings.h"
#include "speech/CSpeechEngine.h"
#include "window/CReadingDlg.h"
#include "window/GetTextFlow.h"
#include "window/Menus.h"

namespace kotobane {

namespace {

const QString kInstanceName = QStringLiteral("Kotobane_mirel");
const QString kShowPrefix = QStringLiteral("show ");

// Off unless asked for (QT_LOGGING_RULES="kotobane.timing.info=true"):
// bench/lookup-latency reads it.
Q_LOGGING_CATEGORY(lcTiming, "kotobane.timing", QtWarningMsg)

// Measures from a hot key to the popup's next paint, for the latency
// benchmark; costs nothing while its category is off.
class LookUpTimer final : public QObject {
public:
    void Start()
    {
        if (lcTiming().isInfoEnabled()) {
            m_clock.start();
            m_textSet = false;
        }
    }
    // The look-up has put its text in: the next paint shows it. (On
    // Wayland the popup shows, and may paint, before it reads.)
    void TextSet() { m_textSet = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && m_clock.isValid() && m_textSet) {
            // The wall clock too, for a benchmark that knows when the keys went down.
            const auto now = std::chrono::system_clock::now().time_since_epoch();
            qCInfo(lcTiming).noquote()
                << "hot key to popup painted:" << QString::number(double(m_clock.nsecsElapsed()) / 1e6, 'f', 1)
                << "ms, at"
                << QString::number(double(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) / 1e3,
                                   'f', 1);
            m_clock.invalidate();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    bool m_textSet = false;
};

// What a desktop start was asked for on its command line.
struct DesktopOptions {
    bool showText = false;  // --show given
    QString text;  // --show's text
    QString profileDir;  // --profile-dir's directory, or empty
};

// The desktop start's options, or nullopt once the parse error is reported.
std::optional<DesktopOptions> ParseDesktopOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("profile-dir"), QString(), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("show"), QString(), QStringLiteral("TEXT")});
    if (!parser.parse(arguments)) {
        qCritical().noquote() << "kotobane:" << parser.errorText() << "\nTry kotobane --help.";
        return std::nullopt;
    }
    return DesktopOptions{parser.isSet(QStringLiteral("show")), parser.value(QStringLiteral("show")),
                          parser.value(QStringLiteral("profile-dir"))};
}

// The exit status of a start that found a copy running: its request handed over, the settings saved.
int HandOverToRunningCopy(SingleInstance& instance, const DesktopOptions& options, Settings& settings,
                          SettingsContext& context)
{
    // --show is a request for the running copy, not a start of our own;
    // like every copy, this one still ends through the exit sequence.
    const bool sent = instance.Send(options.showText ? kShowPrefix + options.text : QString::number(ID_RUNNING));
    const ProfileWriteResult saved = SaveSettings(settings, context);
    // A launcher click must not bring a box: standard error only.
    QTextStream err(stderr);
    ReportUnsavedSettings(saved, nullptr, err);
    return (options.showText && !sent) || !saved ? 1 : 0;
}

// Tells once, after start-up, what this desktop cannot do: a logged warning, then a box.
void TellLimitation(const QString& limitation, CReadingDlg& popup, MessageBoxService& ui)
{
    qWarning().noquote() << "kotobane:" << QString(limitation).replace(QLatin1Char('\n'), QLatin1Char(' '));
    QTimer::singleShot(0, &popup, [&ui, limitation] { ui.MessageBox(limitation, MB_OK | MB_ICONINFORMATION); });
}

void ReportLimitation(DesktopPlatform& desktop, CReadingDlg& popup, MessageBoxService& ui)
{
    if (const QString limitation = desktop.Limitation(); !limitation.isEmpty()) {
        TellLimitation(limitation, popup, ui);
        return;
    }
    desktop.SetLateLimitationHandler(
        [&popup, &ui](const QString& limitation) { TellLimitation(limitation, popup, ui); });
}

// Carries out another copy's message (--show's text or a remote command) and ignores the rest.
void CarryOutMessage(CReadingDlg& popup, GetTextFlow& flow, const QString& message)
{
    if (message.startsWith(kShowPrefix)) {
        popup.ShowText(message.mid(kShowPrefix.size()));
        return;
    }
    bool number = false;
    const int command = message.toInt(&number);
    if (!number || !IsRemoteCommand(command)) {
        return;  // not ours to carry out
    }
    if (command == ID_RUNNING) {
        popup.ShowRunning();
    } else if (command == ID_GET_TEXT) {
        flow.OnGetTextRequest();
    } else {
        popup.OnCommand(command);
    }
}

// The event loop's exit status, run with the popup wired to the look-up, hot keys, messages and signals.
int RunPopupSession(const ReadingWindowServices& services, const QString& historyFile, SingleInstance& instance,
                    const DesktopOptions& options)
{
    Settings& settings = services.settings;
    MessageBoxService& ui = services.ui;
    DesktopPlatform& desktop = services.desktop;
    // Before anything shows: a window on the screen invites a SIGTERM,
    // which must end the run as the exit command does.
    UnixSignals signals;
    // exit(), not quit(): quit() first asks every window to close, and the
    // popup refuses (closing it only hides it), which would cancel the end.
    QObject::connect(&signals, &UnixSignals::TerminationRequested, qApp, [] { QCoreApplication::exit(0); });
    CReadingDlg popup(services);
    popup.Initialise();

    // The look-up: the selection of the window in front, copied through
    // the clipboard, read and recorded.
    TextGrabber grabber(desktop.Clipboard(), desktop.Keyboard(), desktop.Activation(), services.clock, ui);
    grabber.SetOwnerWatch(desktop.OwnerWatch());
    HistoryAppender history(historyFile, ui);
    LookUpTimer lookUpTimer;
    GetTextFlow flow(
        desktop.Windows(), desktop.Activation(), grabber, services.clock,
        [&popup](const QString& phrase) { return popup.Engine().GetReading(phrase); }, history,
        PopupAccess{Hwnd(popup.winId()),
                    [&popup, &lookUpTimer](const QString& text) {
                        popup.SetText(text);
                        lookUpTimer.TextSet();
                    },
                    [&popup](bool show) { popup.ShowPopup(show); }});
    flow.SetSelectionReader(desktop.Selection());
    popup.SetLookUp([&flow] { flow.LookUp(); });
    popup.SetHistory({&settings, &services.profile, &ui, historyFile, &history, &grabber});

    ReportLimitation(desktop, popup, ui);
    popup.installEventFilter(&lookUpTimer);
    popup.TextBox()->viewport()->installEventFilter(&lookUpTimer);
    desktop.HotKeys().SetPressHandler([&flow, &settings, &lookUpTimer](int id) {
        lookUpTimer.Start();
        flow.OnHotKey(id, settings.HotKeys);
    });

    QObject::connect(&instance, &SingleInstance::MessageReceived, &popup, [&popup, &flow](const QString& message) {
        // Leave the socket's handler before a modal box opens.
        QTimer::singleShot(0, &popup, [&popup, &flow, message] { CarryOutMessage(popup, flow, message); });
    });

    if (options.showText) {
        popup.ShowText(options.text);
    }
    const int status = QApplication::exec();
    desktop.HotKeys().SetPressHandler(nullptr);
    desktop.SetLateLimitationHandler(nullptr);
    popup.Destroy();
    return status;
}

}  // namespace

int RunControl(const QStringList& arguments)
{
    QTextStream err(stderr);
    const QList<int> commands = ControlCommandsFor(arguments);
    if (commands.size() != 1) {
        err << "kotobane: give one of --get-text, --history, --options and --exit" << Qt::endl;
        return 2;
    }
    SingleInstance instance(kInstanceName);
    if (!instance.IsRunning()) {
        err << "kotobane: Kotobane is not running on this desktop; start it first with kotobane" << Qt::endl;
        return 1;
    }
    if (!instance.Send(QString::number(commands.first()))) {
        err << "kotobane: the running copy did not answer" << Qt::endl;
        return 1;
    }
    return 0;
}

int RunDesktop(const QStringList& arguments)
{
    const std::optional<DesktopOptions> options = ParseDesktopOptions(arguments);
    if (!options) {
        return 2;
    }

    QApplication::setQuitOnLastWindowClosed(false);

    const ProfilePaths paths = ResolveProfilePaths(QCoreApplication::applicationDirPath(), options->profileDir);
    const IniProfile profile(paths.settingsFile);
    // A back-end opens at its first look-up, and the first one ever builds
    // its index: a second or two under the wait cursor.
    const std::unique_ptr<LinuxImeService> ime = CreateLinuxImeService([](bool busy) {
        if (busy) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        } else {
            QGuiApplication::restoreOverrideCursor();
        }
    });
    GuiMessageBox ui;
    ThreadClock clock;
    // Made before the settings are loaded, which create the voice and apply
    // the stored choices; the save releases it before it writes them.
    const std::unique_ptr<VoiceService> voices = CreateEspeakVoiceService();
    CSpeechEngine speech(*voices, ui, [&ime](const QString& layout, const QString& phrase) {
        return ReverseConversion(*ime, layout, phrase);
    });
    Settings settings;
    settings.ProfileDir = options->profileDir;
    ImeCatalog catalog;
    SettingsContext context{profile, *ime, ui, catalog, speech, DefaultLogFont(), QDateTime::currentDateTime()};
    LoadSettings(settings, context);

    SingleInstance instance(kInstanceName);
    if (!instance.BecomePrimary()) {
        return HandOverToRunningCopy(instance, *options, settings, context);
    }

    const std::unique_ptr<DesktopPlatform> desktop = ChooseDesktopPlatform();
    const int status = RunPopupSession({settings, profile, *ime, catalog, clock, ui, speech, *desktop},
                                       paths.historyFile, instance, *options);
    const ProfileWriteResult saved = SaveSettings(settings, context);
    QTextStream err(stderr);
    ReportUnsavedSettings(saved, &ui, err);
    return saved ? status : 1;
}

}  // namespace kotobane
