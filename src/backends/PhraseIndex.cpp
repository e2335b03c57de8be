#include "backends/PhraseIndex.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "core/RegularFile.h"
#include "core/ReplaceFile.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcIndex, "kotobane.backends.index", QtWarningMsg)

constexpr char kMagic[8] = {'K', 'T', 'B', 'P', 'I', 'D', 'X', '2'};
constexpr quint32 kBuckets = 65536;

struct Header {
    char magic[8];
    quint32 count;
    quint32 poolUnits;
    quint32 signatureSize;
    quint32 reserved;
    quint64 bucketsOffset;
    quint64 recordsOffset;
    quint64 poolOffset;
    quint64 signatureOffset;
    quint64 checksum;  // PhraseIndex::ImageChecksum of the image
};
static_assert(sizeof(Header) == 64);
constexpr qsizetype kChecksumAt = offsetof(Header, checksum);

// XXH64 (xxHash's 64-bit hash): four independent lanes of multiply-rotate
// rounds, so it runs at memory speed; a flipped bit anywhere changes it.
constexpr quint64 kP1 = 0x9E3779B185EBCA87u, kP2 = 0xC2B2AE3D27D4EB4Fu, kP3 = 0x165667B19E3779F9u,
                  kP4 = 0x85EBCA77C2B2AE63u, kP5 = 0x27D4EB2F165667C5u;

constexpr quint64 Rotl(quint64 x, int r)
{
    return (x << r) | (x >> (64 - r));
}

constexpr quint64 Round(quint64 acc, quint64 input)
{
    return Rotl(acc + input * kP2, 31) * kP1;
}

template <class T>
T Load(const uchar* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return qFromLittleEndian(v);
}

quint64 Hash64(const uchar* p, size_t n, quint64 seed)
{
    const uchar* const end = p + n;
    quint64 h;
    if (n >= 32) {
        quint64 v[4] = {seed + kP1 + kP2, seed + kP2, seed, seed - kP1};
        for (; end - p >= 32; p += 32) {
            for (int i = 0; i < 4; ++i) {
                v[i] = Round(v[i], Load<quint64>(p + 8 * i));
            }
        }
        h = Rotl(v[0], 1) + Rotl(v[1], 7) + Rotl(v[2], 12) + Rotl(v[3], 18);
        for (const quint64 lane : v) {
            h = (h ^ Round(0, lane)) * kP1 + kP4;
        }
    } else {
        h = seed + kP5;
    }
    h += quint64(n);
    for (; end - p >= 8; p += 8) {
        h = Rotl(h ^ Round(0, Load<quint64>(p)), 27) * kP1 + kP4;
    }
    if (end - p >= 4) {
        h = Rotl(h ^ (quint64(Load<quint32>(p)) * kP1), 23) * kP2 + kP3;
        p += 4;
    }
    for (; p < end; ++p) {
        h = Rotl(h ^ (*p * kP5), 11) * kP1;
    }
    h = (h ^ (h >> 33)) * kP2;
    h = (h ^ (h >> 29)) * kP3;
    return h ^ (h >> 32);
}

constexpr quint64 Align8(quint64 n)
{
    return (n + 7) & ~quint64(7);
}

std::u16string_view View(const QString& s)
{
    return {reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size())};
}

}  // namespace

struct PhraseIndex::Record {
    quint32 keyOffset;
    quint32 valueOffset;
    quint16 keyLength;
    quint16 valueLength;
    qint32 weight;
};

PhraseIndex::~PhraseIndex() = default;

static_assert(sizeof(quint32) * 3 + sizeof(qint32) == 16, "records are 16 bytes");

QByteArray PhraseIndex::Build(std::vector<Entry> entries, const QByteArray& signature)
{
    std::erase_if(entries, [](const Entry& e) {
        return e.key.isEmpty() || e.key.size() > kMaxKeyLength || e.value.size() > 0xFFFF;
    });
    // Stable, so that of equal weights the first entry given comes first.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int order = View(a.key).compare(View(b.key));
        return order != 0 ? order < 0 : a.weight > b.weight;
    });
    entries.erase(
        std::unique(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key == b.key; }),
        entries.end());

    quint64 poolUnits = 0;
    for (const Entry& e : entries) {
        poolUnits += quint64(e.key.size()) + quint64(e.value.size());
    }
    if (poolUnits > 0xFFFFFFFFu || entries.size() > 0xFFFFFFFFu) {
        return QByteArray();
    }

    Header header{};
    std::memcpy(header.magic, kMagic, sizeof kMagic);
    header.count = quint32(entries.size());
    header.poolUnits = quint32(poolUnits);
    header.signatureSize = quint32(signature.size());
    header.bucketsOffset = Align8(sizeof(Header));
    header.recordsOffset = Align8(header.bucketsOffset + (kBuckets + 1) * sizeof(quint32));
    header.poolOffset = Align8(header.recordsOffset + entries.size() * sizeof(Record));
    header.signatureOffset = Align8(header.poolOffset + poolUnits * sizeof(char16_t));
    QByteArray image(qsizetype(header.signatureOffset + quint64(signature.size())), '\0');
    char* base = image.data();
    std::memcpy(base, &header, sizeof header);

    auto* buckets = reinterpret_cast<quint32*>(base + header.bucketsOffset);
    auto* records = reinterpret_cast<Record*>(base + header.recordsOffset);
    auto* pool = reinterpret_cast<char16_t*>(base + header.poolOffset);
    quint32 at = 0;
    quint32 next = 0;  // the next bucket to open
    for (quint32 i = 0; i < header.count; ++i) {
        const Entry& e = entries[i];
        const quint32 first = e.key.at(0).unicode();
        while (next <= first) {
            buckets[next++] = i;
        }
        Record& r = records[i];
        r.keyOffset = at;
        r.keyLength = quint16(e.key.size());
        std::memcpy(pool + at, e.key.utf16(), size_t(e.key.size()) * 2);
        at += quint32(e.key.size());
        r.valueOffset = at;
        r.valueLength = quint16(e.value.size());
        std::memcpy(pool + at, e.value.utf16(), size_t(e.value.size()) * 2);
        at += quint32(e.value.size());
        r.weight = e.weight;
    }
    while (next <= kBuckets) {
        buckets[next++] = header.count;
    }
    std::memcpy(base + header.signatureOffset, signature.constData(), size_t(signature.size()));
    const quint64 checksum = ImageChecksum(image);
    std::memcpy(base + kChecksumAt, &checksum, sizeof checksum);
    return image;
}

bool PhraseIndex::Attach(const uchar* data, qint64 size)
{
    if (data == nullptr || size < qint64(sizeof(Header)) || quintptr(data) % 8 != 0) {
        return false;
    }
    Header h;
    std::memcpy(&h, data, sizeof h);
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0) {
        return false;
    }
    const quint64 total = quint64(size);
    const auto fits = [total](quint64 offset, quint64 bytes) {
        return offset % 8 == 0 && offset <= total && bytes <= total - offset;
    };
    if (!fits(h.bucketsOffset, (kBuckets + 1) * sizeof(quint32))
        || !fits(h.recordsOffset, quint64(h.count) * sizeof(Record))
        || !fits(h.poolOffset, quint64(h.poolUnits) * sizeof(char16_t)) || !fits(h.signatureOffset, h.signatureSize)) {
        return false;
    }
    const auto* buckets = reinterpret_cast<const quint32*>(data + h.bucketsOffset);
    const auto* records = reinterpret_cast<const Record*>(data + h.recordsOffset);
    const auto* pool = reinterpret_cast<const char16_t*>(data + h.poolOffset);
    // Every range and offset is checked once here, so that look-ups need not.
    // The text itself is not read: a damaged order gives wrong readings,
    // never a read outside the image, and Open's checksum catches those.
    if (buckets[0] != 0 || buckets[kBuckets] != h.count) {
        return false;
    }
    for (quint32 c = 0; c < kBuckets; ++c) {
        if (buckets[c] > buckets[c + 1]) {
            return false;
        }
    }
    for (quint32 i = 0; i < h.count; ++i) {
        const Record& r = records[i];
        if (r.keyLength == 0 || r.keyLength > kMaxKeyLength || r.keyOffset > h.poolUnits
            || r.keyLength > h.poolUnits - r.keyOffset || r.valueOffset > h.poolUnits
            || r.valueLength > h.poolUnits - r.valueOffset) {
            return false;
        }
    }
    m_data = data;
    m_size = qsizetype(size);
    m_buckets = buckets;
    m_records = records;
    m_pool = pool;
    m_count = h.count;
    return true;
}

std::unique_ptr<PhraseIndex> PhraseIndex::FromImage(QByteArray image)
{
    std::unique_ptr<PhraseIndex> index(new PhraseIndex);
    if (quintptr(image.constData()) % 8 != 0) {
        image = QByteArray(image.constData(), image.size());  // a fresh block is aligned
    }
    index->m_image = std::move(image);
    const auto* data = reinterpret_cast<const uchar*>(index->m_image.constData());
    if (!index->Attach(data, index->m_image.size())) {
        return nullptr;
    }
    return index;
}

std::unique_ptr<PhraseIndex> PhraseIndex::Open(const QString& cachePath, const QByteArray& signature,
                                               const std::function<std::optional<std::vector<Entry>>()>& build)
{
    if (!signature.isEmpty()) {
        auto file = std::make_unique<QFile>(cachePath);
        if (!OpenRegularFile(*file)) {
            if (const int error = errno; error != ENOENT) {
                qCWarning(lcIndex).noquote() << "rebuilding" << cachePath << ":" << SystemErrorText(quint32(error));
            }
        } else {
            if (const uchar* data = file->map(0, file->size())) {
                std::unique_ptr<PhraseIndex> index(new PhraseIndex);
                if (!index->Attach(data, file->size()) || index->Signature() != signature) {
                    qCInfo(lcIndex) << "rebuilding" << cachePath << "(outdated or damaged)";
                } else if (!index->ChecksumMatches()) {
                    // Attach checks only the structure; damage in the text
                    // would give wrong readings on every run.
                    qCWarning(lcIndex) << "rebuilding" << cachePath << "(damaged: its checksum does not match)";
                } else {
                    index->m_file = std::move(file);
                    return index;
                }
            }
        }
    }

    std::optional<std::vector<Entry>> entries = build ? build() : std::nullopt;
    if (!entries) {
        return nullptr;
    }
    QByteArray image = Build(std::move(*entries), signature);
    if (image.isEmpty()) {
        return nullptr;
    }
    if (!signature.isEmpty()) {
        QDir().mkpath(QFileInfo(cachePath).absolutePath());
        // The cache is the program's own: a FIFO or device in its place is
        // taken away rather than left to block every start.
        const QFileInfo existing(cachePath);
        if (existing.exists() && !existing.isSymLink() && !existing.isFile() && !existing.isDir()) {
            QFile::remove(cachePath);
        }
        if (const int error = ReplaceFile(cachePath, image)) {
            qCWarning(lcIndex).noquote() << "cannot write the index cache" << cachePath << ":"
                                         << SystemErrorText(quint32(error));
        }
    }
    return FromImage(std::move(image));
}

quint64 PhraseIndex::ImageChecksum(QByteArrayView image)
{
    if (image.size() < qsizetype(sizeof(Header))) {
        return 0;
    }
    // Everything but the checksum field itself, which ends the header.
    const auto* data = reinterpret_cast<const uchar*>(image.data());
    const quint64 head = Hash64(data, size_t(kChecksumAt), 0);
    return Hash64(data + sizeof(Header), size_t(image.size()) - sizeof(Header), head);
}

quint64 PhraseIndex::Xxh64(QByteArrayView bytes, quint64 seed)
{
    return Hash64(reinterpret_cast<const uchar*>(bytes.data()), size_t(bytes.size()), seed);
}

bool PhraseIndex::ChecksumMatches() const
{
    Header h;
    std::memcpy(&h, m_data, sizeof h);
    QElapsedTimer clock;
    clock.start();
    const bool matches = ImageChecksum(QByteArrayView(m_data, m_size)) == h.checksum;
    qCDebug(lcIndex) << "checksum of" << m_size << "bytes in" << clock.nsecsElapsed() / 1000 << "us";
    return matches;
}

QByteArray PhraseIndex::Signature() const
{
    Header h;
    std::memcpy(&h, m_data, sizeof h);
    return QByteArray(reinterpret_cast<const char*>(m_data + h.signatureOffset), qsizetype(h.signatureSize));
}

void PhraseIndex::Prefixes(QStringView text, std::vector<Match>& out) const
{
    out.clear();
    if (text.isEmpty() || m_count == 0) {
        return;
    }
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype limit = std::min<qsizetype>(text.size(), kMaxKeyLength);
    quint32 lo = m_buckets[units[0]];
    quint32 hi = m_buckets[units[0] + 1];
    // [lo, hi) holds the keys that begin with the first len units of text;
    // sorted, so the one that is exactly that long comes first.
    for (qsizetype len = 1; lo < hi; ++len) {
        const Record& first = m_records[lo];
        if (first.keyLength == len) {
            out.push_back({int(len), QStringView(m_pool + first.valueOffset, first.valueLength), first.weight});
            ++lo;
        }
        if (len >= limit) {
            break;
        }
        const char16_t unit = units[len];
        // A key too short to have a unit at len can only be met in a damaged
        // image; it counts as below every unit instead of being read past.
        const auto unitAt = [this, len](quint32 i) {
            const Record& r = m_records[i];
            return len < r.keyLength ? m_pool[r.keyOffset + len] : char16_t(0);
        };
        quint32 a = lo, b = hi;
        while (a < b) {  // first record whose unit at len is not below unit
            const quint32 mid = a + (b - a) / 2;
            if (unitAt(mid) < unit) {
                a = mid + 1;
            } else {
                b = mid;
            }
        }
        lo = a;
        b = hi;
        while (a < b) {  // first record whose unit at len is above unit
            const quint32 mid = a + (b - a) / 2;
            if (unitAt(mid) <= unit) {
                a = mid + 1;
            } else {
                b = mid;
            }
        }
        hi = a;
    }
}

PhraseIndex::Match PhraseIndex::Longest(QStringView text) const
{
    thread_local std::vector<Match> matches;
    Prefixes(text, matches);
    return matches.empty() ? Match{} : matches.back();
}

std::optional<PhraseIndex::Match> PhraseIndex::Find(QStringView key) const
{
    if (key.isEmpty()) {
        return std::nullopt;
    }
    const Match longest = Longest(key);
    if (longest.length == key.size()) {
        return longest;
    }
    return std::nullopt;
}

QByteArray SourceSignature(const QStringList& paths, const QByteArray& builderVersion)
{
    QByteArray signature = builderVersion;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        if (!info.isFile()) {
            return QByteArray();
        }
        signature += '\n' + QFile::encodeName(info.absoluteFilePath()) + '\t' + QByteArray::number(info.size()) + '\t'
                     + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    }
    return signature;
}

QString IndexCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/kotobane");
}

}  // namespace kotobane
