#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#include "app/CommandLine.h"
#include "platform/ConsoleServices.h"
#include "platform/ime/LinuxImeService.h"
#include "settings/IniProfile.h"
#include "settings/ProfilePaths.h"

using namespace kotobane;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kotobane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOTOBANE_VERSION));

    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList arguments = QCoreApplication::arguments();

    if (ModeFor(arguments) == Mode::Desktop) {
        err << "kotobane: the tray program is not part of this build yet; "
               "kotobane --read TEXT shows a reading, kotobane --help lists the commands"
            << Qt::endl;
        return 1;
    }

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
        return IniProfile(paths.settingsFile).GetString(QStringLiteral("Settings"), QStringLiteral("keylayout"), QString());
    };
    ConsoleEnvironment env{in, out, err, *ime, clock, ui, storedLayout};
    return RunConsoleCommand(arguments, env);
}
