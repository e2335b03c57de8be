#include "settings/ProfilePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kotobane {

namespace {
const QString kSettingsName = QStringLiteral("Kotobane.ini");
const QString kHistoryName = QStringLiteral("Kotobane.txt");

ProfilePaths InDirectory(const QString& dir)
{
    const QDir d(dir);
    return {QDir::cleanPath(d.absoluteFilePath(kSettingsName)), QDir::cleanPath(d.absoluteFilePath(kHistoryName))};
}
}  // namespace

ProfilePaths ResolveProfilePaths(const QString& executableDir, const QString& profileDir)
{
    if (!profileDir.isEmpty()) {
        return InDirectory(profileDir);
    }
    if (!executableDir.isEmpty() && QFileInfo(QDir(executableDir).filePath(kSettingsName)).isFile()) {
        return InDirectory(executableDir);
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return {QDir(config).filePath(QStringLiteral("kotobane/") + kSettingsName),
            QDir(data).filePath(QStringLiteral("kotobane/") + kHistoryName)};
}

}  // namespace kotobane
