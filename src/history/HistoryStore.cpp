#include "history/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "core/SystemError.h"

namespace kotobane {

QString HistoryDate(const QDateTime& t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return QString::asprintf("%.4d/%.2d/%.2d %.2d:%.2d:%.2d", d.year(), d.month(), d.day(), c.hour(), c.minute(),
                             c.second());
}

HistoryAppender::HistoryAppender(QString historyFilePath, MessageBoxService& ui, Now now)
    : m_path(std::move(historyFilePath)),
      m_ui(ui),
      m_now(std::move(now))
{ }

void HistoryAppender::AppendHistory(const QString& phrase, const QString& reading)
{
    if (phrase == m_lastPhrase) {
        return;
    }
    m_lastPhrase = phrase;

    // The profile folder of a first run may not exist yet.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray name = QFile::encodeName(m_path);
    // O_APPEND with one write per line: two running copies never interleave
    // or overwrite each other's lines.
    int fd;
    do {
        fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        ShowSystemError(m_ui, QStringLiteral("error on open ") + m_path + u'\n', quint32(errno));
        return;
    }

    const QString line = phrase + u'\t' + reading + u'\t' + HistoryDate(m_now()) + QStringLiteral("\r\n");
    QByteArray bytes(line.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t unit = line.at(i).unicode();
        bytes[2 * i] = char(unit & 0xFF);
        bytes[2 * i + 1] = char(unit >> 8);
    }

    int error = 0;
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        written += n;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR) {
        error = errno;
    }
    if (error != 0) {
        ShowSystemError(m_ui, QStringLiteral("error on write ") + QFileInfo(m_path).absoluteFilePath() + u'\n',
                        quint32(error));
    }
}

}  // namespace kotobane
