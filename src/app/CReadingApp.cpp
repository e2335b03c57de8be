#include "app/CReadingApp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QTimer>

#include "platform/ConsoleServices.h"
#include "platform/SingleInstance.h"
#include "platform/UnixSignals.h"
#include "platform/ime/LinuxImeService.h"
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
        QObject::connect(&signals, &UnixSignals::TerminationRequested, qApp, &QCoreApplication::quit);

        if (showText) {
            popup.ShowText(text);
        }
        status = QApplication::exec();
        popup.Destroy();
    }
    SaveSettings(settings, context);
    return status;
}

}  // namespace kotobane
