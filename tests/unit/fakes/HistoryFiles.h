#pragma once

#include <QFile>
#include <QString>
#include <QStringList>

namespace kotobane::test {

// History files as the program writes them: UTF-16LE, no byte-order mark.
inline QByteArray Utf16Le(const QString& text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

// "phrase TAB reading TAB date" lines, each ended with CR LF.
inline bool WriteHistoryLines(const QString& path, const QStringList& lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    for (const QString& line : lines) {
        f.write(Utf16Le(line + QStringLiteral("\r\n")));
    }
    return true;
}

// The lines of a UTF-16LE file without their CR LF; "<missing>" when it
// cannot be read.
inline QStringList ReadHistoryLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return {QStringLiteral("<missing>")};
    }
    const QByteArray bytes = f.readAll();
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        text.append(QChar(char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8))));
    }
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

}  // namespace kotobane::test
