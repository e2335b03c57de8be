#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kotobane {

// A read-only phrase → reading table for the dictionary back-ends, kept as
// one flat image that is built once from the Debian data, cached on disk
// and mapped at start, so that opening a back-end costs a few milliseconds
// however large its source. Keys are compared as UTF-16 code units.
class PhraseIndex final {
    Q_DISABLE_COPY_MOVE(PhraseIndex)
public:
    struct Entry {
        QString key;
        QString value;
        qint32 weight = 0;
    };
    struct Match {
        int length = 0;  // key length in UTF-16 units; 0: no match
        QStringView value;  // valid while the index lives
        qint32 weight = 0;
    };

    // The image of entries. Of several entries with one key the one with the
    // highest weight stays (the first of equal ones). Entries with an empty
    // key or a key over kMaxKeyLength units are left out.
    static QByteArray Build(std::vector<Entry> entries, const QByteArray& signature);

    // The index in image, or null when image is not a well-formed index
    // (every offset is checked, so a damaged cache cannot be read past).
    static std::unique_ptr<PhraseIndex> FromImage(QByteArray image);

    // The cached index at cachePath when its signature and checksum match; otherwise
    // build() gives the entries, the image is written to cachePath (replaced
    // atomically; a cache that cannot be written only costs the next start
    // the build) and used. Null when build() gives nothing.
    static std::unique_ptr<PhraseIndex> Open(const QString& cachePath, const QByteArray& signature,
                                             const std::function<std::optional<std::vector<Entry>>()>& build);

    // Every key that is a prefix of text, shortest first, into out (cleared).
    void Prefixes(QStringView text, std::vector<Match>& out) const;
    // The longest key that is a prefix of text; length 0 when none is.
    Match Longest(QStringView text) const;
    // The entry of exactly key.
    std::optional<Match> Find(QStringView key) const;

    // The checksum an image carries in its header: XXH64 of every byte but
    // the checksum's own. Open checks it once, when it maps a cache.
    static quint64 ImageChecksum(QByteArrayView image);
    static quint64 Xxh64(QByteArrayView bytes, quint64 seed = 0);
    // Whether the image's bytes still give the checksum it was built with.
    bool ChecksumMatches() const;

    qsizetype Size() const { return m_count; }
    QByteArray Signature() const;

    static constexpr int kMaxKeyLength = 64;

    ~PhraseIndex();

private:
    PhraseIndex() = default;
    bool Attach(const uchar* data, qint64 size);

    struct Record;
    QByteArray m_image;  // when built or read into memory
    std::unique_ptr<QFile> m_file;  // when mapped
    const uchar* m_data = nullptr;
    qsizetype m_size = 0;
    const quint32* m_buckets = nullptr;  // 65537 record indices by first unit
    const Record* m_records = nullptr;
    const char16_t* m_pool = nullptr;
    quint32 m_count = 0;
};

// A signature of source files for PhraseIndex::Open: each path's size and
// modification time, and the builder's version, so that an index is rebuilt
// when the data or the way it is read changes. Empty when a path is missing.
QByteArray SourceSignature(const QStringList& paths, const QByteArray& builderVersion);

// Where the back-ends keep their indexes: $XDG_CACHE_HOME/kotobane.
QString IndexCacheDirectory();

}  // namespace kotobane
