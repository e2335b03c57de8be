#pragma once

#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

#include "history/HistoryRows.h"
#include "platform/SystemServices.h"

namespace kotobane {

// One line of the history: phrase, reading, date.
struct HistoryRecord {
    QString phrase;
    QString reading;
    QString date;
    bool operator==(const HistoryRecord&) const = default;
};

// Bytes [offset, offset + length) of a file, and a hash of what they held
// when written (HistoryFingerprint), to tell whether they still do.
struct ByteRange {
    qint64 offset = 0;
    qint64 length = 0;
    quint64 fingerprint = 0;
    bool operator==(const ByteRange&) const = default;
};

// The history file as the window loaded it, and the lines this program
// appended since, so that a save merges exactly the lines other copies
// appended meanwhile: nothing twice, and a deleted row stays deleted.
struct HistoryFileMark {
    bool valid = false;  // false: the file did not exist or could not be read
    quint64 device = 0;
    quint64 inode = 0;
    qint64 length = 0;  // bytes when loaded or last saved
    // Of those bytes: the file only grew by appends while they are unchanged.
    // None when unknown, and the next save merges by content.
    std::optional<quint64> fingerprint;
    QList<ByteRange> own;  // appended by this program since
};

// A hash of bytes, cheap enough for a whole history file; equal bytes give
// equal hashes within one run of the program.
quint64 HistoryFingerprint(QByteArrayView bytes);

// Tokenizer semantics: the maximal runs of non-separator characters.
QList<QStringView> SplitFields(QStringView line, QChar separator);

// TAB, or comma for a name whose extension is exactly "csv".
QChar SeparatorForFile(const QString& path);

// Reads rows from a UTF-16LE file of CR LF lines. Without append the rows
// are emptied first, even when the file cannot be read. A missing file
// fails silently; other failures are shown. mark, when given, describes the
// file as read.
bool LoadHistory(HistoryRows& rows, const QString& path, QChar separator, bool append, MessageBoxService& ui,
                 HistoryFileMark* mark = nullptr);

// Writes every row, in order, to a new file beside path and renames it over
// path only when all of it was written; on failure path keeps its bytes and
// the error is shown.
bool SaveHistory(const HistoryRows& rows, const QString& path, QChar separator, MessageBoxService& ui);

// The history file's save. Under the appenders' lock, the lines that other
// copies added since mark are first given to addForeign (which puts them
// into rows); then as SaveHistory(), TAB-separated. On success mark
// describes the new file. While the file only grew by appends, what they
// added is the bytes after mark's end less this program's own appends.
// A file another copy replaced or an editor rewrote is compared by whole
// records instead: its records less those rows ever held (deleted ones
// included), counted as a multiset, so that a deleted row stays deleted.
bool SaveHistoryFile(HistoryRows& rows, const QString& path, HistoryFileMark& mark, MessageBoxService& ui,
                     const std::function<void(const HistoryRecord&)>& addForeign);

// The 19-character date of a history line: "YYYY/MM/DD hh:mm:ss".
QString HistoryDate(const QDateTime& localTime);

// Appends look-ups to the history file: UTF-16LE without byte-order mark,
// one "phrase TAB reading TAB date CR LF" line per new phrase.
class HistoryAppender final {
    Q_DISABLE_COPY_MOVE(HistoryAppender)
public:
    using Now = std::function<QDateTime()>;

    HistoryAppender(QString historyFilePath, MessageBoxService& ui, Now now = &QDateTime::currentDateTime);

    const QString& LastAppendedPhrase() const { return m_lastPhrase; }

    // Does nothing for the phrase appended last (so never for an empty one).
    // Failures are shown to the user; the phrase still counts as appended.
    void AppendHistory(const QString& phrase, const QString& reading);

    // Told of every line written whole: the record and the bytes it took
    // (including any repair of a damaged end before it).
    using AppendedHandler = std::function<void(const HistoryRecord&, ByteRange)>;
    void SetAppendedHandler(AppendedHandler handler) { m_appended = std::move(handler); }

private:
    QString m_path;
    MessageBoxService& m_ui;
    Now m_now;
    QString m_lastPhrase;
    AppendedHandler m_appended;
};

}  // namespace kotobane
