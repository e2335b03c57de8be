#include "backends/MainlandReadings.h"

#include <QFile>

#include <algorithm>

#include <bzlib.h>

#include "backends/CodePoints.h"
#include "core/RegularFile.h"

namespace kotobane {

namespace {

// The Debian file is 1.2 MB compressed and 7 MB plain; more is no Unihan.
constexpr qint64 kMaxCompressed = 64 * 1024 * 1024;
constexpr std::size_t kMaxPlain = 256 * 1024 * 1024;

struct Vowel {
    std::string_view marked;
    char base;  // 'v' for ü
    char tone;
};
constexpr Vowel kVowels[] = {
    {"ā", 'a', '1'}, {"á", 'a', '2'}, {"ǎ", 'a', '3'}, {"à", 'a', '4'}, {"ē", 'e', '1'},
    {"é", 'e', '2'}, {"ě", 'e', '3'}, {"è", 'e', '4'}, {"ī", 'i', '1'}, {"í", 'i', '2'},
    {"ǐ", 'i', '3'}, {"ì", 'i', '4'}, {"ō", 'o', '1'}, {"ó", 'o', '2'}, {"ǒ", 'o', '3'},
    {"ò", 'o', '4'}, {"ū", 'u', '1'}, {"ú", 'u', '2'}, {"ǔ", 'u', '3'}, {"ù", 'u', '4'},
    {"ǖ", 'v', '1'}, {"ǘ", 'v', '2'}, {"ǚ", 'v', '3'}, {"ǜ", 'v', '4'}, {"ü", 'v', '5'},
};

std::string_view Base(std::string_view syllable)
{
    return syllable.substr(0, syllable.empty() ? 0 : syllable.size() - 1);
}

// The text of rest up to its first space, taken off rest with the space.
std::string_view NextWord(std::string_view& rest)
{
    const std::size_t space = rest.find(' ');
    const std::string_view word = rest.substr(0, space);
    rest = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    return word;
}

// CC-CEDICT is 9 MB; a file far larger is not it.
constexpr qint64 kMaxWords = 256 * 1024 * 1024;

// The Han characters of word, one view each; empty when anything else is
// in it (also for malformed UTF-8).
std::vector<std::string_view> HanCharacters(std::string_view word)
{
    std::vector<std::string_view> characters;
    const auto* const begin = reinterpret_cast<const unsigned char*>(word.data());
    const auto* const end = begin + word.size();
    for (const unsigned char* p = begin; p < end;) {
        const unsigned char* const start = p;
        if (!IsHan(DecodeUtf8(p, end))) {
            return {};
        }
        characters.push_back(word.substr(std::size_t(start - begin), std::size_t(p - start)));
    }
    return characters;
}

// "Zhang3 da4" → "zhang3 da4", "lu:4" → "lv4"; empty unless every
// syllable is letters and a tone number.
std::string TableSpelling(std::string_view pinyin, std::size_t& count)
{
    std::string out;
    count = 0;
    bool inSyllable = false;
    for (std::size_t i = 0; i < pinyin.size(); ++i) {
        char c = pinyin[i];
        if (c == ' ') {
            if (!inSyllable) {
                return {};
            }
            out += ' ';
            inSyllable = false;
            continue;
        }
        if (inSyllable && out.back() >= '1' && out.back() <= '5') {
            return {};  // a letter after the tone
        }
        if (c == 'u' && i + 1 < pinyin.size() && pinyin[i + 1] == ':') {
            c = 'v';
            ++i;
        } else if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        } else if ((c < 'a' || c > 'z') && (c < '1' || c > '5' || !inSyllable)) {
            return {};
        }
        if (!inSyllable) {
            ++count;
        }
        out += c;
        inSyllable = true;
    }
    if (!inSyllable || out.back() < '1' || out.back() > '5') {
        return {};
    }
    return out;
}

void AddWord(MainlandWords& words, std::string_view word, const std::string& reading)
{
    std::vector<std::string>& list = words[std::string(word)];
    if (std::find(list.begin(), list.end(), reading) == list.end()) {
        list.push_back(reading);
    }
}

// Whether the table's full tone stands against the dictionary's neutral
// one: where the mainland gives the character that reading and no neutral
// one. Characters the mainland reads neutral are particles and suffixes
// (得 de, 么 me); a neutral tone elsewhere is a light stress in speech that
// dictionaries print in full (一个 gè, 还是 shì).
bool KeepsFullTone(const MainlandReadings* readings, std::string_view character, std::string_view syllable)
{
    if (readings == nullptr) {
        return true;  // nothing to say otherwise: the table stands
    }
    const auto* p = reinterpret_cast<const unsigned char*>(character.data());
    const auto it = readings->find(DecodeUtf8(p, p + character.size()));
    return it != readings->end() && std::find(it->second.begin(), it->second.end(), syllable) != it->second.end()
           && std::none_of(it->second.begin(), it->second.end(), [](const std::string& r) { return r.back() == '5'; });
}

}  // namespace

std::string NumericSyllable(std::string_view marked)
{
    std::string out;
    char tone = '5';
    for (std::size_t i = 0; i < marked.size();) {
        const unsigned char c = static_cast<unsigned char>(marked[i]);
        if (c >= 'a' && c <= 'z') {
            out += char(c);
            ++i;
            continue;
        }
        bool found = false;
        for (const Vowel& v : kVowels) {
            if (marked.substr(i, v.marked.size()) == v.marked) {
                out += v.base;
                if (v.tone != '5') {
                    tone = v.tone;
                }
                i += v.marked.size();
                found = true;
                break;
            }
        }
        if (!found) {
            return {};  // ê, m̄, ň and the like: not the table's letters
        }
    }
    if (out.empty()) {
        return {};
    }
    out += tone;
    return out;
}

MainlandReadings ParseUnihanReadings(std::string_view text, MainlandUsage* usage)
{
    MainlandReadings readings;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        // U+4E9A<TAB>kTGHZ2013<TAB>420.130:yà 421.010,421.020:yā
        if (line.size() < 3 || line.substr(0, 2) != "U+") {
            continue;
        }
        const std::size_t tab1 = line.find('\t');
        const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : line.find('\t', tab1 + 1);
        if (tab2 == std::string_view::npos) {
            continue;
        }
        const std::string_view field = line.substr(tab1 + 1, tab2 - tab1 - 1);
        const bool counts = field == "kHanyuPinlu";
        if (field != "kTGHZ2013" && field != "kXHC1983" && !(counts && usage)) {
            continue;
        }
        char32_t code = 0;
        for (char h : line.substr(2, tab1 - 2)) {
            const int digit = h >= '0' && h <= '9' ? h - '0' : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
            if (digit < 0 || code > 0x10FFFF) {
                code = 0;
                break;
            }
            code = code * 16 + char32_t(digit);
        }
        if (code == 0) {
            continue;
        }
        std::string_view values = line.substr(tab2 + 1);
        if (counts) {
            // de(5096) dé(1496) děi(637)
            auto& list = (*usage)[code];
            while (!values.empty()) {
                const std::string_view value = NextWord(values);
                const std::size_t open = value.find('(');
                std::string syllable = NumericSyllable(value.substr(0, open));
                int count = 0;
                for (std::size_t i = open == std::string_view::npos ? value.size() : open + 1;
                     i < value.size() && value[i] >= '0' && value[i] <= '9' && count < 100000000; ++i) {
                    count = count * 10 + (value[i] - '0');
                }
                if (!syllable.empty() && count > 0) {
                    list.emplace_back(std::move(syllable), count);
                }
            }
            continue;
        }
        std::vector<std::string>& list = readings[code];
        while (!values.empty()) {
            std::string_view value = NextWord(values);
            const std::size_t colon = value.rfind(':');
            if (colon != std::string_view::npos) {
                value = value.substr(colon + 1);
            }
            std::string syllable = NumericSyllable(value);
            if (!syllable.empty() && std::find(list.begin(), list.end(), syllable) == list.end()) {
                list.push_back(std::move(syllable));
            }
        }
        if (list.empty()) {
            readings.erase(code);
        }
    }
    return readings;
}

std::optional<MainlandReadings> ReadMainlandReadings(const QString& bz2Path, MainlandUsage* usage)
{
    QFile file(bz2Path);
    if (!OpenRegularFile(file) || file.size() > kMaxCompressed) {
        return std::nullopt;
    }
    QByteArray compressed = file.readAll();
    std::string plain;
    bz_stream stream{};
    if (BZ2_bzDecompressInit(&stream, 0, 0) != BZ_OK) {
        return std::nullopt;
    }
    stream.next_in = compressed.data();
    stream.avail_in = unsigned(compressed.size());
    char chunk[1 << 16];
    int status = BZ_OK;
    while (status == BZ_OK && plain.size() < kMaxPlain) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = BZ2_bzDecompress(&stream);
        plain.append(chunk, sizeof chunk - stream.avail_out);
        if (status == BZ_OK && stream.avail_in == 0 && stream.avail_out != 0) {
            break;  // input ended before the stream did
        }
    }
    BZ2_bzDecompressEnd(&stream);
    if (status != BZ_STREAM_END) {
        return std::nullopt;
    }
    return ParseUnihanReadings(plain, usage);
}

int UsageOf(const MainlandUsage& usage, char32_t character, std::string_view syllable)
{
    const auto it = usage.find(character);
    if (it == usage.end()) {
        return 0;
    }
    for (const auto& [reading, count] : it->second) {
        if (reading == syllable) {
            return count;
        }
    }
    return 0;
}

bool ToMainland(std::string_view key, std::vector<std::string_view>& syllables, const MainlandReadings& readings)
{
    bool changed = false;
    const auto* p = reinterpret_cast<const unsigned char*>(key.data());
    const auto* const end = p + key.size();
    for (std::size_t k = 0; p < end && k < syllables.size(); ++k) {
        const char32_t character = DecodeUtf8(p, end);
        std::string_view& syllable = syllables[k];
        if (syllable.empty() || syllable.back() == '5') {
            continue;
        }
        const auto it = readings.find(character);
        if (it == readings.end() || std::find(it->second.begin(), it->second.end(), syllable) != it->second.end()) {
            continue;
        }
        const std::string* replacement = nullptr;
        int alike = 0;
        for (const std::string& reading : it->second) {
            if (Base(reading) == Base(syllable) && reading.back() != '5') {
                replacement = &reading;
                ++alike;
            }
        }
        if (alike == 0 && it->second.size() == 1 && it->second.front().back() != '5') {
            replacement = &it->second.front();
            alike = 1;
        }
        if (alike == 1) {
            syllable = *replacement;
            changed = true;
        }
    }
    return changed;
}

MainlandWords ParseCedict(std::string_view text)
{
    MainlandWords words;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        // 長大 长大 [zhang3 da4] /to grow up/
        const std::size_t space1 = line.find(' ');
        const std::size_t space2 = space1 == std::string_view::npos ? space1 : line.find(' ', space1 + 1);
        if (line.starts_with('#') || space2 == std::string_view::npos || line.substr(space2 + 1, 1) != "[") {
            continue;
        }
        const std::size_t close = line.find(']', space2);
        if (close == std::string_view::npos) {
            continue;
        }
        const std::string_view traditional = line.substr(0, space1);
        const std::string_view simplified = line.substr(space1 + 1, space2 - space1 - 1);
        std::size_t count = 0;
        const std::string reading = TableSpelling(line.substr(space2 + 2, close - space2 - 2), count);
        if (reading.empty() || count < 2 || HanCharacters(simplified).size() != count
            || HanCharacters(traditional).size() != count) {
            continue;
        }
        AddWord(words, simplified, reading);
        if (traditional != simplified) {
            AddWord(words, traditional, reading);
        }
    }
    return words;
}

std::optional<MainlandWords> ReadMainlandWords(const QString& path)
{
    QFile file(path);
    if (!OpenRegularFile(file) || file.size() > kMaxWords) {
        return std::nullopt;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return ParseCedict(std::string_view(text.constData(), std::size_t(text.size())));
}

namespace {

// Gives syllables, one per character of a dictionary word, the one of the
// word's readings closest to them, as ToMainlandWord says.
bool MergeWord(const std::string_view* characters, std::string_view* syllables, std::size_t count,
               const std::vector<std::string>& word, const MainlandReadings* readings)
{
    // The reading that agrees with the table in the most spellings, then
    // in the most syllables; the dictionary's first of equals.
    std::vector<std::string_view> best;
    std::pair<int, int> bestScore{-1, -1};
    for (const std::string& reading : word) {
        std::vector<std::string_view> tokens;
        for (std::string_view rest = reading; !rest.empty();) {
            tokens.push_back(NextWord(rest));
        }
        if (tokens.size() != count) {
            continue;
        }
        std::pair<int, int> score{0, 0};
        for (std::size_t k = 0; k < count; ++k) {
            score.first += Base(tokens[k]) == Base(syllables[k]);
            score.second += tokens[k] == syllables[k];
        }
        if (score > bestScore) {
            bestScore = score;
            best = std::move(tokens);
        }
    }
    bool changed = false;
    for (std::size_t k = 0; k < best.size(); ++k) {
        const std::string_view mine = best[k];
        // A 了 ending a word that the table reads as the particle keeps it:
        // 到了 is far more often "arrived" than "in the end" (dao4 liao3).
        if (k + 1 == count && characters[k] == "了" && syllables[k] == "le5") {
            continue;
        }
        if (mine == syllables[k]
            || (Base(mine) == Base(syllables[k]) && mine.back() == '5'
                && KeepsFullTone(readings, characters[k], syllables[k]))) {
            continue;
        }
        syllables[k] = mine;
        changed = true;
    }
    return changed;
}

}  // namespace

bool ToMainlandWord(std::string_view key, std::vector<std::string_view>& syllables, const MainlandWords& words,
                    const MainlandReadings* readings)
{
    const std::vector<std::string_view> characters = HanCharacters(key);
    const std::size_t n = characters.size();
    if (n < 2 || n != syllables.size()) {
        return false;
    }
    const auto offset = [&](std::size_t k) { return std::size_t(characters[k].data() - key.data()); };
    const auto piece = [&](std::size_t from, std::size_t count) {
        const std::size_t begin = offset(from);
        const std::size_t end = from + count < n ? offset(from + count) : key.size();
        return key.substr(begin, end - begin);
    };
    bool changed = false;
    std::size_t wordsEnd = 0;  // where the last dictionary word ended; 0 for none
    for (std::size_t i = 0; i < n;) {
        std::size_t length = n - i;
        for (; length >= 2; --length) {
            const auto found = words.find(piece(i, length));
            if (found != words.end()) {
                changed = MergeWord(&characters[i], &syllables[i], length, found->second, readings) || changed;
                break;
            }
        }
        if (length >= 2) {
            i += length;
            wordsEnd = i;
            continue;
        }
        if (i + 1 == n && wordsEnd == i && characters[i] == "地" && syllables[i] == "di4") {
            syllables[i] = "de5";  // an adverb made with 地 from a known word
            changed = true;
        }
        ++i;
    }
    return changed;
}

}  // namespace kotobane
