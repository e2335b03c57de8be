#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace kotobane::fuzz {

// The fuzzer's bytes as a file, for the readers that take a path: one file
// in one private folder for the whole run, rewritten for every input. In
// memory where it can be, since the settings writer syncs every file.
inline QString WriteInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir(QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                 ? QStringLiteral("/dev/shm/kotobane-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/kotobane-fuzz-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("input"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    return path;
}

// The bytes as UTF-16 units (a last odd byte is dropped), lone surrogates
// and all.
inline QString Utf16(const uint8_t* data, size_t size)
{
    return QString(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
}

}  // namespace kotobane::fuzz
