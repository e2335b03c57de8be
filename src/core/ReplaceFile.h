#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

namespace kotobane {

// What a target that exists and is not a regular file gets.
enum class OtherTargets {
    Refuse,  // EISDIR for a directory, kErrorNotRegularFile for the rest
    WriteThrough,  // a FIFO or character device gets the bytes; the rest is refused
};

// The one way files are replaced: the bytes go to a temporary file beside
// the target, which is synced and renamed over it, and then the directory
// is synced, so that a reader or a crash finds the old file or the new one,
// never a part. A link stays a link (the file it names is replaced) and the
// target's mode stays (a new file gets 0666 less the umask). Nothing but a
// regular file is ever renamed over.
//
// The temporary file is named .NAME.PID.XXXXXX after its writer, so that
// one left by a writer that was killed is removed at the next replace of
// the same target, while one a running writer is filling is not touched.
//
// Errors are errno values or the program's own codes (core/ErrorCodes.h);
// after the first one every later call fails with it, and the temporary
// file is gone.
class FileReplacer {
public:
    explicit FileReplacer(QString target, OtherTargets others = OtherTargets::Refuse);
    ~FileReplacer();  // an uncommitted temporary file is removed
    FileReplacer(const FileReplacer&) = delete;
    FileReplacer& operator=(const FileReplacer&) = delete;

    // Makes the temporary file, or opens the FIFO or device written
    // through; a FIFO is given ReaderWaitMs() to get a reader.
    bool Open();
    // Writes all of bytes.
    bool Write(QByteArrayView bytes);
    // Syncs, closes and renames the new file over the target.
    bool Commit();
    // Takes everything back; the target keeps its bytes.
    void Cancel();

    int Error() const { return m_error; }
    // What Commit put in place: device, inode and size.
    const struct stat& Written() const { return m_written; }

    int ReaderWaitMs() const { return m_readerWaitMs; }
    void SetReaderWaitMs(int ms) { m_readerWaitMs = ms; }

private:
    bool Fail(int error);
    bool OpenThrough(const struct stat& st);

    QString m_target;
    OtherTargets m_others;
    QByteArray m_real;  // the file replaced, links resolved
    QByteArray m_dir;  // the directory it is in
    QByteArray m_temp;  // empty when writing through
    int m_fd = -1;
    int m_error = 0;
    int m_readerWaitMs = 10000;
    struct stat m_written { };
};

// Replaces path with bytes; 0, or the error.
int ReplaceFile(const QString& path, QByteArrayView bytes, OtherTargets others = OtherTargets::Refuse);

}  // namespace kotobane
