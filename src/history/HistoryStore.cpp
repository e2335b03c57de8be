#include "history/HistoryStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

#include "core/RegularFile.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcHistory, "kotobane.history")

// Far longer than any append takes.
constexpr int kLockWaitMs = 1000;

void WaitForLock(int fd)
{
    const QDeadlineTimer deadline(kLockWaitMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            return;  // a file system without locks: append as before
        }
        if (deadline.hasExpired()) {
            qCWarning(lcHistory, "the history file stays locked by another copy; appending anyway");
            return;
        }
        QThread::msleep(1);
    }
}

}  // namespace

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
    // O_APPEND with one write per line: two running copies never interleave
    // or overwrite each other's lines.
    const int fd = OpenRegularFile(m_path, O_WRONLY | O_CREAT | O_APPEND);
    if (fd < 0) {
        const int openError = errno;
        ShowSystemError(m_ui, QStringLiteral("error on open ") + m_path + u'\n', quint32(openError));
        return;
    }

    // Another copy appends under the same lock, so the size read under it
    // is where this line will begin, and a line cut short by a full disk
    // can be taken back without touching anyone else's. A copy that stays
    // stopped while holding it only delays the others.
    WaitForLock(fd);
    int error = 0;
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        error = errno;
    }
    const off_t start = st.st_size;
    QString line = phrase + u'\t' + reading + u'\t' + HistoryDate(m_now()) + QStringLiteral("\r\n");
    QByteArray bytes;
    if (start % 2 != 0) {
        // A file damaged elsewhere: a zero byte completes its last unit, so
        // that this line and every later one start on a unit, and a line
        // break keeps this line out of whatever text was torn.
        bytes.append('\0');
        line.prepend(QStringLiteral("\r\n"));
    }
    for (const QChar c : std::as_const(line)) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }

    qsizetype written = 0;
    while (error == 0 && written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
        } else {
            written += n;
        }
    }
    if (error != 0 && written > 0 && ::ftruncate(fd, start) != 0) {
        // Half a line glues the next one onto it.
        const QString why = qt_error_string(errno);
        qCWarning(lcHistory, "cannot take back a partly written line: %s", qUtf8Printable(why));
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
