#include "core/RegularFile.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/ErrorCodes.h"

namespace kotobane {

int OpenRegularFile(const QString& path, int flags, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    int fd;
    do {
        fd = ::open(name.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        // A FIFO without a reader, a socket, or a device without its
        // hardware: none of them a file.
        if (errno == ENXIO) {
            errno = int(kErrorNotRegularFile);
        }
        return -1;
    }
    struct stat st;
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : int(kErrorNotRegularFile);
    } else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool OpenRegularFile(QFile& file)
{
    const int fd = OpenRegularFile(file.fileName(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        errno = EBADF;
        return false;
    }
    return true;
}

}  // namespace kotobane
