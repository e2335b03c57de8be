#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace kotobane {

// What became of a write: done, or not done and why.
struct ProfileWriteResult {
    QString path;
    QString error;  // empty when the file now says what was written
    explicit operator bool() const { return error.isEmpty(); }
    // "error on write PATH", a line break, then why.
    QString Message() const;
};

// A settings file read and written key by key, with the semantics of the
// classic private-profile functions: section and key names are matched
// without regard to case, section names may hold backslashes, values are
// raw text (surrounding blanks trimmed; no quoting, escaping or lists), and
// writing one key keeps every other section, key and line of the file. The
// file is read anew for every access; nothing is cached.
class IniProfile {
public:
    explicit IniProfile(QString path);

    const QString& Path() const { return m_path; }

    // The integer as the platform reads it: leading blanks, an optional
    // sign, then decimal digits up to the first non-digit (none gives 0).
    // An absent key gives defaultValue.
    int GetInt(const QString& section, const QString& key, int defaultValue) const;
    // At most kMaxValueUnits - 1 units come back; an absent key gives
    // defaultValue (cut the same way).
    QString GetString(const QString& section, const QString& key, const QString& defaultValue) const;
    // Writes key=value, replacing the file atomically (a temporary file in
    // the same directory, flushed, then renamed over the old one); creates
    // the file and its directory when missing. Nothing is logged: the
    // result says whether the file was written and why not.
    ProfileWriteResult WriteString(const QString& section, const QString& key, const QString& value) const;

    // Several writes that replace the file once, at Commit(), so that a
    // crash leaves the old file or the new one and never a mix. The writes
    // follow the rules of WriteString in the order given: the file ends as
    // the same writes made one by one would leave it.
    class Batch {
    public:
        explicit Batch(const IniProfile& profile) : m_profile(profile) { }
        // A name that WriteString would refuse is left out, and Commit
        // then fails with the reason.
        void WriteString(const QString& section, const QString& key, const QString& value);
        // Fails when a write was left out or the file was not replaced;
        // the old file then stays as it was.
        ProfileWriteResult Commit();

    private:
        struct Write {
            QString section;
            QString key;
            QString value;
        };
        const IniProfile& m_profile;
        QList<Write> m_writes;
        QString m_refused;  // why the first refused name was left out
    };

    static constexpr int kMaxValueUnits = 4096;

    // Called after the temporary file is complete and before it replaces
    // the old file; lets tests stop a save at its most fragile point.
    static void SetBeforeReplaceHook(std::function<void()> hook);

private:
    QString m_path;
};

// Parses an integer the way the profile functions do (see GetInt).
int ParseProfileInt(QStringView text);

// Byte blocks are stored as two letters a byte: "A" + low nibble, then
// "A" + high nibble. Decoding takes pairs (a last odd letter is dropped)
// and keeps the low 8 bits whatever the letters are.
QString EncodeByteBlock(const QByteArray& bytes);
QByteArray DecodeByteBlock(QStringView letters);

}  // namespace kotobane
