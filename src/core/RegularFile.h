#pragma once

#include <QFile>
#include <QString>

#include <sys/types.h>

namespace kotobane {

// Opens path with the open(2) flags given, never waiting on what stands
// there: a FIFO, device or socket in place of a file would block open() or
// every read and write after it. The file is opened with O_NONBLOCK and
// O_NOCTTY, and kept only when it is a regular file; the descriptor comes
// back blocking and close-on-exec. -1 with errno set otherwise: EISDIR for
// a directory, kErrorNotRegularFile for anything else that is not a file.
int OpenRegularFile(const QString& path, int flags, mode_t mode = 0644);

// The same for the file named by file.fileName(), read-only, on a QFile
// that owns the descriptor. False with errno set.
bool OpenRegularFile(QFile& file);

}  // namespace kotobane
