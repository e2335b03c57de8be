#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace kotobane {

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
    // the file and its directory when missing. False when the write failed;
    // the failure is also logged on standard error.
    bool WriteString(const QString& section, const QString& key, const QString& value) const;

    // Several writes that replace the file once, at Commit(), so that a
    // crash leaves the old file or the new one and never a mix. The writes
    // follow the rules of WriteString in the order given: the file ends as
    // the same writes made one by one would leave it.
    class Batch {
    public:
        explicit Batch(const IniProfile& profile) : m_profile(profile) { }
        // A name that WriteString would refuse is logged and left out.
        void WriteString(const QString& section, const QString& key, const QString& value);
        // False when a write was left out or the file was not replaced.
        bool Commit();

    private:
        struct Write {
            QString section;
            QString key;
            QString value;
        };
        const IniProfile& m_profile;
        QList<Write> m_writes;
        bool m_refused = false;
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
