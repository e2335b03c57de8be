#include "app/CReadingApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QTimer>

#include "platform/ConsoleServices.h"
#include "platform/SingleInstance.h"
#include "platform/UnixSignals.h"
#include "platform/ime/LinuxImeService.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Keyboard.h"
#include "platform/x11/X11Window.h"
#include "window/GetTextFlow.h"
#include "settings/FontMapping.h"
#include "settings/ProfilePaths.h"
#include "settings/Settings.h"
#include "speech/SpeechEngine.h"
#include "window/CReadingDlg.h"
#include "window/GuiMessageBox.h"

namespace kotobane {

namespace {

const QString kInstanceName = QStringLiteral("Kotobane_mirel");
const QString kShowPrefix = QStringLiteral("show ");

}  // namespace

int RunDesktop(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.addOption({QStringLiteral("profile-dir"), QString(), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("show"), QString(), QStringLiteral("TEXT")});
    if (!parser.parse(arguments)) {
        qCritical().noquote() << "kotobane:" << parser.errorText() << "\nTry kotobane --help.";
        return 2;
    }
    const bool showText = parser.isSet(QStringLiteral("show"));
    const QString text = parser.value(QStringLiteral("show"));

    QApplication::setQuitOnLastWindowClosed(false);

    const ProfilePaths paths =
        ResolveProfilePaths(QCoreApplication::applicationDirPath(), parser.value(QStringLiteral("profile-dir")));
    const IniProfile profile(paths.settingsFile);
    const std::unique_ptr<LinuxImeService> ime = CreateLinuxImeService();
    GuiMessageBox ui;
    ThreadClock clock;
    NoSpeechEngine speech;
    Settings settings;
    ImeCatalog catalog;
    SettingsContext context{profile, *ime, ui, catalog, speech, DefaultLogFont(), QDateTime::currentDateTime()};
    LoadSettings(settings, context);

    SingleInstance instance(kInstanceName);
    if (!instance.BecomePrimary()) {
        if (showText) {
            // A request for the running copy, not a start of our own.
            return instance.Send(kShowPrefix + text) ? 0 : 1;
        }
        instance.Send(QString::number(kRunningCommand));
        SaveSettings(settings, context);
        return 0;
    }

    int status = 0;
    {
        CReadingDlg popup({settings, profile, *ime, clock, ui, speech});
        popup.Initialise();

        // The look-up: the selection of the window in front, copied through
        // the clipboard, read and recorded.
        X11Desktop desktop;
        X11Keyboard keyboard;
        X11Clipboard clipboard;
        TextGrabber grabber(clipboard, keyboard, desktop, clock, ui);
        grabber.SetOwnerWatch(&clipboard);
        HistoryAppender history(paths.historyFile, ui);
        GetTextFlow flow(desktop, desktop, grabber, clock,
                         [&popup](const QString& phrase) { return popup.Engine().GetReading(phrase); }, history,
                         PopupAccess{Hwnd(popup.winId()),
                                     [&popup](const QString& text) { popup.TextBox()->setPlainText(text); },
                                     [&popup](bool show) { popup.ShowPopup(show); },
                                     [&popup] { return popup.Shown(); }});
        popup.SetLookUp([&flow] { flow.LookUp(); });

        X11HotKeys hotKeys;
        if (HasX11Connection()) {
            RegisterHotKeys(hotKeys, ui, settings.HotKeys, true);
        } else {
            qWarning().noquote() << "kotobane: the global hot key and the capture of selected text need an X11"
                                    " session; bind \"kotobane --show TEXT\" or the tray icon instead.";
        }
        QObject::connect(&hotKeys, &X11HotKeys::HotKeyPressed, &popup,
                         [&flow, &settings](int id) { flow.OnHotKey(id, settings.HotKeys); });

        QObject::connect(&instance, &SingleInstance::MessageReceived, &popup, [&popup](const QString& message) {
            // Leave the socket's handler before a modal box opens.
            QTimer::singleShot(0, &popup, [&popup, message] {
                if (message == QString::number(kRunningCommand)) {
                    popup.ShowRunning();
                } else if (message.startsWith(kShowPrefix)) {
                    popup.ShowText(message.mid(kShowPrefix.size()));
                }
            });
        });
        UnixSignals signals;
        // exit(), not quit(): quit() first asks every window to close, and the
        // popup refuses (closing it only hides it), which would cancel the end.
        QObject::connect(&signals, &UnixSignals::TerminationRequested, qApp, [] { QCoreApplication::exit(0); });

        if (showText) {
            popup.ShowText(text);
        }
        status = QApplication::exec();
        RegisterHotKeys(hotKeys, ui, settings.HotKeys, false);
        popup.Destroy();
    }
    SaveSettings(settings, context);
    return status;
}

}  // namespace kotobane
