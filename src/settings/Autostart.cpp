#include "settings/Autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include "core/AppId.h"
#include "core/ReplaceFile.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

// What the Exec key's quoting rules reserve: an argument holding one of
// these has to be quoted.
const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");

// mkdir -p with the mode the base-directory rules ask for; 0 or errno.
int MakeFolders(const QString& dir)
{
    const QByteArray path = QFile::encodeName(dir);
    for (qsizetype end = 1; end <= path.size(); ++end) {
        if (end < path.size() && path[end] != '/') {
            continue;
        }
        if (::mkdir(path.left(end).constData(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat st { };
    if (::stat(path.constData(), &st) != 0) {
        return errno;
    }
    return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

QString Failure(const char* what, const QString& path, int error)
{
    return QStringLiteral("error on %1 %2\n%3").arg(QLatin1String(what), path, SystemErrorText(quint32(error)));
}

}  // namespace

QString AutostartFilePath(const QString& xdgConfigHome, const QString& home)
{
    const QString config = !xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)
                               ? xdgConfigHome
                               : QDir(home).filePath(QStringLiteral(".config"));
    return QDir::cleanPath(config + QStringLiteral("/autostart/") + QLatin1String(kAppId) + QStringLiteral(".desktop"));
}

QString AutostartFilePath()
{
    return AutostartFilePath(qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath());
}

QString QuoteExecArgument(const QString& argument)
{
    QString quoted = argument;
    const bool reserved = argument.isEmpty() || std::any_of(argument.begin(), argument.end(), [](QChar c) {
                              return kReserved.contains(c);
                          });
    if (reserved) {
        quoted.clear();
        for (const QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                quoted += u'\\';
            }
            quoted += c;
        }
        quoted = u'"' + quoted + u'"';
    }
    // A single % starts a field code, inside quotes too.
    return quoted.replace(u'%', QStringLiteral("%%"));
}

QString AutostartExec(const QString& program, const QString& profileDir)
{
    QString exec = QuoteExecArgument(program);
    if (!profileDir.isEmpty()) {
        exec += QStringLiteral(" --profile-dir ") + QuoteExecArgument(QDir::current().absoluteFilePath(profileDir));
    }
    return exec;
}

QByteArray AutostartEntry(const QString& exec)
{
    // The string escapes of every value come on top of the quoting: a
    // backslash in a quoted argument is four in the file.
    QString value;
    for (const QChar c : exec) {
        switch (c.unicode()) {
        case u'\\':
            value += QStringLiteral("\\\\");
            break;
        case u'\n':
            value += QStringLiteral("\\n");
            break;
        case u'\t':
            value += QStringLiteral("\\t");
            break;
        case u'\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Kotobane\n"
                          "Comment=Shows the reading of Japanese, Chinese and Korean text selected in any application\n"
                          "Icon=%1\n"
                          "Exec=%2\n")
        .arg(QLatin1String(kAppId), value)
        .toUtf8();
}

bool AutostartEnabled(const QString& path)
{
    return QFileInfo::exists(path);
}

QString SetAutostart(const QString& path, bool on, const QString& exec)
{
    if (!on) {
        if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
            return Failure("delete", path, errno);
        }
        return QString();
    }
    if (const int error = MakeFolders(QFileInfo(path).path()); error != 0) {
        return Failure("write", path, error);
    }
    if (const int error = ReplaceFile(path, AutostartEntry(exec)); error != 0) {
        return Failure("write", path, error);
    }
    return QString();
}

}  // namespace kotobane
