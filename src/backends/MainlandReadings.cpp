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

MainlandReadings ParseUnihanReadings(std::string_view text)
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
        if (field != "kTGHZ2013" && field != "kXHC1983") {
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
        std::vector<std::string>& list = readings[code];
        std::string_view values = line.substr(tab2 + 1);
        while (!values.empty()) {
            const std::size_t space = values.find(' ');
            std::string_view value = values.substr(0, space);
            values = space == std::string_view::npos ? std::string_view() : values.substr(space + 1);
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

std::optional<MainlandReadings> ReadMainlandReadings(const QString& bz2Path)
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
    return ParseUnihanReadings(plain);
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

}  // namespace kotobane
