#include "backends/Pinyin.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kotobane::pinyin {

namespace {

// The longest syllable is six letters ("zhuang"); a little room for the
// rarer spellings and nothing more, so junk is turned away early.
constexpr int kMaxLetters = 7;

// A syllable brought to one spelling: lower-case ASCII with "v" for ü,
// and its tone, 5 for the neutral one.
struct Syllable {
    char letters[kMaxLetters + 1] = {};
    int length = 0;
    int tone = 5;

    std::string_view Letters() const { return {letters, std::size_t(length)}; }
};

std::optional<Syllable> Normalize(std::string_view text)
{
    Syllable s;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        char letter;
        if (c >= 'a' && c <= 'z') {
            letter = c;
            ++i;
            if (c == 'u' && i < text.size() && text[i] == ':') {  // CC-CEDICT's "lu:"
                letter = 'v';
                ++i;
            }
        } else if (c == '\xC3' && i + 1 < text.size() && text[i + 1] == '\xBC') {  // ü
            letter = 'v';
            i += 2;
        } else {
            break;
        }
        if (s.length == kMaxLetters) {
            return std::nullopt;
        }
        s.letters[s.length++] = letter;
    }
    if (s.length == 0) {
        return std::nullopt;
    }
    if (i < text.size()) {
        if (text[i] < '1' || text[i] > '5' || i + 1 != text.size()) {
            return std::nullopt;
        }
        s.tone = text[i] - '0';
    }
    // After j, q, x and y the ü is written u; "jv" means the same as "ju".
    if (s.length >= 2 && s.letters[1] == 'v'
        && (s.letters[0] == 'j' || s.letters[0] == 'q' || s.letters[0] == 'x' || s.letters[0] == 'y')) {
        s.letters[1] = 'u';
    }
    return s;
}

constexpr bool IsVowel(char c)
{
    return c == 'a' || c == 'e' || c == 'i' || c == 'o' || c == 'u' || c == 'v';
}

// Where the tone mark goes: on a or e when there is one, on the o of "ou",
// otherwise on the last vowel (so "liu" marks the u and "gui" the i).
int MarkPosition(std::string_view letters)
{
    if (const auto a = letters.find('a'); a != std::string_view::npos) {
        return int(a);
    }
    if (const auto e = letters.find('e'); e != std::string_view::npos) {
        return int(e);
    }
    if (const auto ou = letters.find("ou"); ou != std::string_view::npos) {
        return int(ou);
    }
    for (int i = int(letters.size()) - 1; i >= 0; --i) {
        if (IsVowel(letters[std::size_t(i)])) {
            return i;
        }
    }
    return -1;  // "r", "m", "ng": nothing to mark
}

char16_t Marked(char vowel, int tone)
{
    // Tones 1-4 of each vowel; ü is "v" here.
    static constexpr char16_t kA[] = u"āáǎà";
    static constexpr char16_t kE[] = u"ēéěè";
    static constexpr char16_t kI[] = u"īíǐì";
    static constexpr char16_t kO[] = u"ōóǒò";
    static constexpr char16_t kU[] = u"ūúǔù";
    static constexpr char16_t kV[] = u"ǖǘǚǜ";
    const char16_t* row = vowel == 'a'   ? kA
                          : vowel == 'e' ? kE
                          : vowel == 'i' ? kI
                          : vowel == 'o' ? kO
                          : vowel == 'u' ? kU
                                         : kV;
    return row[tone - 1];
}

void AppendToneMarked(const Syllable& s, std::u16string& out)
{
    const int mark = s.tone <= 4 ? MarkPosition(s.Letters()) : -1;
    for (int i = 0; i < s.length; ++i) {
        const char c = s.letters[i];
        if (i == mark) {
            out += Marked(c, s.tone);
        } else {
            out += c == 'v' ? u'ü' : char16_t(c);
        }
    }
}

struct Pair {
    std::string_view pinyin;
    std::u16string_view zhuyin;
};

constexpr Pair kInitials[] = {
    {"zh", u"ㄓ"}, {"ch", u"ㄔ"}, {"sh", u"ㄕ"}, {"b", u"ㄅ"}, {"p", u"ㄆ"}, {"m", u"ㄇ"}, {"f", u"ㄈ"},
    {"d", u"ㄉ"},  {"t", u"ㄊ"},  {"n", u"ㄋ"},  {"l", u"ㄌ"}, {"g", u"ㄍ"}, {"k", u"ㄎ"}, {"h", u"ㄏ"},
    {"j", u"ㄐ"},  {"q", u"ㄑ"},  {"x", u"ㄒ"},  {"r", u"ㄖ"}, {"z", u"ㄗ"}, {"c", u"ㄘ"}, {"s", u"ㄙ"},
};

// Finals as written after an initial, with "iou", "uei" and "uen" in full
// and ü as "v".
constexpr Pair kFinals[] = {
    {"a", u"ㄚ"},     {"o", u"ㄛ"},      {"e", u"ㄜ"},     {"eh", u"ㄝ"},     {"ai", u"ㄞ"},     {"ei", u"ㄟ"},
    {"ao", u"ㄠ"},    {"ou", u"ㄡ"},     {"an", u"ㄢ"},    {"en", u"ㄣ"},     {"ang", u"ㄤ"},    {"eng", u"ㄥ"},
    {"er", u"ㄦ"},    {"ong", u"ㄨㄥ"},  {"i", u"ㄧ"},     {"ia", u"ㄧㄚ"},   {"io", u"ㄧㄛ"},   {"ie", u"ㄧㄝ"},
    {"iai", u"ㄧㄞ"}, {"iao", u"ㄧㄠ"},  {"iou", u"ㄧㄡ"}, {"ian", u"ㄧㄢ"},  {"in", u"ㄧㄣ"},   {"iang", u"ㄧㄤ"},
    {"ing", u"ㄧㄥ"}, {"iong", u"ㄩㄥ"}, {"u", u"ㄨ"},     {"ua", u"ㄨㄚ"},   {"uo", u"ㄨㄛ"},   {"uai", u"ㄨㄞ"},
    {"uei", u"ㄨㄟ"}, {"uan", u"ㄨㄢ"},  {"uen", u"ㄨㄣ"}, {"uang", u"ㄨㄤ"}, {"ueng", u"ㄨㄥ"}, {"uong", u"ㄨㄥ"},
    {"v", u"ㄩ"},     {"ve", u"ㄩㄝ"},   {"van", u"ㄩㄢ"}, {"vn", u"ㄩㄣ"},
};

// Syllables that are not an initial and a final.
constexpr Pair kWhole[] = {
    {"r", u"ㄦ"}, {"m", u"ㄇ"}, {"n", u"ㄋ"}, {"ng", u"ㄫ"}, {"hm", u"ㄏㄇ"}, {"hng", u"ㄏㄫ"},
};

std::u16string_view Lookup(const Pair* begin, const Pair* end, std::string_view pinyin)
{
    for (const Pair* p = begin; p != end; ++p) {
        if (p->pinyin == pinyin) {
            return p->zhuyin;
        }
    }
    return {};
}

template <std::size_t N>
std::u16string_view Lookup(const Pair (&table)[N], std::string_view pinyin)
{
    return Lookup(table, table + N, pinyin);
}

bool AppendZhuyin(const Syllable& s, std::u16string& out)
{
    static constexpr char16_t kToneMarks[] = {0, 0, u'ˊ', u'ˇ', u'ˋ'};
    const std::string_view letters = s.Letters();
    std::u16string_view whole = Lookup(kWhole, letters);
    if (!whole.empty()) {
        out += whole;  // erhua and the nasal interjections carry no tone here
        return true;
    }

    std::string_view initial;
    std::u16string_view initialZhuyin;
    for (const Pair& p : kInitials) {
        if (letters.starts_with(p.pinyin)) {
            initial = p.pinyin;
            initialZhuyin = p.zhuyin;
            break;
        }
    }
    std::string final(letters.substr(initial.size()));
    if (initial.empty()) {
        // y and w only spell the medial of a syllable without initial.
        if (final == "y" || final == "w") {
            return false;
        }
        if (final.starts_with("yu")) {
            final.erase(0, 1);
            final[0] = 'v';
        } else if (final.starts_with("yi")) {
            final.erase(0, 1);
        } else if (final.starts_with('y')) {
            final[0] = 'i';
        } else if (final.starts_with("wu")) {
            final.erase(0, 1);
        } else if (final.starts_with('w')) {
            final[0] = 'u';
        }
    } else {
        const bool sibilant = initial == "zh" || initial == "ch" || initial == "sh" || initial == "r" || initial == "z"
                              || initial == "c" || initial == "s";
        if (final.empty()) {
            return false;
        }
        if (sibilant && final == "i") {
            final.clear();  // zhi, ci …: the initial alone
        } else if ((initial == "j" || initial == "q" || initial == "x") && final.starts_with('u')) {
            final[0] = 'v';
        } else if ((initial == "j" || initial == "q" || initial == "x") && !final.starts_with('i')
                   && !final.starts_with('v')) {
            return false;  // these take only finals in i or ü
        } else if ((initial == "l" || initial == "n") && final == "ue") {
            final = "ve";
        } else if (final == "iu") {
            final = "iou";
        } else if (final == "ui") {
            final = "uei";
        } else if (final == "un") {
            final = "uen";
        }
    }

    std::u16string_view finalZhuyin;
    if (!final.empty()) {
        finalZhuyin = Lookup(kFinals, final);
        if (finalZhuyin.empty()) {
            return false;
        }
    } else if (initial.empty()) {
        return false;  // a bare "y" or "w"
    }
    if (s.tone == 5) {
        out += u'˙';
    }
    out += initialZhuyin;
    out += finalZhuyin;
    if (s.tone >= 2 && s.tone <= 4) {
        out += kToneMarks[s.tone];
    }
    return true;
}

bool AppendSyllable(const Syllable& s, Notation notation, std::u16string& out)
{
    if (notation == Notation::Zhuyin) {
        return AppendZhuyin(s, out);
    }
    AppendToneMarked(s, out);
    return true;
}

QString ToQString(const std::u16string& text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

}  // namespace

QString ToneMarked(std::string_view syllable)
{
    const std::optional<Syllable> s = Normalize(syllable);
    if (!s) {
        return {};
    }
    std::u16string out;
    AppendToneMarked(*s, out);
    return ToQString(out);
}

QString Zhuyin(std::string_view syllable)
{
    const std::optional<Syllable> s = Normalize(syllable);
    std::u16string out;
    if (!s || !AppendZhuyin(*s, out)) {
        return {};
    }
    return ToQString(out);
}

QString Spell(std::string_view syllables, Notation notation)
{
    std::u16string out;
    while (!syllables.empty()) {
        const std::size_t space = syllables.find(' ');
        const std::string_view token = syllables.substr(0, space);
        syllables = space == std::string_view::npos ? std::string_view() : syllables.substr(space + 1);
        if (token.empty()) {
            continue;
        }
        const std::optional<Syllable> s = Normalize(token);
        if (!s) {
            return {};
        }
        // Erhua is the rhotic ending of the syllable before, not one of its own.
        const bool erhua = s->Letters() == "r" && !out.empty();
        if (!out.empty() && !erhua) {
            out += u' ';
        }
        if (!AppendSyllable(*s, notation, out)) {
            return {};
        }
    }
    return ToQString(out);
}

std::optional<TableLine> ParseTableLine(std::string_view line)
{
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    if (line.empty() || line.front() == '#') {
        return std::nullopt;
    }
    const std::size_t tab1 = line.find('\t');
    if (tab1 == std::string_view::npos || tab1 == 0) {
        return std::nullopt;
    }
    TableLine parsed;
    parsed.phrase = line.substr(0, tab1);
    const std::string_view rest = line.substr(tab1 + 1);
    const std::size_t tab2 = rest.find('\t');
    parsed.syllables = rest.substr(0, tab2);
    if (parsed.syllables.empty()) {
        return std::nullopt;
    }
    if (tab2 != std::string_view::npos) {
        std::string_view weight = rest.substr(tab2 + 1);
        if (weight.find('\t') != std::string_view::npos) {
            return std::nullopt;
        }
        if (weight.ends_with('%')) {
            weight.remove_suffix(1);
        }
        const char* end = weight.data() + weight.size();
        const auto [stop, error] = std::from_chars(weight.data(), end, parsed.weight);
        if (error != std::errc() || stop != end || !std::isfinite(parsed.weight)) {
            return std::nullopt;
        }
        if (parsed.weight < 0) {
            parsed.weight = 0;
        }
    }
    return parsed;
}

}  // namespace kotobane::pinyin
