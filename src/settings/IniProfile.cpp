#include "settings/IniProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <optional>
#include <utility>

#include "core/ErrorCodes.h"
#include "core/RegularFile.h"
#include "core/ReplaceFile.h"
#include "core/SystemError.h"
#include "core/Utf16.h"

namespace kotobane {

namespace {

// Settings files are a few kilobytes; anything far larger is not one of
// ours, and reading it whole for every key would be absurd.
constexpr qsizetype kMaxFileBytes = 16 * 1024 * 1024;

std::function<void()>& BeforeReplaceHook()
{
    static std::function<void()> hook;
    return hook;
}

enum class Encoding { Utf8, Utf16Le, Utf16Be };

// One line as stored. Lines that are not rewritten go back byte for byte,
// so bytes we could not decode (invalid UTF-8, lone surrogates) survive a
// write of some other key.
struct Line {
    QByteArray raw;  // content, line end excluded
    QByteArray end;  // LF, CR LF, a lone CR, or nothing on an unterminated last line
    QString text;  // raw decoded, for matching
};

struct Document {
    Encoding encoding = Encoding::Utf8;
    QByteArray bom;
    QList<Line> lines;
    bool crlf = false;  // style of new lines: that of the first line end
    bool halfUnit = false;  // UTF-16 with an odd byte count: the last byte belongs to no unit
};

qsizetype UnitBytes(Encoding e)
{
    return e == Encoding::Utf8 ? 1 : 2;
}

QByteArray Encode(QStringView text, Encoding e)
{
    if (e == Encoding::Utf8) {
        return text.toUtf8();
    }
    return Utf16Bytes(text, e == Encoding::Utf16Le ? QSysInfo::LittleEndian : QSysInfo::BigEndian);
}

// A line's text as Parse gives it, so that a line edited in memory matches
// as it will once the file is read again.
QString Decode(const QByteArray& raw, Encoding e)
{
    if (e == Encoding::Utf8) {
        return QString::fromUtf8(raw);  // invalid sequences become U+FFFD
    }
    QString text(raw.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const auto lo = static_cast<uchar>(raw[2 * i + (e == Encoding::Utf16Le ? 0 : 1)]);
        const auto hi = static_cast<uchar>(raw[2 * i + (e == Encoding::Utf16Le ? 1 : 0)]);
        text[i] = QChar(static_cast<char16_t>(lo | hi << 8));
    }
    return text;
}

bool FirstLineEndIsCrLf(const Document& doc)
{
    for (const Line& line : doc.lines) {
        if (line.end.endsWith(Encode(u"\n", doc.encoding))) {
            return line.end.size() == 2 * UnitBytes(doc.encoding);
        }
    }
    return false;
}

Document Parse(const QByteArray& bytes)
{
    Document doc;
    if (bytes.startsWith("\xFF\xFE")) {
        doc.encoding = Encoding::Utf16Le;
    } else if (bytes.startsWith("\xFE\xFF")) {
        doc.encoding = Encoding::Utf16Be;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc.bom = bytes.left(3);
    }
    if (doc.encoding != Encoding::Utf8) {
        doc.bom = bytes.left(2);
    }
    const qsizetype w = UnitBytes(doc.encoding);
    const char* data = bytes.constData() + doc.bom.size();
    const qsizetype units = (bytes.size() - doc.bom.size()) / w;
    doc.halfUnit = (bytes.size() - doc.bom.size()) % w != 0;

    const auto unit = [&](qsizetype i) -> char16_t {
        const auto b = [&](qsizetype k) { return static_cast<char16_t>(static_cast<uchar>(data[k])); };
        switch (doc.encoding) {
        case Encoding::Utf8:
            return b(i);
        case Encoding::Utf16Le:
            return static_cast<char16_t>(b(2 * i) | b(2 * i + 1) << 8);
        case Encoding::Utf16Be:
            break;
        }
        return static_cast<char16_t>(b(2 * i) << 8 | b(2 * i + 1));
    };
    const auto addLine = [&](qsizetype begin, qsizetype end) {
        qsizetype contentEnd = end;
        const bool hasLf = unit(end - 1) == u'\n';
        if (hasLf) {
            --contentEnd;
        }
        if (contentEnd > begin && unit(contentEnd - 1) == u'\r') {
            --contentEnd;
        }
        Line line;
        line.raw = QByteArray(data + begin * w, (contentEnd - begin) * w);
        line.end = QByteArray(data + contentEnd * w, (end - contentEnd) * w);
        line.text = Decode(line.raw, doc.encoding);
        doc.lines.append(std::move(line));
    };

    qsizetype start = 0;
    for (qsizetype i = 0; i < units; ++i) {
        if (unit(i) == u'\n') {
            addLine(start, i + 1);
            start = i + 1;
        }
    }
    if (start < units) {
        addLine(start, units);
    }
    doc.crlf = FirstLineEndIsCrLf(doc);
    return doc;
}

QByteArray Serialize(const Document& doc)
{
    QByteArray out = doc.bom;
    for (const Line& line : doc.lines) {
        out += line.raw;
        out += line.end;
    }
    return out;
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView TrimBlanks(QStringView s)
{
    while (!s.isEmpty() && IsBlank(s.front())) {
        s = s.sliced(1);
    }
    while (!s.isEmpty() && IsBlank(s.back())) {
        s.chop(1);
    }
    return s;
}

struct Entry {
    enum Kind { Other, Section, Key } kind = Other;
    QStringView name;
    qsizetype valueFrom = 0;
};

Entry Classify(QStringView text)
{
    const QStringView s = TrimBlanks(text);
    if (s.startsWith(u'[')) {
        const qsizetype close = s.indexOf(u']');
        if (close > 0) {
            return {Entry::Section, TrimBlanks(s.sliced(1, close - 1)), 0};
        }
    }
    const qsizetype eq = text.indexOf(u'=');
    if (eq >= 0) {
        return {Entry::Key, TrimBlanks(text.first(eq)), eq + 1};
    }
    return {};
}

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Where a key is, or would go: only the first section of that name counts,
// and within it the first key of that name.
struct Location {
    qsizetype section = -1;
    qsizetype key = -1;
    qsizetype lastKey = -1;
    qsizetype valueFrom = 0;
};

Location Locate(const Document& doc, QStringView section, QStringView key)
{
    Location at;
    for (qsizetype i = 0; i < doc.lines.size(); ++i) {
        const Entry e = Classify(doc.lines[i].text);
        if (e.kind == Entry::Section) {
            if (at.section >= 0) {
                break;
            }
            if (SameName(e.name, section)) {
                at.section = i;
            }
        } else if (e.kind == Entry::Key && at.section >= 0) {
            at.lastKey = i;
            if (at.key < 0 && SameName(e.name, key)) {
                at.key = i;
                at.valueFrom = e.valueFrom;
            }
        }
    }
    return at;
}

ProfileWriteResult Fail(const QString& path, const QString& why)
{
    return {path, why};
}

// The file's bytes; empty when it does not exist, nothing (with the reason)
// when it exists but cannot be used.
std::optional<QByteArray> ReadBytes(const QString& path, QString* why)
{
    // A directory, FIFO or device is not a settings file; opening a FIFO
    // would even block. The check is made on what was opened, so a file
    // swapped for one in between is refused too.
    QFile file(path);
    if (!OpenRegularFile(file)) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) {  // no file yet; a file in the way of its folder shows at the save
            return QByteArray();
        }
        *why = error == EISDIR ? QStringLiteral("it is a directory, not a settings file")
               : error == int(kErrorNotRegularFile)
                   ? QStringLiteral("it is not a regular file")
                   : QStringLiteral("cannot read it: ") + SystemErrorText(quint32(error));
        return std::nullopt;
    }
    // Sized from the file, so that a small file costs no 16 MiB buffer; a
    // file that grew meanwhile is read on up to the limit.
    const qint64 expected = std::min<qint64>(file.size(), kMaxFileBytes);
    QByteArray bytes = file.read(expected + 1);
    if (bytes.size() > expected) {
        bytes += file.read(kMaxFileBytes + 1 - bytes.size());
    }
    if (file.error() != QFileDevice::NoError) {
        *why = QStringLiteral("cannot read it: ") + file.errorString();
        return std::nullopt;
    }
    if (bytes.size() > kMaxFileBytes) {
        *why = QStringLiteral("it is larger than %1 MiB, too large for a settings file").arg(kMaxFileBytes >> 20);
        return std::nullopt;
    }
    return bytes;
}

Document Load(const QString& path)
{
    QString why;
    const std::optional<QByteArray> bytes = ReadBytes(path, &why);
    return bytes ? Parse(*bytes) : Document();
}

QString ValueOf(const Document& doc, const Location& at)
{
    return TrimBlanks(QStringView(doc.lines[at.key].text).sliced(at.valueFrom)).toString();
}

// The key of a key line as stored, blanks around it dropped; taken from
// the bytes so that UTF-8 that did not decode is kept too.
QByteArray StoredKey(const Line& line, Encoding e)
{
    const qsizetype eq = line.raw.indexOf('=');
    if (e != Encoding::Utf8 || eq < 0) {
        return Encode(Classify(line.text).name, e);
    }
    qsizetype begin = 0;
    qsizetype end = eq;
    while (begin < end && (line.raw[begin] == ' ' || line.raw[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (line.raw[end - 1] == ' ' || line.raw[end - 1] == '\t')) {
        --end;
    }
    return line.raw.sliced(begin, end - begin);
}

// Makes sure text can follow the line: a line end is added when it has
// none (an LF completes a lone CR).
void Terminate(Line& line, const QByteArray& lineEnd, Encoding e)
{
    const QByteArray cr = Encode(u"\r", e);
    if (line.end.isEmpty()) {
        line.end = lineEnd;
    } else if (line.end == cr) {
        line.end += Encode(u"\n", e);
    }
}

// Names that would not read back as themselves are refused.
QString CheckNames(QStringView section, QStringView key)
{
    const auto hasLineBreak = [](QStringView s) { return s.contains(u'\n') || s.contains(u'\r'); };
    if (hasLineBreak(section) || section.contains(u']')) {
        return QStringLiteral("the section name holds a line break or ']'");
    }
    if (hasLineBreak(key) || key.contains(u'=') || key.startsWith(u'[')) {
        return QStringLiteral("the key name holds a line break or '=', or starts with '['");
    }
    return {};
}

ProfileWriteResult Save(const QString& path, const QByteArray& bytes)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir)) {
        return Fail(path, QStringLiteral("cannot create the directory ") + QDir::toNativeSeparators(dir));
    }
    // Left uncommitted, the temporary file is removed and the old file stays.
    FileReplacer file(path);
    if (!file.Open() || !file.Write(bytes)) {
        return Fail(path, SystemErrorText(quint32(file.Error())));
    }
    if (const std::function<void()>& hook = BeforeReplaceHook()) {
        hook();
    }
    if (!file.Commit()) {
        return Fail(path, SystemErrorText(quint32(file.Error())));
    }
    return {path, QString()};
}

}  // namespace

IniProfile::IniProfile(QString path) : m_path(std::move(path))
{ }

void IniProfile::SetBeforeReplaceHook(std::function<void()> hook)
{
    BeforeReplaceHook() = std::move(hook);
}

QString IniProfile::GetString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Document doc = Load(m_path);
    const Location at = Locate(doc, TrimBlanks(section), TrimBlanks(key));
    QString value = at.key >= 0 ? ValueOf(doc, at) : defaultValue;
    if (value.size() >= kMaxValueUnits) {
        value.truncate(kMaxValueUnits - 1);
        // Half a surrogate pair is not text; the cut stays within the limit.
        if (value.back().isHighSurrogate()) {
            value.chop(1);
        }
    }
    return value;
}

int IniProfile::GetInt(const QString& section, const QString& key, int defaultValue) const
{
    const Document doc = Load(m_path);
    const Location at = Locate(doc, TrimBlanks(section), TrimBlanks(key));
    return at.key >= 0 ? ParseProfileInt(ValueOf(doc, at)) : defaultValue;
}

namespace {

// One write made to the file in memory. Lines are decoded as Parse decodes
// them, so that the next write of a batch finds what a fresh read would.
void Apply(Document& doc, QStringView sectionName, QStringView keyName, const QString& value)
{
    // A line break in a value would end the line early and turn the rest
    // into a line of its own, so line breaks are stored as spaces.
    QString text = value;
    text.replace(u'\r', u' ').replace(u'\n', u' ');

    const Encoding enc = doc.encoding;
    const QByteArray lineEnd = Encode(doc.crlf ? u"\r\n" : u"\n", enc);
    const auto newLine = [&](const QString& content) {
        const QByteArray raw = Encode(content, enc);
        return Line{raw, lineEnd, Decode(raw, enc)};
    };
    const QString keyValue = keyName.toString() + u'=' + text;
    const Location at = Locate(doc, sectionName, keyName);
    if (at.key >= 0) {
        // The stored spelling of the key is kept, and so is the line end.
        Line& line = doc.lines[at.key];
        line.raw = StoredKey(line, enc) + Encode(QString(u'=' + text), enc);
        line.text = Decode(line.raw, enc);
    } else if (at.section >= 0) {
        const qsizetype after = at.lastKey >= 0 ? at.lastKey : at.section;
        Terminate(doc.lines[after], lineEnd, enc);
        doc.lines.insert(after + 1, newLine(keyValue));
    } else {
        if (!doc.lines.isEmpty()) {
            Terminate(doc.lines.back(), lineEnd, enc);
        }
        doc.lines.append(newLine(u'[' + sectionName.toString() + u']'));
        doc.lines.append(newLine(keyValue));
    }
    // Completing a last line that ended in a lone CR can give the file its
    // first line end, whose style the next write follows.
    doc.crlf = FirstLineEndIsCrLf(doc);
}

}  // namespace

QString ProfileWriteResult::Message() const
{
    return QStringLiteral("error on write %1\n%2").arg(QDir::toNativeSeparators(path), error);
}

ProfileWriteResult IniProfile::WriteString(const QString& section, const QString& key, const QString& value) const
{
    Batch batch(*this);
    batch.WriteString(section, key, value);
    return batch.Commit();
}

void IniProfile::Batch::WriteString(const QString& section, const QString& key, const QString& value)
{
    if (const QString why = CheckNames(TrimBlanks(section), TrimBlanks(key)); !why.isEmpty()) {
        if (m_refused.isEmpty()) {
            m_refused = why;
        }
        return;
    }
    m_writes.append({section, key, value});
}

ProfileWriteResult IniProfile::Batch::Commit()
{
    const QString& path = m_profile.Path();
    const QList<Write> writes = std::exchange(m_writes, {});
    // The writes that were taken still go in; the result names the refusal.
    ProfileWriteResult complete{path, std::exchange(m_refused, {})};
    if (writes.isEmpty()) {
        return complete;
    }
    QString why;
    const std::optional<QByteArray> before = ReadBytes(path, &why);
    if (!before) {
        return Fail(path, why);
    }
    Document doc = Parse(*before);
    if (doc.halfUnit) {
        // Rewriting would have to drop or misplace that byte.
        return Fail(path, QStringLiteral("it is UTF-16 with an odd number of bytes; left as it is"));
    }
    for (const Write& write : writes) {
        Apply(doc, TrimBlanks(write.section), TrimBlanks(write.key), write.value);
    }

    const QByteArray after = Serialize(doc);
    if (after == *before) {  // an existing file that already says so
        return complete;
    }
    if (after.size() > kMaxFileBytes) {
        return Fail(path, QStringLiteral("it would grow past %1 bytes").arg(kMaxFileBytes));
    }
    const ProfileWriteResult saved = Save(path, after);
    return saved ? complete : saved;
}

int ParseProfileInt(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Digits accumulate modulo 2^32, as the platform's parser does, so an
    // overlong number wraps rather than overflows.
    quint32 value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10u + static_cast<quint32>(text[i].unicode() - u'0');
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int>(value);  // modulo 2^32 in C++20
}

QString EncodeByteBlock(const QByteArray& bytes)
{
    QString letters;
    letters.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<uchar>(c);
        letters.append(QChar(u'A' + (b & 0x0F)));
        letters.append(QChar(u'A' + (b >> 4)));
    }
    return letters;
}

QByteArray DecodeByteBlock(QStringView letters)
{
    QByteArray bytes;
    bytes.reserve(letters.size() / 2);
    for (qsizetype i = 0; i + 1 < letters.size(); i += 2) {
        const int low = letters[i].unicode() - u'A';
        const int high = letters[i + 1].unicode() - u'A';
        bytes.append(static_cast<char>((16 * high + low) & 0xFF));
    }
    return bytes;
}

}  // namespace kotobane
