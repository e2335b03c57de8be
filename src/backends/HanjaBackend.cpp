#include "backends/HanjaBackend.h"

#include <QChar>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>

#include <cerrno>
#include <cmath>
#include <optional>

#include "backends/CodePoints.h"
#include "core/RegularFile.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcHanja, "kotobane.backends.hanja", QtWarningMsg)

// A table far beyond the 6 MB Debian ships is not a hanja table.
constexpr qint64 kMaxTableBytes = 64 * 1024 * 1024;

// Jamo indices of the syllable arithmetic, U+AC00 + (initial * 21 + medial) * 28 + final.
constexpr int kMedials = 21;
constexpr int kFinals = 28;
constexpr int kNieun = 2;
constexpr int kDigeut = 3;
constexpr int kRieul = 5;
constexpr int kIeung = 11;
constexpr int kJieut = 12;
constexpr int kFinalNieun = 4;

struct Jamo {
    int initial;
    int medial;
    int final;
};

constexpr Jamo Split(char16_t syllable)
{
    const int index = syllable - 0xAC00;
    return {index / (kMedials * kFinals), index / kFinals % kMedials, index % kFinals};
}

constexpr char16_t Join(Jamo jamo)
{
    return char16_t(0xAC00 + (jamo.initial * kMedials + jamo.medial) * kFinals + jamo.final);
}

// ㅑ ㅒ ㅕ ㅖ ㅛ ㅠ ㅣ: the vowels before which ㄹ and ㄴ fall silent.
constexpr bool IsIotized(int medial)
{
    return medial == 2 || medial == 3 || medial == 6 || medial == 7 || medial == 12 || medial == 17 || medial == 20;
}

bool IsHangul(char32_t c)
{
    if (hangul::IsSyllable(c)) {
        return true;
    }
    return c >= 0x1100 && QChar::script(c) == QChar::Script_Hangul;
}

// Calls f(hanja, syllable) for each hanja of key and the code point of
// reading at the same place; false when the two differ in length.
template <typename F>
bool ForEachHanja(QStringView key, QStringView reading, F f)
{
    const auto* k = reinterpret_cast<const char16_t*>(key.utf16());
    const auto* r = reinterpret_cast<const char16_t*>(reading.utf16());
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < key.size() && j < reading.size()) {
        const CodePoint hanja = CodePointAt(k, key.size(), i);
        const CodePoint syllable = CodePointAt(r, reading.size(), j);
        if (!f(hanja.value, syllable.value)) {
            return false;
        }
        i += hanja.length;
        j += syllable.length;
    }
    return i == key.size() && j == reading.size();
}

// A line's reading must spell each hanja with one syllable and repeat
// whatever else the key holds (價格표 → 가격표); lines that do not, like the
// few with the reading of a neighbouring line, are not trusted. Keys must
// start with a hanja, as only hanja are looked up.
bool Spells(QStringView key, QStringView reading)
{
    if (key.isEmpty() || key.size() > PhraseIndex::kMaxKeyLength) {
        return false;
    }
    if (!IsHan(CodePointAt(reinterpret_cast<const char16_t*>(key.utf16()), key.size(), 0).value)) {
        return false;
    }
    return ForEachHanja(key, reading, [](char32_t k, char32_t r) { return IsHan(k) ? hangul::IsSyllable(r) : r == k; });
}

// One key of the table with its readings in the order listed.
struct Group {
    QString key;
    bool single;  // one hanja
    QStringList readings;
    QList<int> meanings;  // glosses in each reading's comment
    QList<int> votes;  // longer words that spell the key with each reading
};

int CountMeanings(QByteArrayView comment)
{
    int count = 0;
    for (QByteArrayView rest = comment; !rest.isEmpty();) {
        const qsizetype comma = rest.indexOf(',');
        const QByteArrayView gloss = (comma < 0 ? rest : rest.first(comma)).trimmed();
        if (!gloss.isEmpty()) {
            ++count;
        }
        rest = comma < 0 ? QByteArrayView() : rest.sliced(comma + 1);
    }
    return count;
}

constexpr quint64 TallyKey(char32_t hanja, char16_t syllable)
{
    return (quint64(hanja) << 16) | syllable;
}

// How often each hanja is read as each syllable across the table's words:
// the table lists a character's readings in hangul order, not by use, so
// this is what tells 不 불 (1904 words) from 부 (630) or 金 금 (2652) from 김.
using Tally = QHash<quint64, int>;

int Count(const Tally& tally, char32_t hanja, char16_t syllable)
{
    return tally.value(TallyKey(hanja, syllable));
}

// The reading of a single character: the word-initial forms the table lists
// beside an original sound (女 녀 and 여) are folded into it, as the rule
// gives them back at run time; of the rest the one the words use most,
// then the one with most glosses, then the first.
QString ChooseSingle(const Group& group, const Tally& tally)
{
    const auto* key = reinterpret_cast<const char16_t*>(group.key.utf16());
    const char32_t hanja = CodePointAt(key, group.key.size(), 0).value;
    QString best;
    long bestScore = -1;
    int bestMeanings = -1;
    for (qsizetype i = 0; i < group.readings.size(); ++i) {
        const char16_t reading = group.readings[i].front().unicode();
        bool isInitialForm = false;
        for (const QString& other : group.readings) {
            const char16_t o = other.front().unicode();
            if (o != reading && hangul::WordInitialForm(o) == reading) {
                isInitialForm = true;
            }
        }
        if (isInitialForm) {
            continue;
        }
        long score = Count(tally, hanja, reading);
        if (const char16_t initial = hangul::WordInitialForm(reading); initial != reading) {
            score += Count(tally, hanja, initial);
        }
        const int meanings = group.meanings[i];
        if (score > bestScore || (score == bestScore && meanings > bestMeanings)) {
            best = group.readings[i];
            bestScore = score;
            bestMeanings = meanings;
        }
    }
    return best;
}

// reading as the initial-sound rule writes it: its first syllable in the
// word-initial form, 렬 and 률 after a vowel or ㄴ as 열 and 율.
QString AsWritten(const QString& reading)
{
    QString written = reading;
    for (qsizetype i = 0; i < written.size(); ++i) {
        const char16_t unit = written[i].unicode();
        written[i] = i == 0 ? hangul::WordInitialForm(unit) : hangul::AfterVowelForm(unit, written[i - 1].unicode());
    }
    return written;
}

// The reading of a word listed with several. The table gives many words
// also without the initial-sound rule (女子 녀자 and 여자, 系列 계렬 and
// 계열); those spellings give way. Of the rest the one the longer words
// holding it use wins (降服 항복, as in 降服文書 and 無條件降服, over 강복),
// then the one whose syllables its hanja take most often elsewhere in the
// table (乾物 건물 over 간물).
QString ChooseWord(const Group& group, const Tally& tally)
{
    if (group.readings.size() == 1) {
        return group.readings.front();
    }
    QString best;
    int bestVotes = -1;
    double bestScore = -1;
    for (qsizetype r = 0; r < group.readings.size(); ++r) {
        const QString& reading = group.readings[r];
        if (const QString written = AsWritten(reading); written != reading && group.readings.contains(written)) {
            continue;
        }
        const int votes = group.votes.value(r);
        if (votes < bestVotes) {
            continue;
        }
        double score = 0;
        ForEachHanja(group.key, reading, [&](char32_t hanja, char32_t syllable) {
            if (IsHan(hanja)) {
                score += std::log1p(Count(tally, hanja, char16_t(syllable)));
            }
            return true;
        });
        if (votes > bestVotes || score > bestScore) {
            best = reading;
            bestVotes = votes;
            bestScore = score;
        }
    }
    return best;
}

// The usable lines of a table, grouped by key in the order the keys first appear.
struct GroupedTable {
    std::vector<Group> groups;
    // The readings a character's gloss gives as a person's surname (金 김):
    // looked up under a key no text can hold.
    std::vector<PhraseIndex::Entry> surnames;
    qsizetype skipped = 0;
};

// The table's lines read into groups, surnames and a count of lines left out.
GroupedTable GroupLines(const QByteArray& table)
{
    GroupedTable grouped;
    std::vector<Group>& groups = grouped.groups;
    // About 21 bytes a line in the Debian table.
    QHash<QString, qsizetype> groupOf;
    groupOf.reserve(table.size() / 24);
    groups.reserve(std::size_t(table.size() / 24));

    const QByteArrayView data(table);
    for (qsizetype start = 0; start < data.size();) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0) {
            end = data.size();
        }
        QByteArrayView line = data.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        if (line.isEmpty() || line.front() == '#') {
            continue;
        }
        const qsizetype first = line.indexOf(':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
        if (second < 0) {
            ++grouped.skipped;
            continue;
        }
        const QString reading = QString::fromUtf8(line.first(first));
        const QString key = QString::fromUtf8(line.sliced(first + 1, second - first - 1));
        if (!Spells(key, reading)) {
            ++grouped.skipped;
            continue;
        }
        auto it = groupOf.constFind(key);
        if (it == groupOf.constEnd()) {
            it = groupOf.insert(key, qsizetype(groups.size()));
            const bool single = key.size() == 1 || (key.size() == 2 && key[0].isHighSurrogate());
            groups.push_back({key, single, {}, {}, {}});
        }
        Group& group = groups[std::size_t(it.value())];
        if (group.readings.contains(reading)) {
            continue;
        }
        group.readings.push_back(reading);
        group.meanings.push_back(CountMeanings(line.sliced(second + 1)));
        if (group.single && line.sliced(second + 1).trimmed().startsWith(QByteArrayView("사람의 성"))) {
            grouped.surnames.push_back({HanjaBackend::kSurnameMark + key, reading, 0});
        }
    }
    return grouped;
}

// Fills the votes of words listed with several readings from the longer words that hold them.
void CountVotes(std::vector<Group>& groups)
{
    QHash<QStringView, qsizetype> ambiguous;
    std::vector<bool> startsAmbiguous(0x10000);  // spares hashing most substrings
    for (qsizetype g = 0; g < qsizetype(groups.size()); ++g) {
        Group& group = groups[std::size_t(g)];
        if (!group.single && group.readings.size() > 1) {
            ambiguous.insert(QStringView(group.key), g);
            startsAmbiguous[group.key.front().unicode()] = true;
            group.votes.resize(group.readings.size());
        }
    }
    for (const Group& group : groups) {
        const qsizetype length = group.key.size();
        if (group.single || length < 3) {
            continue;
        }
        for (const QString& reading : group.readings) {
            // Beyond the BMP the units of key and reading do not line up.
            if (reading.size() != length) {
                continue;
            }
            for (qsizetype from = 0; from + 2 <= length; ++from) {
                if (!startsAmbiguous[group.key[from].unicode()]) {
                    continue;
                }
                for (qsizetype size = 2; from + size <= length && size < length; ++size) {
                    const auto it = ambiguous.constFind(QStringView(group.key).sliced(from, size));
                    if (it == ambiguous.constEnd()) {
                        continue;
                    }
                    Group& held = groups[std::size_t(it.value())];
                    const qsizetype index = held.readings.indexOf(reading.sliced(from, size));
                    if (index >= 0) {
                        ++held.votes[index];
                    }
                }
            }
        }
    }
}

// How often each hanja takes each syllable in the words of groups.
Tally TallyReadings(const std::vector<Group>& groups)
{
    Tally tally;
    tally.reserve(1 << 17);
    for (const Group& group : groups) {
        if (group.single) {
            continue;
        }
        for (const QString& reading : group.readings) {
            ForEachHanja(group.key, reading, [&tally](char32_t hanja, char32_t syllable) {
                if (IsHan(hanja)) {
                    ++tally[TallyKey(hanja, char16_t(syllable))];
                }
                return true;
            });
        }
    }
    return tally;
}

}  // namespace

namespace hangul {

char16_t WordInitialForm(char16_t syllable)
{
    if (!IsSyllable(syllable)) {
        return syllable;
    }
    Jamo jamo = Split(syllable);
    if (jamo.initial == kRieul) {
        jamo.initial = IsIotized(jamo.medial) ? kIeung : kNieun;
    } else if (jamo.initial == kNieun && IsIotized(jamo.medial)) {
        jamo.initial = kIeung;
    }
    return Join(jamo);
}

char16_t AfterVowelForm(char16_t syllable, char16_t previous)
{
    // 렬 and 률 only: 리, 려 … keep their ㄹ after a vowel (유리, 거리).
    if (!IsSyllable(syllable) || !IsSyllable(previous) || (syllable != u'렬' && syllable != u'률')) {
        return syllable;
    }
    const int previousFinal = Split(previous).final;
    if (previousFinal != 0 && previousFinal != kFinalNieun) {
        return syllable;
    }
    Jamo jamo = Split(syllable);
    jamo.initial = kIeung;
    return Join(jamo);
}

}  // namespace hangul

std::vector<PhraseIndex::Entry> HanjaBackend::Entries(const QByteArray& table)
{
    GroupedTable grouped = GroupLines(table);
    std::vector<Group>& groups = grouped.groups;
    CountVotes(groups);
    const Tally tally = TallyReadings(groups);

    std::vector<PhraseIndex::Entry> entries;
    entries.reserve(groups.size());
    for (const Group& group : groups) {
        QString value = group.single ? ChooseSingle(group, tally) : ChooseWord(group, tally);
        entries.push_back({group.key, std::move(value), 0});
    }
    std::move(grouped.surnames.begin(), grouped.surnames.end(), std::back_inserter(entries));
    if (grouped.skipped != 0) {
        qCDebug(lcHanja) << "hanja table:" << grouped.skipped << "lines left out";
    }
    return entries;
}

std::unique_ptr<HanjaBackend> HanjaBackend::Open()
{
    return Open(QString::fromLatin1(kDefaultDataPath), IndexCacheDirectory() + QStringLiteral("/hanja.idx"));
}

std::unique_ptr<HanjaBackend> HanjaBackend::Open(const QString& dataPath, const QString& cachePath)
{
    const QByteArray signature = SourceSignature({dataPath}, kBuilderVersion);
    if (signature.isEmpty()) {
        return nullptr;
    }
    auto build = [&dataPath]() -> std::optional<std::vector<PhraseIndex::Entry>> {
        QFile file(dataPath);
        if (!OpenRegularFile(file)) {
            const int error = errno;  // before logging can change it
            qCWarning(lcHanja).noquote() << "cannot read" << dataPath << ":" << SystemErrorText(quint32(error));
            return std::nullopt;
        }
        if (file.size() > kMaxTableBytes) {
            return std::nullopt;
        }
        std::vector<PhraseIndex::Entry> entries = Entries(file.readAll());
        if (entries.empty()) {
            return std::nullopt;
        }
        return entries;
    };
    return FromIndex(PhraseIndex::Open(cachePath, signature, build));
}

std::unique_ptr<HanjaBackend> HanjaBackend::FromIndex(std::unique_ptr<PhraseIndex> index)
{
    if (!index) {
        return nullptr;
    }
    return std::unique_ptr<HanjaBackend>(new HanjaBackend(std::move(index)));
}

HanjaBackend::HanjaBackend(std::unique_ptr<PhraseIndex> index) : m_index(std::move(index))
{ }

HanjaBackend::~HanjaBackend() = default;

Hkl HanjaBackend::Handle() const
{
    return kHandle;
}

QString HanjaBackend::DescriptionOf()
{
    return QStringLiteral("Hanja (libhangul)");
}

QString HanjaBackend::Description() const
{
    return DescriptionOf();
}

QString HanjaBackend::SurnameAt(const char16_t* text, qsizetype n, qsizetype i) const
{
    qsizetype end = i;
    int count = 0;
    while (end < n && count <= 3) {
        const CodePoint point = CodePointAt(text, n, end);
        if (!IsHan(point.value)) {
            break;
        }
        end += point.length;
        ++count;
    }
    if (count != 3) {
        return QString();
    }
    // A word of the table that starts with the character keeps its reading.
    const CodePoint first = CodePointAt(text, n, i);
    if (m_index->Longest(QStringView(text + i, end - i)).length > first.length) {
        return QString();
    }
    const QString key = kSurnameMark + QStringView(text + i, first.length).toString();
    const PhraseIndex::Match match = m_index->Longest(key);
    return match.length == key.size() ? match.value.toString() : QString();
}

QString HanjaBackend::Reading(const QString& phrase)
{
    const auto* text = reinterpret_cast<const char16_t*>(phrase.utf16());
    const qsizetype n = phrase.size();
    m_out.clear();
    m_out.reserve(std::size_t(n));

    // Whether the last code point was hanja or hangul: a hanja after
    // anything else starts a word and takes its word-initial sound.
    bool inWord = false;
    // Where a 불 read for a lone 不 stands, as it is written 부 before ㄷ
    // and ㅈ (不斷 부단, 不正 부정; 637 of the table's 656 such words).
    constexpr std::size_t kNoBul = std::size_t(-1);
    std::size_t pendingBul = kNoBul;
    auto settleBul = [&](char16_t next) {
        if (pendingBul != kNoBul && hangul::IsSyllable(next)) {
            const int initial = Split(next).initial;
            if (initial == kDigeut || initial == kJieut) {
                m_out[pendingBul] = u'부';
            }
        }
        pendingBul = kNoBul;
    };

    // A character looked up alone asks for its sound as a dictionary gives
    // it (冽 렬); the initial-sound rule belongs to words (冽風 열풍).
    const QStringView trimmed = QStringView(phrase).trimmed();
    bool lone = false;
    if (!trimmed.isEmpty()) {
        const CodePoint first = CodePointAt(reinterpret_cast<const char16_t*>(trimmed.utf16()), trimmed.size(), 0);
        lone = IsHan(first.value) && first.length == trimmed.size();
    }

    for (qsizetype i = 0; i < n;) {
        const auto [c, len] = CodePointAt(text, n, i);
        if (!inWord && IsHan(c)) {
            // A surname opening a run of three hanja, where no word of the
            // table starts, is read as a name (金大中 김대중, but 金銀 in 金銀銅).
            const QString surname = SurnameAt(text, n, i);
            if (!surname.isEmpty()) {
                m_out.insert(m_out.end(), reinterpret_cast<const char16_t*>(surname.utf16()),
                             reinterpret_cast<const char16_t*>(surname.utf16()) + surname.size());
                pendingBul = kNoBul;
                inWord = true;
                i += len;
                continue;
            }
        }
        if (!IsHan(c)) {
            m_out.insert(m_out.end(), text + i, text + i + len);
            inWord = IsHangul(c);
            pendingBul = kNoBul;
            i += len;
            continue;
        }
        const PhraseIndex::Match match = m_index->Longest(QStringView(text + i, n - i));
        if (match.length < len || match.length > n - i || match.value.isEmpty()) {
            m_out.insert(m_out.end(), text + i, text + i + len);
            pendingBul = kNoBul;
            inWord = true;
            i += len;
            continue;
        }
        if (match.length == len && match.value.size() == 1) {
            // A single character, listed in its original sound.
            char16_t syllable = match.value.front().unicode();
            if (lone) {
                // as listed
            } else if (!inWord) {
                syllable = hangul::WordInitialForm(syllable);
            } else if (!m_out.empty()) {
                syllable = hangul::AfterVowelForm(syllable, m_out.back());
            }
            settleBul(syllable);
            if (c == U'不' && syllable == u'불') {
                pendingBul = m_out.size();
            }
            m_out.push_back(syllable);
        } else {
            // A word, listed as it is written.
            settleBul(match.value.front().unicode());
            const auto* value = reinterpret_cast<const char16_t*>(match.value.utf16());
            m_out.insert(m_out.end(), value, value + match.value.size());
        }
        inWord = true;
        i += match.length;
    }
    return QString::fromUtf16(m_out.data(), qsizetype(m_out.size()));
}

}  // namespace kotobane
