#include "backends/ChineseBackend.h"

#include <QChar>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include <opencc.h>

#include "backends/CodePoints.h"
#include "backends/MainlandReadings.h"
#include "backends/Pinyin.h"
#include "core/RegularFile.h"
#include "core/SystemError.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcChinese, "kotobane.backends.chinese", QtWarningMsg)

// Index weights are the log of the data's counts, so that adding them up
// along a segmentation compares the product of the words' frequencies.
constexpr double kWeightScale = 1000.0;

// A Han run longer than this is cut and each piece segmented on its own:
// it keeps the scratch tables small for a huge selection, and running text
// that long without punctuation does not occur.
constexpr qsizetype kMaxRun = 4096;

bool IsLetterOrDigit(char32_t c)
{
    if (c < 0x80) {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z');
    }
    return !QChar::isSurrogate(c) && QChar::isLetterOrNumber(c);
}

struct ScriptInfo {
    Hkl handle;
    const char* description;
    const char* cacheName;
    const char* builderVersion;
    pinyin::Notation notation;
};

const ScriptInfo& Info(ChineseBackend::Script script)
{
    static constexpr ScriptInfo kSimplified{0xE0010804u, "Pinyin (terra_pinyin)", "terra_pinyin-hans.idx", "pinyin-5",
                                            pinyin::Notation::ToneMarks};
    static constexpr ScriptInfo kTraditional{0xE0010404u, "Zhuyin (terra_pinyin)", "terra_pinyin-hant.idx", "zhuyin-2",
                                             pinyin::Notation::Zhuyin};
    return script == ChineseBackend::Script::Simplified ? kSimplified : kTraditional;
}

// One reading of one phrase as the table gives it, or as the simplified
// form of a traditional phrase.
struct Candidate {
    std::string key;
    std::string syllables;
    std::string origin;  // the key as the table spells it
    double weight = 0;
    quint32 order = 0;  // line order in the table
    bool converted = false;
};

// The number of code points of UTF-8 key when all are Han and it is short
// enough to index; -1 otherwise (also for malformed UTF-8).
int HanLength(std::string_view key, QString* decoded = nullptr)
{
    const QString text = QString::fromUtf8(key.data(), qsizetype(key.size()));
    if (text.isEmpty() || text.size() > PhraseIndex::kMaxKeyLength) {
        return -1;
    }
    int count = 0;
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    for (qsizetype i = 0; i < text.size(); ++count) {
        const CodePoint c = CodePointAt(units, text.size(), i);
        if (c.value == 0xFFFD || !IsHan(c.value)) {
            return -1;
        }
        i += c.length;
    }
    if (decoded) {
        *decoded = text;
    }
    return count;
}

std::vector<std::string_view> Tokens(std::string_view syllables)
{
    std::vector<std::string_view> tokens;
    while (!syllables.empty()) {
        const std::size_t space = syllables.find(' ');
        if (space != 0) {
            tokens.push_back(syllables.substr(0, space));
        }
        if (space == std::string_view::npos) {
            break;
        }
        syllables.remove_prefix(space + 1);
    }
    return tokens;
}

std::string Joined(const std::vector<std::string_view>& tokens)
{
    std::string joined;
    for (const std::string_view token : tokens) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += token;
    }
    return joined;
}

// Calls line(text) for each line of the file at path; false (and logged)
// when it cannot be read.
template <class Line>
bool ForEachLine(const QString& path, const Line& line)
{
    QFile file(path);
    if (!OpenRegularFile(file)) {
        const int error = errno;  // before logging can change it
        qCWarning(lcChinese).noquote() << "cannot read" << path << ":" << SystemErrorText(quint32(error));
        return false;
    }
    const QByteArray data = file.readAll();
    std::string_view rest(data.constData(), std::size_t(data.size()));
    while (!rest.empty()) {
        const std::size_t eol = rest.find('\n');
        line(rest.substr(0, eol));
        if (eol == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(eol + 1);
    }
    return true;
}

// The phrases the hand-kept dictionary spells with erhua ("哪兒\tna3 r5").
// The compiled table spells 兒 "r5" in many words where it is a syllable
// of its own (兒童, 女兒, 嬰兒), having guessed between the character's
// two readings; only the dictionary's own spellings are trusted.
// None when there is no dictionary, or none that can be read.
std::optional<std::unordered_set<std::string>> ErhuaSpellings(const QString& dictionaryPath)
{
    std::unordered_set<std::string> spellings;
    if (dictionaryPath.isEmpty()) {
        return std::nullopt;
    }
    const bool read = ForEachLine(dictionaryPath, [&](std::string_view text) {
        const std::optional<pinyin::TableLine> line = pinyin::ParseTableLine(text);
        if (!line) {
            return;
        }
        for (const std::string_view token : Tokens(line->syllables)) {
            if (token == "r5") {
                spellings.emplace(std::string(line->phrase) + '\t' + Joined(Tokens(line->syllables)));
                return;
            }
        }
    });
    if (!read) {
        return std::nullopt;
    }
    return spellings;
}

class OpenCC final {
public:
    OpenCC() : m_handle(opencc_open("t2s.json")) { }
    ~OpenCC()
    {
        if (Ok()) {
            opencc_close(m_handle);
        }
    }
    Q_DISABLE_COPY_MOVE(OpenCC)

    bool Ok() const { return m_handle != reinterpret_cast<opencc_t>(-1); }

    // The simplified forms of texts, in their order; empty when OpenCC fails.
    std::vector<std::string> Convert(const std::vector<std::string_view>& texts) const
    {
        // One call for all: OpenCC's set-up per call costs more than the
        // conversion of a short phrase. No phrase holds a line feed.
        std::string joined;
        for (const std::string_view text : texts) {
            joined += text;
            joined += '\n';
        }
        char* converted = opencc_convert_utf8(m_handle, joined.data(), joined.size());
        if (converted == nullptr) {
            return {};
        }
        std::vector<std::string> result;
        result.reserve(texts.size());
        std::string_view rest(converted);
        while (!rest.empty()) {
            const std::size_t eol = rest.find('\n');
            result.emplace_back(rest.substr(0, eol));
            if (eol == std::string_view::npos) {
                break;
            }
            rest.remove_prefix(eol + 1);
        }
        opencc_convert_utf8_free(converted);
        if (result.size() != texts.size()) {
            return {};
        }
        return result;
    }

private:
    opencc_t m_handle;
};

// Calls each(character, syllable) for the characters of a candidate's
// table key (valid UTF-8, one syllable per character).
template <class Each>
void ForEachReading(const Candidate& candidate, const Each& each)
{
    const std::string_view key = candidate.origin;
    std::string_view syllables = candidate.syllables;
    for (std::size_t i = 0; i < key.size() && !syllables.empty();) {
        const unsigned char lead = static_cast<unsigned char>(key[i]);
        const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        const std::size_t space = syllables.find(' ');
        each(key.substr(i, size), syllables.substr(0, space));
        syllables = space == std::string_view::npos ? std::string_view() : syllables.substr(space + 1);
        i += size;
    }
}

// Pinyin as dictionaries print it: 一 and 不 in their own tones in every
// word (一个 yī gè, 不是 bù shì), where the table writes the tone they take
// before another one. True when a syllable changed.
bool CitationTones(std::string_view phrase, std::vector<std::string_view>& syllables)
{
    bool changed = false;
    const auto* p = reinterpret_cast<const unsigned char*>(phrase.data());
    const auto* const end = p + phrase.size();
    for (std::size_t k = 0; p < end && k < syllables.size(); ++k) {
        const char32_t character = DecodeUtf8(p, end);
        if (character == U'一' && (syllables[k] == "yi2" || syllables[k] == "yi4")) {
            syllables[k] = "yi1";
            changed = true;
        } else if (character == U'不' && syllables[k] == "bu2") {
            syllables[k] = "bu4";
            changed = true;
        }
    }
    return changed;
}

// 得 right after a personal pronoun is the modal děi (我得走了 wǒ děi zǒu
// le). The table holds such pairs as phrases whose readings it weighs
// alike, and as phrases they would also swallow the 得 of 得到 (我得到了);
// so simplified text drops them from the index and reads a lone 得 after a
// pronoun as děi when it reads the text. 得 as "get" comes in words of its
// own (得到, 得了).
constexpr std::u16string_view kPronouns[] = {u"我",   u"你",   u"您",   u"他",   u"她",   u"它",  u"咱",
                                             u"我们", u"你们", u"他们", u"她们", u"它们", u"咱们"};

bool IsPronoun(std::u16string_view text)
{
    return std::find(std::begin(kPronouns), std::end(kPronouns), text) != std::end(kPronouns);
}

bool IsPronounAndDe(std::string_view key)
{
    constexpr std::string_view kDe = "得";
    if (!key.ends_with(kDe)) {
        return false;
    }
    const QString subject = QString::fromUtf8(key.data(), qsizetype(key.size() - kDe.size()));
    return IsPronoun(
        std::u16string_view(reinterpret_cast<const char16_t*>(subject.utf16()), std::size_t(subject.size())));
}

// What the table says about one reading of one character.
struct ReadingStats {
    double weight = 0;  // of the character alone with this reading
    double usage = 0;  // in phrases: the sum of their log weights
};
using ReadingTable = std::unordered_map<std::string, ReadingStats>;

std::string ReadingKey(std::string_view character, std::string_view syllable)
{
    std::string key;
    key.reserve(character.size() + 1 + syllable.size());
    key.append(character).append(1, '\t').append(syllable);
    return key;
}

// How a spelling of a phrase ranks among others of the same weight. The
// table often shares one weight out evenly between spellings (一會 yi2 hui4
// and yi4 hui3; 吧 ba1 and ba5), so ask in turn: for simplified text, how
// common the readings are in mainland text (跑得快 de5, not de2); how
// common they are in the table for the characters alone; how many of them
// are neutral, as a character's neutral reading is a particle or suffix
// and very common where the data has no count to tell; how often the
// readings occur in other phrases.
struct TieBreak {
    double mainland = 0;
    double characters = 0;
    int neutral = 0;
    double usage = 0;

    auto operator<=>(const TieBreak&) const = default;
};

TieBreak Rank(const Candidate& candidate, const ReadingTable& readings, const MainlandUsage* usage)
{
    TieBreak rank;
    ForEachReading(candidate, [&](std::string_view character, std::string_view syllable) {
        if (usage != nullptr) {
            const auto* p = reinterpret_cast<const unsigned char*>(character.data());
            rank.mainland += std::log1p(UsageOf(*usage, DecodeUtf8(p, p + character.size()), syllable));
        }
        if (syllable.ends_with('5')) {
            ++rank.neutral;
        }
        const auto found = readings.find(ReadingKey(character, syllable));
        if (found != readings.end()) {
            rank.characters += std::log1p(found->second.weight);
            rank.usage += found->second.usage;
        }
    });
    return rank;
}

// The index's spelling of a line's syllables, edited to match: erhua checked, citation tones for simplified text.
std::string Spelling(std::string_view phrase, std::vector<std::string_view>& syllables, ChineseBackend::Script script,
                     const std::optional<std::unordered_set<std::string>>& erhua)
{
    const bool trustErhua = !erhua;
    std::string spelling = Joined(syllables);
    if (!trustErhua && spelling.find("r5") != std::string::npos
        && !erhua->contains(std::string(phrase) + '\t' + spelling)) {
        for (std::string_view& syllable : syllables) {
            if (syllable == "r5") {
                syllable = "er2";
            }
        }
        spelling = Joined(syllables);
    }
    if (script == ChineseBackend::Script::Simplified && CitationTones(phrase, syllables)) {
        spelling = Joined(syllables);
    }
    return spelling;
}

// Adds candidate's readings to readings: a lone character's weight, or a phrase's usage.
void NoteReadings(const Candidate& candidate, bool single, ReadingTable& readings)
{
    if (single) {
        double& weight = readings[ReadingKey(candidate.key, candidate.syllables)].weight;
        weight = std::max(weight, candidate.weight);
    } else {
        const double usage = std::log1p(candidate.weight);
        ForEachReading(candidate, [&](std::string_view character, std::string_view syllable) {
            readings[ReadingKey(character, syllable)].usage += usage;
        });
    }
}

// Fills candidates (in line order) and readings from the table at path; false when it cannot be read.
bool ReadTable(ChineseBackend::Script script, const QString& path,
               const std::optional<std::unordered_set<std::string>>& erhua, std::vector<Candidate>& candidates,
               ReadingTable& readings)
{
    quint32 order = 0;
    return ForEachLine(path, [&](std::string_view text) {
        const std::optional<pinyin::TableLine> line = pinyin::ParseTableLine(text);
        if (!line) {
            return;
        }
        std::vector<std::string_view> syllables = Tokens(line->syllables);
        // Names such as 卡爾·馬克思 hold a mark without a syllable; they are
        // left out rather than guessed at.
        if (HanLength(line->phrase) != int(syllables.size())) {
            return;
        }
        std::string spelling = Spelling(line->phrase, syllables, script, erhua);
        Candidate candidate;
        candidate.key = std::string(line->phrase);
        candidate.origin = candidate.key;
        candidate.syllables = std::move(spelling);
        candidate.weight = line->weight;
        candidate.order = order++;
        NoteReadings(candidate, syllables.size() == 1, readings);
        candidates.push_back(std::move(candidate));
    });
}

// Appends a converted candidate for each key OpenCC simplifies; false (and logged) when it cannot.
bool AddSimplifiedKeys(std::vector<Candidate>& candidates)
{
    const OpenCC opencc;
    if (!opencc.Ok()) {
        qCWarning(lcChinese) << "OpenCC cannot load t2s.json";
        return false;
    }
    std::vector<std::string> simplified;
    {
        // Views into candidates, which grows below.
        std::vector<std::string_view> keys;
        keys.reserve(candidates.size());
        for (const Candidate& candidate : candidates) {
            keys.push_back(candidate.key);
        }
        simplified = opencc.Convert(keys);
    }
    if (simplified.size() != candidates.size()) {
        qCWarning(lcChinese) << "OpenCC cannot convert the phrase table";
        return false;
    }
    const std::size_t direct = candidates.size();
    for (std::size_t i = 0; i < direct; ++i) {
        if (simplified[i] == candidates[i].key || HanLength(simplified[i]) != HanLength(candidates[i].key)) {
            continue;
        }
        Candidate candidate = candidates[i];
        candidate.key = simplified[i];
        candidate.converted = true;
        candidates.push_back(std::move(candidate));
    }
    return true;
}

// The indices of candidates by key, each key's best first.
std::vector<quint32> SortedByKey(const std::vector<Candidate>& candidates)
{
    // Per key: the highest weight, then the better TieBreak, then the
    // table's own key over a converted one, then the earlier line.
    std::vector<quint32> sorted(candidates.size());
    std::iota(sorted.begin(), sorted.end(), 0u);
    std::sort(sorted.begin(), sorted.end(), [&](quint32 a, quint32 b) {
        const Candidate& x = candidates[a];
        const Candidate& y = candidates[b];
        if (const int c = x.key.compare(y.key); c != 0) {
            return c < 0;
        }
        if (x.weight != y.weight) {
            return x.weight > y.weight;
        }
        if (x.converted != y.converted) {
            return !x.converted;
        }
        return x.order < y.order;
    });
    return sorted;
}

// The mainland readings of characters and words, where there are any and they could be read.
struct MainlandData {
    std::optional<MainlandReadings> characters;
    MainlandUsage usage;
    std::optional<MainlandWords> words;

    // syllables, a reading of key, with the mainland readings put in.
    std::string Respelled(const std::string& key, const std::string& syllables) const
    {
        if (!characters && !words) {
            return syllables;
        }
        std::vector<std::string_view> parts = Tokens(syllables);
        bool changed = characters && ToMainland(key, parts, *characters);
        changed = (words && ToMainlandWord(key, parts, *words, characters ? &*characters : nullptr)) || changed;
        return changed ? Joined(parts) : syllables;
    }
};

// The mainland data for simplified text (logged where it cannot be read); none for traditional.
MainlandData ReadMainlandData(ChineseBackend::Script script, const ChineseBackend::DataFiles& files)
{
    MainlandData data;
    if (script == ChineseBackend::Script::Simplified && !files.mainland.isEmpty()) {
        data.characters = ReadMainlandReadings(files.mainland, &data.usage);
        if (!data.characters) {
            qCWarning(lcChinese) << "cannot read" << files.mainland << "; the table's readings of characters stand";
        }
    }
    if (script == ChineseBackend::Script::Simplified && !files.words.isEmpty()) {
        data.words = ReadMainlandWords(files.words);
        if (!data.words) {
            qCWarning(lcChinese) << "cannot read" << files.words << "; the table's readings of words stand";
        }
    }
    return data;
}

// The candidate of sorted[begin, end) (one key) whose reading the key takes, before spelling.
const Candidate& Chosen(const std::vector<Candidate>& candidates, const std::vector<quint32>& sorted, std::size_t begin,
                        std::size_t end, const ReadingTable& readings, const MainlandData& mainland)
{
    const Candidate& first = candidates[sorted[begin]];
    std::size_t tied = begin + 1;
    while (tied < end && candidates[sorted[tied]].weight == first.weight) {
        ++tied;
    }
    const Candidate* chosen = &first;
    if (tied - begin > 1) {
        const MainlandUsage* const counts = mainland.characters ? &mainland.usage : nullptr;
        TieBreak best = Rank(first, readings, counts);
        for (std::size_t i = begin + 1; i < tied; ++i) {
            const Candidate& candidate = candidates[sorted[i]];
            const TieBreak rank = Rank(candidate, readings, counts);
            if (rank > best) {
                best = rank;
                chosen = &candidate;
            }
        }
    }
    return *chosen;
}

// The index entries: one per key of sorted, with its chosen reading written in script's notation.
std::vector<PhraseIndex::Entry> ChooseEntries(ChineseBackend::Script script, const std::vector<Candidate>& candidates,
                                              const std::vector<quint32>& sorted, const ReadingTable& readings,
                                              const MainlandData& mainland)
{
    const pinyin::Notation notation = Info(script).notation;
    std::vector<PhraseIndex::Entry> entries;
    entries.reserve(sorted.size() / 2);
    for (std::size_t begin = 0; begin < sorted.size();) {
        const Candidate& first = candidates[sorted[begin]];
        std::size_t end = begin + 1;
        while (end < sorted.size() && candidates[sorted[end]].key == first.key) {
            ++end;
        }
        if (script == ChineseBackend::Script::Simplified && IsPronounAndDe(first.key)) {
            begin = end;
            continue;
        }
        const Candidate& chosen = Chosen(candidates, sorted, begin, end, readings, mainland);
        // A key whose best reading cannot be written falls to the next one.
        QString value = pinyin::Spell(mainland.Respelled(first.key, chosen.syllables), notation);
        for (std::size_t i = begin; value.isEmpty() && i < end; ++i) {
            value = pinyin::Spell(mainland.Respelled(first.key, candidates[sorted[i]].syllables), notation);
        }
        if (!value.isEmpty()) {
            const double weight = std::min(std::log1p(chosen.weight) * kWeightScale, 1e9);
            entries.push_back({QString::fromStdString(first.key), std::move(value), qint32(std::lround(weight))});
        }
        begin = end;
    }
    return entries;
}

}  // namespace

ChineseBackend::DataFiles ChineseBackend::InstalledDataFiles()
{
    DataFiles files;
    files.table = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                         QStringLiteral("rime-data/build/terra_pinyin.table.txt"));
    files.dictionary =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("rime-data/terra_pinyin.dict.yaml"));
    files.mainland =
        QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("unicode/Unihan_Readings.txt.bz2"));
    // Not a Debian package: scripts/install-deps fetches it.
    files.words = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("kotobane/cedict_ts.u8"));
    return files;
}

std::unique_ptr<ChineseBackend> ChineseBackend::Open(Script script)
{
    const DataFiles files = InstalledDataFiles();
    if (files.table.isEmpty()) {
        return nullptr;
    }
    return Open(script, files, IndexCacheDirectory() + u'/' + QLatin1String(Info(script).cacheName));
}

std::unique_ptr<ChineseBackend> ChineseBackend::Open(Script script, const DataFiles& files, const QString& cachePath)
{
    if (!QFileInfo(files.table).isFile()) {
        return nullptr;
    }
    QStringList sources{files.table};
    if (!files.dictionary.isEmpty()) {
        sources << files.dictionary;
    }
    if (script == Script::Simplified) {
        for (const QString& path : {files.mainland, files.words}) {
            if (!path.isEmpty()) {
                sources << path;
            }
        }
        // A new OpenCC release may convert differently.
        for (const char* name : {"opencc/t2s.json", "opencc/TSPhrases.ocd2", "opencc/TSCharacters.ocd2"}) {
            const QString path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, QLatin1String(name));
            if (!path.isEmpty()) {
                sources << path;
            }
        }
    }
    const QByteArray signature = SourceSignature(sources, Info(script).builderVersion);
    std::unique_ptr<PhraseIndex> index = PhraseIndex::Open(cachePath, signature, [&] {
        QElapsedTimer timer;
        timer.start();
        std::optional<std::vector<PhraseIndex::Entry>> entries = ReadEntries(script, files);
        qCInfo(lcChinese) << "read" << files.table << "in" << timer.elapsed() << "ms";
        return entries;
    });
    if (!index || index->Size() == 0) {
        return nullptr;
    }
    return std::unique_ptr<ChineseBackend>(new ChineseBackend(script, std::move(index)));
}

std::optional<std::vector<PhraseIndex::Entry>> ChineseBackend::ReadEntries(Script script, const DataFiles& files)
{
    QElapsedTimer timer;
    timer.start();
    const std::optional<std::unordered_set<std::string>> erhua = ErhuaSpellings(files.dictionary);

    std::vector<Candidate> candidates;
    ReadingTable readings;
    if (!ReadTable(script, files.table, erhua, candidates, readings)) {
        return std::nullopt;
    }
    qCDebug(lcChinese) << "parsed" << candidates.size() << "readings in" << timer.elapsed() << "ms";

    // The table is traditional (with a few simplified characters, often
    // with a rare reading only: 长 zhang3, 价 jie4); the simplified form
    // of every key joins the readings of that key, and the weights
    // decide between them.
    if (script == Script::Simplified && !AddSimplifiedKeys(candidates)) {
        return std::nullopt;
    }

    qCDebug(lcChinese) << "converted in" << timer.elapsed() << "ms";

    const std::vector<quint32> sorted = SortedByKey(candidates);

    // For simplified text the mainland standard decides where the table
    // gives a word or a character a Taiwan reading: 长大 chang2 → zhang3,
    // 亚 ya3 → ya4, 击 ji2 → ji1.
    const MainlandData mainland = ReadMainlandData(script, files);

    qCDebug(lcChinese) << "read the mainland data in" << timer.elapsed() << "ms";
    std::vector<PhraseIndex::Entry> entries = ChooseEntries(script, candidates, sorted, readings, mainland);
    qCDebug(lcChinese) << "chose" << entries.size() << "readings in" << timer.elapsed() << "ms";
    return entries;
}

ChineseBackend::ChineseBackend(Script script, std::unique_ptr<PhraseIndex> index)
    : m_script(script),
      m_index(std::move(index))
{ }

ChineseBackend::~ChineseBackend() = default;

Hkl ChineseBackend::HandleOf(Script script)
{
    return Info(script).handle;
}

QString ChineseBackend::DescriptionOf(Script script)
{
    return QString::fromLatin1(Info(script).description);
}

Hkl ChineseBackend::Handle() const
{
    return HandleOf(m_script);
}

QString ChineseBackend::Description() const
{
    return DescriptionOf(m_script);
}

QString ChineseBackend::Reading(const QString& phrase)
{
    m_out.clear();
    m_last = Last::Nothing;
    const auto* units = reinterpret_cast<const char16_t*>(phrase.utf16());
    const qsizetype n = phrase.size();
    for (qsizetype i = 0; i < n;) {
        const qsizetype start = i;
        const CodePoint point = CodePointAt(units, n, i);
        const char32_t c = point.value;
        i += point.length;
        if (IsHan(c)) {
            qsizetype end = i;
            while (end < n && end - start < kMaxRun) {
                const CodePoint next = CodePointAt(units, n, end);
                if (!IsHan(next.value)) {
                    break;
                }
                end += next.length;
            }
            AppendHan(QStringView(units + start, end - start));
            i = end;
            continue;
        }
        const Last kind = IsLetterOrDigit(c) ? Last::LetterOrDigit : Last::Other;
        if (kind == Last::LetterOrDigit && m_last == Last::Syllable) {
            m_out += u' ';
        }
        m_out.append(units + start, std::size_t(i - start));
        m_last = kind;
    }
    return QString::fromUtf16(m_out.data(), qsizetype(m_out.size()));
}

void ChineseBackend::AppendHan(QStringView run)
{
    const auto prefixes = [this](QStringView text, std::vector<PhraseIndex::Match>& out) {
        m_index->Prefixes(text, out);
    };
    const auto* const units = reinterpret_cast<const char16_t*>(run.utf16());
    std::u16string_view previous;
    for (const HanSegmenter::Word& word : m_segmenter.Split(run, prefixes)) {
        if (m_last == Last::Syllable || m_last == Last::LetterOrDigit) {
            m_out += u' ';
        }
        const std::u16string_view text(units + word.start, std::size_t(word.length));
        const bool modal = m_script == Script::Simplified && text == u"得" && IsPronoun(previous);
        previous = text;
        if (modal) {
            m_out += u"děi";
        } else if (word.reading.isEmpty()) {
            m_out.append(text);
        } else {
            m_out.append(reinterpret_cast<const char16_t*>(word.reading.utf16()), std::size_t(word.reading.size()));
        }
        m_last = Last::Syllable;
    }
}

}  // namespace kotobane
