#include "core/ReplaceFile.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QThread>

#include <cctype>
#include <cerrno>
#include <csignal>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include "core/ErrorCodes.h"

namespace kotobane {

namespace {

// Bytes of the target's name kept in the temporary file's, which must stay
// within NAME_MAX (255) with the dot, the pid and the random part.
constexpr qsizetype kNameKept = 200;

int WriteAll(int fd, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : ENOSPC;
        }
        done += n;
    }
    return 0;
}

// A FIFO whose reader went away raises SIGPIPE, which would end the
// program; blocked around the write, it leaves EPIPE, an error to report.
int WriteAllWithoutSigpipe(int fd, QByteArrayView bytes)
{
    sigset_t pipe;
    sigset_t old;
    sigset_t pending;
    ::sigemptyset(&pipe);
    ::sigaddset(&pipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &pipe, &old);
    ::sigpending(&pending);
    const bool wasPending = ::sigismember(&pending, SIGPIPE) == 1;
    const int error = WriteAll(fd, bytes);
    if (error == EPIPE && !wasPending) {
        const timespec none{};
        while (::sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) { }
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return error;
}

// The writer's pid in the rest of a name ".NAME.PID.XXXXXX" after
// ".NAME."; 0 when the name is not one of ours.
pid_t WriterOf(QByteArrayView rest)
{
    const qsizetype dot = rest.indexOf('.');
    if (dot <= 0 || dot > 9 || rest.size() - dot - 1 != 6) {
        return 0;
    }
    pid_t pid = 0;
    for (const char c : rest.first(dot)) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    for (const char c : rest.sliced(dot + 1)) {
        if (!std::isalnum(static_cast<unsigned char>(c))) {
            return 0;
        }
    }
    return pid;
}

// Removes the temporary files of writers that were killed before they
// could remove their own. A writer still running, here or (through its
// lock) on another machine sharing the directory, keeps its file.
void RemoveLeftovers(const QByteArray& dir, const QByteArray& prefix)
{
    DIR* d = ::opendir(dir.constData());
    if (d == nullptr) {
        return;
    }
    const int dfd = ::dirfd(d);
    while (const dirent* entry = ::readdir(d)) {
        const QByteArrayView name(entry->d_name);
        if (!name.startsWith(prefix)) {
            continue;
        }
        const pid_t pid = WriterOf(name.sliced(prefix.size()));
        if (pid <= 0 || pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) {
            continue;
        }
        int fd = ::openat(dfd, entry->d_name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            fd = ::openat(dfd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        }
        if (fd < 0) {
            continue;
        }
        struct stat st { };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid()
            && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlinkat(dfd, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(d);
}

void SyncDirectory(const QByteArray& dir)
{
    // Makes the rename itself durable; the data was synced before it. Some
    // file systems cannot sync a directory, and the file is in place anyway.
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

FileReplacer::FileReplacer(QString target, OtherTargets others) : m_target(std::move(target)), m_others(others)
{ }

FileReplacer::~FileReplacer()
{
    Cancel();
}

bool FileReplacer::Fail(int error)
{
    if (m_error == 0) {
        m_error = error;
    }
    Cancel();
    return false;
}

void FileReplacer::Cancel()
{
    if (m_fd >= 0) {
        ::close(std::exchange(m_fd, -1));
    }
    if (!m_temp.isEmpty()) {
        ::unlink(m_temp.constData());
        m_temp.clear();
    }
}

bool FileReplacer::Open()
{
    if (m_fd >= 0 || m_error != 0) {
        return Fail(m_error != 0 ? m_error : EBUSY);
    }
    const QFileInfo info(m_target);
    // Through a link to the file it names, so that the link stays.
    m_real = QFile::encodeName(info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath());
    struct stat old { };
    const bool exists = ::stat(m_real.constData(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return Fail(errno);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        if (S_ISDIR(old.st_mode)) {
            return Fail(EISDIR);
        }
        if (m_others == OtherTargets::WriteThrough && (S_ISFIFO(old.st_mode) || S_ISCHR(old.st_mode))) {
            return OpenThrough(old);
        }
        return Fail(int(kErrorNotRegularFile));
    }

    const qsizetype slash = m_real.lastIndexOf('/');
    m_dir = slash == 0 ? QByteArray("/") : m_real.left(slash);
    const QByteArray prefix = '.' + m_real.sliced(slash + 1).left(kNameKept) + '.';
    RemoveLeftovers(m_dir, prefix);
    const QByteArray stem = m_dir + '/' + prefix + QByteArray::number(::getpid()) + '.';
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; m_fd < 0; ++attempt) {
        QByteArray name = stem;
        for (int i = 0; i < 6; ++i) {
            name.append(kAlphabet[QRandomGenerator::global()->bounded(int(sizeof kAlphabet - 1))]);
        }
        // A new file gets 0666 less the umask from the kernel, with no
        // moment at which the umask is changed; an old one's mode is copied.
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, exists ? 0600 : 0666);
        if (m_fd >= 0) {
            m_temp = name;
        } else if ((errno != EEXIST && errno != EINTR) || attempt >= 100) {
            return Fail(errno);
        }
    }
    // Held while this writer lives: another machine sharing the directory
    // cannot see this pid, but sees the lock.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    if (exists && ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        return Fail(errno);
    }
    return true;
}

bool FileReplacer::OpenThrough(const struct stat& st)
{
    const QDeadlineTimer deadline(m_readerWaitMs);
    for (;;) {
        // Without O_NONBLOCK, a FIFO nobody reads would hold open() for ever.
        m_fd = ::open(m_real.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != ENXIO || !S_ISFIFO(st.st_mode)) {
            return Fail(errno);
        }
        if (deadline.hasExpired()) {
            return Fail(int(kErrorNoReader));
        }
        QThread::msleep(10);
    }
    struct stat now { };
    if (::fstat(m_fd, &now) != 0) {
        return Fail(errno);
    }
    if (!S_ISFIFO(now.st_mode) && !S_ISCHR(now.st_mode)) {
        // Swapped for something else since the look.
        return Fail(S_ISREG(now.st_mode) ? EAGAIN : int(kErrorNotRegularFile));
    }
    const int flags = ::fcntl(m_fd, F_GETFL);
    if (flags < 0 || ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        return Fail(errno);
    }
    return true;
}

bool FileReplacer::Write(QByteArrayView bytes)
{
    if (m_fd < 0) {
        return Fail(m_error != 0 ? m_error : EBADF);
    }
    const int error = m_temp.isEmpty() ? WriteAllWithoutSigpipe(m_fd, bytes) : WriteAll(m_fd, bytes);
    return error == 0 || Fail(error);
}

bool FileReplacer::Commit()
{
    if (m_fd < 0) {
        return Fail(m_error != 0 ? m_error : EBADF);
    }
    const bool through = m_temp.isEmpty();
    if (!through && ::fsync(m_fd) != 0) {
        return Fail(errno);
    }
    if (::fstat(m_fd, &m_written) != 0) {
        return Fail(errno);
    }
    if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR) {
        return Fail(errno);
    }
    if (through) {
        return true;
    }
    if (::rename(m_temp.constData(), m_real.constData()) != 0) {
        return Fail(errno);
    }
    m_temp.clear();
    SyncDirectory(m_dir);
    return true;
}

int ReplaceFile(const QString& path, QByteArrayView bytes, OtherTargets others)
{
    FileReplacer file(path, others);
    return file.Open() && file.Write(bytes) && file.Commit() ? 0 : file.Error();
}

}  // namespace kotobane
