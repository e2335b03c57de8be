#include "history/HistoryStore.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/ErrorCodes.h"
#include "core/RegularFile.h"
#include "core/ReplaceFile.h"
#include "core/SystemError.h"
#include "core/Utf16.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcHistory, "kotobane.history", QtWarningMsg)

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

// Writes all of bytes; returns the error (0 for none), with what went out
// in written.
int WriteAll(int fd, const QByteArray& bytes, qsizetype* written)
{
    *written = 0;
    while (*written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + *written, size_t(bytes.size() - *written));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : ENOSPC;
        }
        *written += n;
    }
    return 0;
}

// HistoryFingerprint() hashes this many bytes at a time, so that a file
// can be hashed without holding it whole.
constexpr qsizetype kFingerprintPiece = qsizetype(1) << 20;

// The hash after one more piece; Qt's fastest hash needs a seed other than
// zero.
size_t FingerprintStep(size_t h, const char* piece, qsizetype size)
{
    return qHashBits(piece, size_t(size), h | 1);
}
constexpr size_t kFingerprintSeed = 0x6b6f746f;

// How often an append follows a file that a save replaced meanwhile.
constexpr int kReplacedRetries = 3;

bool WasReplaced(int fd, const QString& path)
{
    struct stat open { };
    struct stat named { };
    if (::fstat(fd, &open) != 0 || ::stat(QFile::encodeName(path).constData(), &named) != 0) {
        return false;
    }
    return open.st_dev != named.st_dev || open.st_ino != named.st_ino;
}

}  // namespace

quint64 HistoryFingerprint(QByteArrayView bytes)
{
    size_t h = kFingerprintSeed;
    for (qsizetype at = 0; at < bytes.size(); at += kFingerprintPiece) {
        h = FingerprintStep(h, bytes.data() + at, std::min(kFingerprintPiece, bytes.size() - at));
    }
    return quint64(h) ^ quint64(bytes.size());
}

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
    int fd = -1;
    // A save replaces the file under the lock; a line written to the old
    // one after that would be lost with it.
    for (int attempt = 0; attempt < kReplacedRetries; ++attempt) {
        fd = OpenRegularFile(m_path, O_WRONLY | O_CREAT | O_APPEND);
        if (fd < 0) {
            const int openError = errno;
            ShowSystemError(m_ui, QStringLiteral("error on open ") + m_path + u'\n', quint32(openError));
            return;
        }
        // Another copy appends under the same lock, so the size read under
        // it is where this line will begin, and a line cut short by a full
        // disk can be taken back without touching anyone else's. A copy
        // that stays stopped while holding it only delays the others.
        WaitForLock(fd);
        if (!WasReplaced(fd, m_path) || attempt + 1 == kReplacedRetries) {
            break;
        }
        ::close(fd);
    }
    int error = 0;
    struct stat st { };
    if (::fstat(fd, &st) != 0) {
        error = errno;
    }
    const off_t start = st.st_size;
    const QString date = HistoryDate(m_now());
    QString line = phrase + u'\t' + reading + u'\t' + date + QStringLiteral("\r\n");
    QByteArray bytes;
    if (start % 2 != 0) {
        // A file damaged elsewhere: a zero byte completes its last unit, so
        // that this line and every later one start on a unit, and a line
        // break keeps this line out of whatever text was torn.
        bytes.append('\0');
        line.prepend(QStringLiteral("\r\n"));
    }
    AppendUtf16(bytes, line);

    qsizetype written = 0;
    if (error == 0) {
        error = WriteAll(fd, bytes, &written);
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
        return;
    }
    if (m_appended) {
        m_appended(HistoryRecord{phrase, reading, date}, ByteRange{start, bytes.size(), HistoryFingerprint(bytes)});
    }
}

namespace {

// A history file larger than this is refused rather than read whole.
constexpr qint64 kMaxHistoryBytes = qint64(1) << 30;

// Units of the tokenizer: maximal runs of non-separator characters.
template <typename Visit>
void ForEachField(QStringView line, QChar separator, Visit visit)
{
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (i < n) {
        while (i < n && line[i] == separator) {
            ++i;
        }
        const qsizetype start = i;
        while (i < n && line[i] != separator) {
            ++i;
        }
        if (i > start && !visit(line.sliced(start, i - start))) {
            return;
        }
    }
}

// The first three fields of a line; missing ones empty.
std::array<QStringView, kHistoryColumns> RowFields(QStringView line, QChar separator)
{
    std::array<QStringView, kHistoryColumns> cells{};
    size_t count = 0;
    ForEachField(line, separator, [&](QStringView field) {
        cells[count++] = field;
        return count < cells.size();
    });
    return cells;
}

// Calls visit for every non-empty line of text; only CR LF ends a line.
template <typename Visit>
void ForEachLine(QStringView text, Visit visit)
{
    qsizetype pos = 0;
    while (pos < text.size()) {
        qsizetype end = pos;
        for (;;) {
            end = text.indexOf(u'\r', end);
            if (end < 0 || (end + 1 < text.size() && text[end + 1] == u'\n')) {
                break;
            }
            ++end;
        }
        const qsizetype stop = end < 0 ? text.size() : end;
        if (stop > pos) {
            visit(text.sliced(pos, stop - pos));
        }
        pos = end < 0 ? text.size() : end + 2;
    }
}

// bytes as UTF-16LE units; an odd last byte forms none.
QString UnitsOf(const char* bytes, qsizetype size)
{
    QString text(size / 2, Qt::Uninitialized);
    std::memcpy(text.data(), bytes, size_t(size / 2 * 2));
    if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
        for (QChar& c : text) {
            c = QChar(qFromLittleEndian(c.unicode()));
        }
    }
    return text;
}

// Reads length bytes from offset; false with errno set.
bool ReadAt(int fd, qint64 offset, char* out, qint64 length, qint64* got)
{
    *got = 0;
    while (*got < length) {
        const ssize_t n = ::pread(fd, out + *got, size_t(length - *got), off_t(offset + *got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;  // shorter than it was: take what is there
        }
        *got += n;
    }
    return true;
}

struct WriteFailure {
    bool opening = false;  // the new file could not be made
    int error = 0;
};

// Writes every row to a new file beside target and renames it over target.
// On failure target keeps its bytes. written gets the new file's identity.
std::optional<WriteFailure> WriteRows(const HistoryRows& rows, const QString& target, QChar separator,
                                      HistoryFileMark* written)
{
    FileReplacer file(target);
    if (!file.Open()) {
        return WriteFailure{true, file.Error()};
    }
    QByteArray buffer;
    constexpr qsizetype kChunk = 256 * 1024;
    buffer.reserve(kChunk + 4096);
    qint64 total = 0;
    bool ok = true;
    const auto flush = [&] {
        ok = ok && file.Write(buffer);
        total += ok ? buffer.size() : 0;
        buffer.clear();
    };
    const QChar sep[1] = {separator};
    for (int row = 0; row < rows.Count() && ok; ++row) {
        AppendUtf16(buffer, rows.Cell(row, 0));
        AppendUtf16(buffer, QStringView(sep, 1));
        AppendUtf16(buffer, rows.Cell(row, 1));
        AppendUtf16(buffer, QStringView(sep, 1));
        AppendUtf16(buffer, rows.Cell(row, 2));
        AppendUtf16(buffer, u"\r\n");
        if (buffer.size() >= kChunk) {
            flush();
        }
    }
    flush();
    if (!ok || !file.Commit()) {
        return WriteFailure{false, file.Error()};
    }
    if (written != nullptr) {
        written->valid = true;
        written->device = quint64(file.Written().st_dev);
        written->inode = quint64(file.Written().st_ino);
        written->length = total;
        written->own.clear();
    }
    return std::nullopt;
}

void ShowWriteFailure(MessageBoxService& ui, const QString& path, const WriteFailure& failure)
{
    if (failure.opening) {
        ShowSystemError(ui, QStringLiteral("error on open ") + path + u'\n', quint32(failure.error));
    } else {
        ShowSystemError(ui, QStringLiteral("error on write ") + QFileInfo(path).absoluteFilePath() + u'\n',
                        quint32(failure.error));
    }
}

// HistoryFingerprint() of the length bytes of fd from offset, or of fewer
// when the file ends before; none with errno set when they cannot be read.
std::optional<quint64> FingerprintAt(int fd, qint64 offset, qint64 length)
{
    QByteArray piece(std::min<qint64>(length, kFingerprintPiece), Qt::Uninitialized);
    size_t h = kFingerprintSeed;
    qint64 total = 0;
    while (total < length) {
        qint64 got = 0;
        if (!ReadAt(fd, offset + total, piece.data(), std::min<qint64>(length - total, piece.size()), &got)) {
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        h = FingerprintStep(h, piece.constData(), qsizetype(got));
        total += got;
        if (got < piece.size()) {
            break;
        }
    }
    return quint64(h) ^ quint64(total);
}

// Whether the file is the one mark describes grown only by appends: the
// bytes before mark's end, and those of this program's own appends, as
// they were. None with errno set when they cannot be read.
std::optional<bool> OnlyAppended(int fd, const struct stat& now, const HistoryFileMark& mark)
{
    if (mark.valid) {
        if (quint64(now.st_dev) != mark.device || quint64(now.st_ino) != mark.inode || now.st_size < mark.length
            || !mark.fingerprint) {
            return false;
        }
        const std::optional<quint64> print = FingerprintAt(fd, 0, mark.length);
        if (!print || *print != *mark.fingerprint) {
            return print ? std::optional<bool>(false) : std::nullopt;
        }
    }
    for (const ByteRange& range : mark.own) {
        const std::optional<quint64> print = FingerprintAt(fd, range.offset, range.length);
        if (!print || *print != range.fingerprint) {
            return print ? std::optional<bool>(false) : std::nullopt;
        }
    }
    return true;
}

// The rows a store held since it was emptied, deleted ones included, as a
// multiset from which records are taken one at a time.
class HeldRecords {
public:
    explicit HeldRecords(const HistoryRows& rows) : m_rows(rows)
    {
        const int held = rows.Count() + rows.DeletedCount();
        m_entries.reserve(size_t(held));
        for (int i = 0; i < held; ++i) {
            m_entries.push_back({Hash(Cells(i)), quint32(i)});
        }
        std::sort(m_entries.begin(), m_entries.end());
        m_taken.assign(m_entries.size(), 0);
    }

    // True when one more record with these cells was held; it is taken.
    bool Take(const std::array<QStringView, kHistoryColumns>& cells)
    {
        const Entry key{Hash(cells), 0};
        const auto first = std::lower_bound(m_entries.begin(), m_entries.end(), key);
        const auto end = std::upper_bound(first, m_entries.end(), Entry{key.hash, UINT32_MAX});
        if (first == end) {
            return false;
        }
        // Equal records share a hash and are taken in turn; a record that
        // only shares the hash stays unknown, kept rather than lost.
        quint32& taken = m_taken[size_t(first - m_entries.begin())];
        if (first + taken >= end || Cells(first[taken].row) != cells) {
            return false;
        }
        ++taken;
        return true;
    }

private:
    struct Entry {
        size_t hash;
        quint32 row;
        auto operator<=>(const Entry&) const = default;
    };

    std::array<QStringView, kHistoryColumns> Cells(int row) const
    {
        std::array<QStringView, kHistoryColumns> cells;
        for (int c = 0; c < kHistoryColumns; ++c) {
            cells[size_t(c)] = row < m_rows.Count() ? m_rows.Cell(row, c) : m_rows.DeletedCell(row - m_rows.Count(), c);
        }
        return cells;
    }
    static size_t Hash(const std::array<QStringView, kHistoryColumns>& cells)
    {
        return qHashMulti(kFingerprintSeed, cells[0], cells[1], cells[2]);
    }

    const HistoryRows& m_rows;
    std::vector<Entry> m_entries;
    std::vector<quint32> m_taken;  // at the first entry of each hash
};

// The records of the whole file that rows never held. None with errno set
// when they cannot be read.
std::optional<QList<HistoryRecord>> UnknownRecords(int fd, const struct stat& now, const HistoryRows& rows)
{
    if (now.st_size > kMaxHistoryBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    QByteArray bytes(now.st_size, Qt::Uninitialized);
    qint64 got = 0;
    if (!ReadAt(fd, 0, bytes.data(), bytes.size(), &got)) {
        return std::nullopt;
    }
    const QString text = UnitsOf(bytes.constData(), got);
    bytes = QByteArray();
    HeldRecords held(rows);
    QList<HistoryRecord> records;
    ForEachLine(text, [&](QStringView line) {
        const auto cells = RowFields(line, u'\t');
        if (!held.Take(cells)) {
            records.append({cells[0].toString(), cells[1].toString(), cells[2].toString()});
        }
    });
    return records;
}

// The records in the bytes other copies appended to the history file since
// mark: the tail after mark.length less this program's own lines.
// Empty with errno set when they cannot be read.
std::optional<QList<HistoryRecord>> AppendedRecords(int fd, const struct stat& now, const HistoryFileMark& mark)
{
    QList<HistoryRecord> records;
    const qint64 from = mark.valid ? mark.length : 0;
    if (now.st_size <= from) {
        return records;
    }
    if (now.st_size - from > kMaxHistoryBytes) {
        errno = EFBIG;
        return std::nullopt;
    }
    QByteArray tail(now.st_size - from, Qt::Uninitialized);
    qint64 got = 0;
    if (!ReadAt(fd, from, tail.data(), tail.size(), &got)) {
        return std::nullopt;
    }
    tail.truncate(got);
    // Cut out this program's own appends; every append starts whole, so
    // what is left are other copies' whole appends.
    QList<ByteRange> own = mark.own;
    std::sort(own.begin(), own.end(), [](ByteRange a, ByteRange b) { return a.offset < b.offset; });
    QString text;
    qint64 pos = from;
    const auto take = [&](qint64 end) {
        end = std::min(end, from + tail.size());
        if (end <= pos) {
            return;
        }
        qint64 start = pos;
        if (start % 2 != 0) {
            ++start;  // the byte that completed a torn unit
        }
        if (end > start) {
            text += UnitsOf(tail.constData() + (start - from), end - start);
        }
    };
    for (const ByteRange& range : std::as_const(own)) {
        take(range.offset);
        pos = std::max(pos, range.offset + range.length);
    }
    take(from + tail.size());
    ForEachLine(text, [&records](QStringView line) {
        const auto cells = RowFields(line, u'\t');
        records.append({cells[0].toString(), cells[1].toString(), cells[2].toString()});
    });
    return records;
}

// What other copies added to the file since mark, as SaveHistoryFile()
// tells. None with errno set when the file cannot be read.
std::optional<QList<HistoryRecord>> ForeignRecords(int fd, const struct stat& now, const HistoryFileMark& mark,
                                                   const HistoryRows& rows)
{
    const std::optional<bool> appended = OnlyAppended(fd, now, mark);
    if (!appended) {
        return std::nullopt;
    }
    if (*appended) {
        return AppendedRecords(fd, now, mark);
    }
    // Replaced by another copy's save, or rewritten in place: what lies
    // after the old end need not start a line.
    qCDebug(lcHistory, "the history file was replaced or rewritten; its records are merged by content");
    return UnknownRecords(fd, now, rows);
}

// The fingerprint of the file written, read back: appends may already
// follow, but not before written.length.
std::optional<quint64> WrittenFingerprint(const QString& path, const HistoryFileMark& written)
{
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st { };
    std::optional<quint64> print;
    if (::fstat(fd, &st) == 0 && quint64(st.st_dev) == written.device && quint64(st.st_ino) == written.inode) {
        print = FingerprintAt(fd, 0, written.length);
    }
    ::close(fd);
    return print;
}

}  // namespace

QList<QStringView> SplitFields(QStringView line, QChar separator)
{
    QList<QStringView> fields;
    ForEachField(line, separator, [&fields](QStringView field) {
        fields.append(field);
        return true;
    });
    return fields;
}

QChar SeparatorForFile(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && QStringView(name).sliced(dot + 1) == u"csv" ? QChar(u',') : QChar(u'\t');
}

bool LoadHistory(HistoryRows& rows, const QString& path, QChar separator, bool append, MessageBoxService& ui,
                 HistoryFileMark* mark)
{
    if (!append) {
        rows.DeleteAllRows();
    }
    if (mark != nullptr) {
        *mark = HistoryFileMark{};
    }
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT) {
            ShowSystemError(ui, QStringLiteral("error on open ") + path + u'\n', quint32(error));
        }
        return false;
    }
    struct stat st { };
    int error = ::fstat(fd, &st) == 0 ? 0 : errno;
    if (error == 0 && st.st_size > kMaxHistoryBytes) {
        error = EFBIG;
    }
    QString block;
    qint64 got = 0;
    quint64 print = 0;
    if (error == 0) {
        // Read straight into the units the rows will point at.
        block = QString((qsizetype(st.st_size) + 1) / 2, Qt::Uninitialized);
        if (!ReadAt(fd, 0, reinterpret_cast<char*>(block.data()), st.st_size, &got)) {
            error = errno;
        }
        if (mark != nullptr) {
            print = HistoryFingerprint(QByteArrayView(reinterpret_cast<const char*>(block.constData()), got));
        }
        block.truncate(got / 2);
        if constexpr (Q_BYTE_ORDER == Q_BIG_ENDIAN) {
            block = UnitsOf(reinterpret_cast<const char*>(block.constData()), got / 2 * 2);
        }
    }
    ::close(fd);
    if (error != 0) {
        ShowSystemError(ui, QStringLiteral("error on read ") + QFileInfo(path).absoluteFilePath() + u'\n',
                        quint32(error));
        return false;
    }
    const QChar* units = rows.AdoptBlock(std::move(block));
    ForEachLine(QStringView(units, got / 2),
                [&rows, separator](QStringView line) { rows.AddSlices(RowFields(line, separator)); });
    if (mark != nullptr) {
        mark->valid = true;
        mark->device = quint64(st.st_dev);
        mark->inode = quint64(st.st_ino);
        mark->length = got;
        mark->fingerprint = print;
    }
    return true;
}

bool SaveHistory(const HistoryRows& rows, const QString& path, QChar separator, MessageBoxService& ui)
{
    if (const auto failure = WriteRows(rows, path, separator, nullptr)) {
        ShowWriteFailure(ui, path, *failure);
        return false;
    }
    return true;
}

bool SaveHistoryFile(HistoryRows& rows, const QString& path, HistoryFileMark& mark, MessageBoxService& ui,
                     const std::function<void(const HistoryRecord&)>& addForeign)
{
    // Held until the new file is in place, so that no append goes to the
    // old one unseen; appenders then follow the new file.
    const int fd = OpenRegularFile(path, O_RDONLY);
    if (fd < 0 && errno != ENOENT) {
        ShowWriteFailure(ui, path, WriteFailure{true, errno});
        return false;
    }
    if (fd >= 0) {
        WaitForLock(fd);
        // What another copy appended must not be lost by writing over it.
        struct stat now { };
        const auto foreign = ::fstat(fd, &now) == 0 ? ForeignRecords(fd, now, mark, rows) : std::nullopt;
        if (!foreign) {
            const int error = errno;
            ::close(fd);
            ShowSystemError(ui, QStringLiteral("error on read ") + QFileInfo(path).absoluteFilePath() + u'\n',
                            quint32(error));
            return false;
        }
        for (const HistoryRecord& record : *foreign) {
            if (addForeign) {
                addForeign(record);
            }
        }
    }
    HistoryFileMark written;
    const auto failure = WriteRows(rows, path, u'\t', &written);
    if (fd >= 0) {
        ::close(fd);
    }
    if (failure) {
        ShowWriteFailure(ui, path, *failure);
        return false;
    }
    mark = written;
    mark.fingerprint = WrittenFingerprint(path, written);
    return true;
}

}  // namespace kotobane
