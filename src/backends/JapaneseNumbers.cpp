#include "backends/JapaneseNumbers.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "backends/CodePoints.h"

namespace kotobane {

namespace {

// One spoken element of a number: a digit, a digit with its place (三百),
// a myriad unit (万 億 兆 京), zero or the decimal point. Counters change
// their sound by the last element alone, so a reading is kept as a list
// of these until the counter is known.
enum class Unit : std::uint8_t { Digit, Zero, Ten, Hundred, Thousand, Myriad, Point };

struct Element {
    Unit unit;
    // The digit for Digit, the multiplier for Ten, Hundred and Thousand,
    // 1 to 4 (万 to 京) for Myriad.
    std::uint8_t value = 0;
    // Ends in っ, before a counter or unit that takes it (いっ, じゅっ).
    bool geminate = false;
    // 一千 before a myriad unit is said in full: 1000万 いっせんまん.
    bool sayOne = false;
};

struct Parsed {
    std::vector<Element> elements;
    // The value when it is an integer below 10000, for the counters whose
    // readings of small numbers are words of their own (1日 ついたち).
    int small = -1;
};

constexpr std::u16string_view kDigits[] = {u"ぜろ", u"いち", u"に",   u"さん", u"よん",
                                           u"ご",   u"ろく", u"なな", u"はち", u"きゅう"};
constexpr std::u16string_view kHundreds[] = {u"",         u"ひゃく",     u"にひゃく",   u"さんびゃく", u"よんひゃく",
                                             u"ごひゃく", u"ろっぴゃく", u"ななひゃく", u"はっぴゃく", u"きゅうひゃく"};
constexpr std::u16string_view kThousands[] = {u"",       u"せん",     u"にせん",   u"さんぜん", u"よんせん",
                                              u"ごせん", u"ろくせん", u"ななせん", u"はっせん", u"きゅうせん"};
constexpr std::u16string_view kMyriads[] = {u"", u"まん", u"おく", u"ちょう", u"けい"};

// Integers of more places than 京 covers are read digit by digit.
constexpr std::size_t kMaxPlaces = 20;

enum class Sym : std::uint8_t { Digit, Place, Myriad, Comma, Point, Other };

struct Classified {
    Sym sym;
    std::uint8_t value;  // digit; 1 to 3 for 十百千; 1 to 4 for 万億兆京
};

Classified Classify(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return {Sym::Digit, std::uint8_t(c - u'0')};
    }
    if (c >= u'０' && c <= u'９') {
        return {Sym::Digit, std::uint8_t(c - u'０')};
    }
    switch (c) {
    case u'〇':
    case u'零':
        return {Sym::Digit, 0};
    case u'一':
        return {Sym::Digit, 1};
    case u'二':
        return {Sym::Digit, 2};
    case u'三':
        return {Sym::Digit, 3};
    case u'四':
        return {Sym::Digit, 4};
    case u'五':
        return {Sym::Digit, 5};
    case u'六':
        return {Sym::Digit, 6};
    case u'七':
        return {Sym::Digit, 7};
    case u'八':
        return {Sym::Digit, 8};
    case u'九':
        return {Sym::Digit, 9};
    case u'十':
        return {Sym::Place, 1};
    case u'百':
        return {Sym::Place, 2};
    case u'千':
        return {Sym::Place, 3};
    case u'万':
        return {Sym::Myriad, 1};
    case u'億':
        return {Sym::Myriad, 2};
    case u'兆':
        return {Sym::Myriad, 3};
    case u'京':
        return {Sym::Myriad, 4};
    case u',':
    case u'，':
        return {Sym::Comma, 0};
    case u'.':
    case u'．':
        return {Sym::Point, 0};
    default:
        return {Sym::Other, 0};
    }
}

// groups[k] is the four-place group before the k-th myriad unit.
using Groups = std::array<std::uint32_t, 5>;

// sayOne: a lone 1000 before a myriad unit is said いっせん, as 1000万
// いっせんまん is; written 千万 it is せんまん.
void AppendPlaces(const Groups& groups, bool sayOne, std::vector<Element>& out)
{
    const std::size_t start = out.size();
    for (int k = 4; k >= 0; --k) {
        const std::uint32_t v = groups[std::size_t(k)];
        if (v == 0) {
            continue;
        }
        const auto thousands = std::uint8_t(v / 1000), hundreds = std::uint8_t(v / 100 % 10),
                   tens = std::uint8_t(v / 10 % 10), ones = std::uint8_t(v % 10);
        if (thousands != 0) {
            out.push_back({Unit::Thousand, thousands, false, sayOne && v == 1000 && k > 0});
        }
        if (hundreds != 0) {
            out.push_back({Unit::Hundred, hundreds});
        }
        if (tens != 0) {
            out.push_back({Unit::Ten, tens});
        }
        if (ones != 0) {
            out.push_back({Unit::Digit, ones});
        }
        if (k > 0) {
            // 兆 and 京 double the consonant before them as counters do:
            // いっちょう, じゅっちょう, ろっけい, ひゃっけい.
            Element& before = out.back();
            const bool one = before.unit == Unit::Digit && before.value == 1;
            const bool eight = before.unit == Unit::Digit && before.value == 8;
            const bool six = before.unit == Unit::Digit && before.value == 6;
            if ((k == 3 && (one || eight || before.unit == Unit::Ten))
                || (k == 4 && (one || six || eight || before.unit == Unit::Ten || before.unit == Unit::Hundred))) {
                before.geminate = true;
            }
            out.push_back({Unit::Myriad, std::uint8_t(k)});
        }
    }
    if (out.size() == start) {
        out.push_back({Unit::Zero});
    }
}

void AppendDigitByDigit(std::u16string_view digits, std::vector<Element>& out)
{
    for (const char16_t d : digits) {
        out.push_back(d == u'0' ? Element{Unit::Zero} : Element{Unit::Digit, std::uint8_t(d - u'0')});
    }
}

// Digits with optional thousands commas and a decimal point: 2024,
// 1,000, 3.14, 二〇二四.
std::optional<Parsed> ParsePositional(QStringView text)
{
    std::u16string whole;
    std::u16string fraction;
    bool point = false;
    bool comma = false;
    std::size_t sinceComma = 0;
    for (const QChar qc : text) {
        const Classified c = Classify(qc.unicode());
        switch (c.sym) {
        case Sym::Digit:
            (point ? fraction : whole).push_back(char16_t(u'0' + c.value));
            ++sinceComma;
            break;
        case Sym::Comma:
            // Commas group the whole part by threes; anything else (1,2)
            // is a list, not a number.
            if (point || whole.empty() || (comma ? sinceComma != 3 : sinceComma > 3)) {
                return std::nullopt;
            }
            comma = true;
            sinceComma = 0;
            break;
        case Sym::Point:
            if (point || whole.empty() || (comma && sinceComma != 3)) {
                return std::nullopt;
            }
            point = true;
            break;
        default:
            return std::nullopt;
        }
    }
    if (whole.empty() || (point && fraction.empty()) || (!point && comma && sinceComma != 3)) {
        return std::nullopt;
    }

    const std::size_t firstNonZero = whole.find_first_not_of(u'0');
    const std::u16string_view digits = firstNonZero == std::u16string::npos
                                           ? std::u16string_view(u"0")
                                           : std::u16string_view(whole).substr(firstNonZero);
    Parsed parsed;
    if (digits.size() > kMaxPlaces) {
        AppendDigitByDigit(digits, parsed.elements);
    } else {
        Groups groups{};
        std::uint32_t scale = 1;
        std::size_t k = 0;
        for (std::size_t i = digits.size(); i-- > 0;) {
            groups[k] += std::uint32_t(digits[i] - u'0') * scale;
            scale *= 10;
            if (scale == 10000) {
                scale = 1;
                ++k;
            }
        }
        AppendPlaces(groups, true, parsed.elements);
        if (!point && digits.size() <= 4) {
            parsed.small = int(groups[0]);
        }
    }
    if (point) {
        // 1.5 いってんご, 8.5 はってんご, 10.5 じゅってんご.
        Element& before = parsed.elements.back();
        if ((before.unit == Unit::Digit && (before.value == 1 || before.value == 8)) || before.unit == Unit::Ten) {
            before.geminate = true;
        }
        parsed.elements.push_back({Unit::Point});
        AppendDigitByDigit(fraction, parsed.elements);
    }
    return parsed;
}

// Numerals with place names: 二千二十四, 一万二千, 3万5000, 百.
std::optional<Parsed> ParseWithPlaces(QStringView text)
{
    static constexpr std::uint32_t kPow10[] = {1, 10, 100, 1000, 10000};
    Groups groups{};
    int lastMyriad = 5;
    int lastPlace = 4;
    std::uint32_t group = 0;
    std::uint32_t digits = 0;
    int digitCount = 0;
    for (const QChar qc : text) {
        const Classified c = Classify(qc.unicode());
        switch (c.sym) {
        case Sym::Digit:
            if (digitCount == 4) {
                return std::nullopt;
            }
            digits = digits * 10 + c.value;
            ++digitCount;
            break;
        case Sym::Place: {
            // Places fall within a group (千, then 百, then 十), each taking
            // one digit or none (十 is 10).
            const std::uint32_t times = digitCount == 0 ? 1 : digits;
            if (c.value >= lastPlace || times == 0 || times > 9) {
                return std::nullopt;
            }
            group += times * kPow10[c.value];
            lastPlace = c.value;
            digits = 0;
            digitCount = 0;
            break;
        }
        case Sym::Myriad:
            if (c.value >= lastMyriad || (digitCount != 0 && digits >= kPow10[lastPlace])) {
                return std::nullopt;
            }
            group += digits;
            // A unit with nothing before it (万 alone) is not a number.
            if (group == 0) {
                return std::nullopt;
            }
            groups[c.value] = group;
            lastMyriad = c.value;
            lastPlace = 4;
            group = 0;
            digits = 0;
            digitCount = 0;
            break;
        default:
            return std::nullopt;
        }
    }
    if (digitCount != 0 && digits >= kPow10[lastPlace]) {
        return std::nullopt;
    }
    groups[0] = group + digits;
    Parsed parsed;
    AppendPlaces(groups, false, parsed.elements);
    if (lastMyriad == 5) {
        parsed.small = int(groups[0]);
    }
    return parsed;
}

std::optional<Parsed> Parse(QStringView text)
{
    bool places = false;
    for (const QChar qc : text) {
        const Sym sym = Classify(qc.unicode()).sym;
        if (sym == Sym::Other) {
            return std::nullopt;
        }
        places = places || sym == Sym::Place || sym == Sym::Myriad;
    }
    if (text.isEmpty()) {
        return std::nullopt;
    }
    return places ? ParseWithPlaces(text) : ParsePositional(text);
}

void AppendElement(const Element& e, QString& out)
{
    switch (e.unit) {
    case Unit::Zero:
        out += kDigits[0];
        return;
    case Unit::Digit:
        if (e.geminate && (e.value == 1 || e.value == 6 || e.value == 8)) {
            out += kDigits[e.value].substr(0, 1);
            out += u'っ';
        } else {
            out += kDigits[e.value];
        }
        return;
    case Unit::Ten:
        if (e.value > 1) {
            out += kDigits[e.value];
        }
        out += e.geminate ? u"じゅっ" : u"じゅう";
        return;
    case Unit::Hundred: {
        const std::u16string_view hundred = kHundreds[e.value];
        if (e.geminate) {
            out += hundred.substr(0, hundred.size() - 1);  // ひゃく → ひゃっ
            out += u'っ';
        } else {
            out += hundred;
        }
        return;
    }
    case Unit::Thousand:
        out += e.sayOne ? std::u16string_view(u"いっせん") : kThousands[e.value];
        return;
    case Unit::Myriad:
        out += kMyriads[e.value];
        return;
    case Unit::Point:
        out += u"てん";
        return;
    }
}

// The last element as counters see it: digits 0 to 9, then 十 百 千 and
// 万 億 兆 京 as 10 to 16.
int Category(const Element& e)
{
    switch (e.unit) {
    case Unit::Zero:
        return 0;
    case Unit::Digit:
        return e.value;
    case Unit::Ten:
        return 10;
    case Unit::Hundred:
        return 11;
    case Unit::Thousand:
        return 12;
    case Unit::Myriad:
        return 12 + e.value;
    case Unit::Point:
        break;
    }
    return -1;
}

constexpr std::uint32_t Bits(std::initializer_list<int> categories)
{
    std::uint32_t bits = 0;
    for (const int c : categories) {
        bits |= 1u << c;
    }
    return bits;
}

// Counters whose first consonant doubles after いっ ろっ はっ じゅっ ひゃっ,
// those where only 1, 8 and 10 do (いっさつ but ろくさつ), and those
// voiced after ん (さんぼん, せんぼん, まんぼん).
constexpr std::uint32_t kDoubledWide = Bits({1, 6, 8, 10, 11});
constexpr std::uint32_t kDoubledNarrow = Bits({1, 8, 10});
constexpr std::uint32_t kAfterN = Bits({3, 12, 13});
constexpr std::uint32_t kAfterNAndFour = Bits({3, 4, 12, 13});

struct Special {
    int value;
    std::u16string_view reading;
};

// The whole of a last digit and the counter said together: 4年 よねん.
struct Fused {
    int digit;
    std::u16string_view reading;
};

struct Counter {
    std::u16string_view surface;
    std::u16string_view plain;
    std::u16string_view doubled = {};
    std::uint32_t doubledAfter = 0;
    std::u16string_view voiced = {};
    std::uint32_t voicedAfter = 0;
    std::span<const Fused> fused = {};
    std::span<const Special> specials = {};
};

constexpr Fused kNenFused[] = {{4, u"よねん"}};
constexpr Fused kNenkanFused[] = {{4, u"よねんかん"}};
constexpr Fused kEnFused[] = {{4, u"よえん"}};
constexpr Fused kJiFused[] = {{4, u"よじ"}, {7, u"しちじ"}, {9, u"くじ"}};
// 7時間 is said ななじかん as often as しちじかん; 4 and 9 have one reading.
constexpr Fused kJikanFused[] = {{4, u"よじかん"}, {9, u"くじかん"}};
constexpr Fused kGatsuFused[] = {{4, u"しがつ"}, {7, u"しちがつ"}, {9, u"くがつ"}};
constexpr Fused kNinFused[] = {{4, u"よにん"}};
constexpr Fused kNinmaeFused[] = {{4, u"よにんまえ"}};
// 14日 and 24日 keep the native よっか.
constexpr Fused kNichiFused[] = {{4, u"よっか"}};
constexpr Fused kNichikanFused[] = {{4, u"よっかかん"}};

constexpr Special kDays[] = {{1, u"ついたち"}, {2, u"ふつか"},  {3, u"みっか"}, {4, u"よっか"},
                             {5, u"いつか"},   {6, u"むいか"},  {7, u"なのか"}, {8, u"ようか"},
                             {9, u"ここのか"}, {10, u"とおか"}, {20, u"はつか"}};
constexpr Special kDaySpans[] = {{1, u"いちにちかん"}, {2, u"ふつかかん"},  {3, u"みっかかん"}, {4, u"よっかかん"},
                                 {5, u"いつかかん"},   {6, u"むいかかん"},  {7, u"なのかかん"}, {8, u"ようかかん"},
                                 {9, u"ここのかかん"}, {10, u"とおかかん"}, {20, u"はつかかん"}};
constexpr Special kPeople[] = {{1, u"ひとり"}, {2, u"ふたり"}};
constexpr Special kAge[] = {{20, u"はたち"}};
constexpr Special kThings[] = {{1, u"ひとつ"}, {2, u"ふたつ"}, {3, u"みっつ"}, {4, u"よっつ"},   {5, u"いつつ"},
                               {6, u"むっつ"}, {7, u"ななつ"}, {8, u"やっつ"}, {9, u"ここのつ"}, {10, u"とお"}};

constexpr Counter kCounters[] = {
    {u"年", u"ねん", {}, 0, {}, 0, kNenFused},
    {u"年間", u"ねんかん", {}, 0, {}, 0, kNenkanFused},
    {u"月", u"がつ", {}, 0, {}, 0, kGatsuFused},
    {u"ヶ月", u"かげつ", u"かげつ", kDoubledWide},
    {u"ヵ月", u"かげつ", u"かげつ", kDoubledWide},
    {u"カ月", u"かげつ", u"かげつ", kDoubledWide},
    {u"か月", u"かげつ", u"かげつ", kDoubledWide},
    {u"ケ月", u"かげつ", u"かげつ", kDoubledWide},
    {u"箇月", u"かげつ", u"かげつ", kDoubledWide},
    {u"日", u"にち", {}, 0, {}, 0, kNichiFused, kDays},
    {u"日間", u"にちかん", {}, 0, {}, 0, kNichikanFused, kDaySpans},
    {u"時", u"じ", {}, 0, {}, 0, kJiFused},
    {u"時間", u"じかん", {}, 0, {}, 0, kJikanFused},
    {u"分", u"ふん", u"ぷん", kDoubledWide, u"ぷん", kAfterNAndFour},
    {u"分間", u"ふんかん", u"ぷんかん", kDoubledWide, u"ぷんかん", kAfterNAndFour},
    {u"秒", u"びょう"},
    {u"秒間", u"びょうかん"},
    {u"週", u"しゅう", u"しゅう", kDoubledNarrow},
    {u"週間", u"しゅうかん", u"しゅうかん", kDoubledNarrow},
    {u"円", u"えん", {}, 0, {}, 0, kEnFused},
    {u"本", u"ほん", u"ぽん", kDoubledWide, u"ぼん", kAfterN},
    {u"匹", u"ひき", u"ぴき", kDoubledWide, u"びき", kAfterN},
    {u"杯", u"はい", u"ぱい", kDoubledWide, u"ばい", kAfterN},
    {u"歩", u"ほ", u"ぽ", kDoubledWide, u"ぽ", kAfterN},
    {u"泊", u"はく", u"ぱく", kDoubledWide, u"ぱく", kAfterNAndFour},
    {u"発", u"はつ", u"ぱつ", kDoubledWide, u"ぱつ", kAfterNAndFour},
    {u"人", u"にん", {}, 0, {}, 0, kNinFused, kPeople},
    {u"人前", u"にんまえ", {}, 0, {}, 0, kNinmaeFused},
    {u"歳", u"さい", u"さい", kDoubledNarrow, {}, 0, {}, kAge},
    {u"才", u"さい", u"さい", kDoubledNarrow, {}, 0, {}, kAge},
    {u"回", u"かい", u"かい", kDoubledWide},
    {u"個", u"こ", u"こ", kDoubledWide},
    {u"件", u"けん", u"けん", kDoubledWide},
    {u"曲", u"きょく", u"きょく", kDoubledWide},
    {u"課", u"か", u"か", kDoubledWide},
    {u"巻", u"かん", u"かん", kDoubledWide},
    {u"箇所", u"かしょ", u"かしょ", kDoubledWide},
    {u"か所", u"かしょ", u"かしょ", kDoubledWide},
    {u"カ所", u"かしょ", u"かしょ", kDoubledWide},
    {u"ヶ所", u"かしょ", u"かしょ", kDoubledWide},
    {u"階", u"かい", u"かい", kDoubledWide, u"がい", Bits({3})},
    {u"軒", u"けん", u"けん", kDoubledWide, u"げん", kAfterN},
    {u"冊", u"さつ", u"さつ", kDoubledNarrow},
    {u"足", u"そく", u"そく", kDoubledNarrow, u"ぞく", kAfterN},
    {u"頭", u"とう", u"とう", kDoubledNarrow},
    {u"着", u"ちゃく", u"ちゃく", kDoubledNarrow},
    {u"章", u"しょう", u"しょう", kDoubledNarrow},
    {u"点", u"てん", u"てん", kDoubledNarrow},
    {u"通", u"つう", u"つう", kDoubledNarrow},
    {u"社", u"しゃ", u"しゃ", kDoubledNarrow},
    {u"種類", u"しゅるい", u"しゅるい", kDoubledNarrow},
    {u"ページ", u"ぺーじ", u"ぺーじ", Bits({10, 11})},
    {u"枚", u"まい"},
    {u"行", u"ぎょう"},  // lines of text
    {u"台", u"だい"},
    {u"番", u"ばん"},
    {u"号", u"ごう"},
    {u"度", u"ど"},
    {u"割", u"わり"},
    {u"倍", u"ばい"},
    {u"名", u"めい"},
    {u"位", u"い"},
    {u"代", u"だい"},
    {u"部", u"ぶ"},
    {u"つ", u"つ", {}, 0, {}, 0, {}, kThings},
};

const Counter* FindCounter(QStringView surface)
{
    for (const Counter& counter : kCounters) {
        if (QStringView(counter.surface) == surface) {
            return &counter;
        }
    }
    return nullptr;
}

}  // namespace

QString ReadNumber(QStringView text)
{
    const std::optional<Parsed> parsed = Parse(text);
    if (!parsed) {
        return {};
    }
    QString reading;
    for (const Element& e : parsed->elements) {
        AppendElement(e, reading);
    }
    return reading;
}

bool IsCounter(QStringView counter)
{
    return FindCounter(counter) != nullptr;
}

QString ReadWithCounter(QStringView number, QStringView counter)
{
    const Counter* rule = FindCounter(counter);
    if (rule == nullptr) {
        return {};
    }
    std::optional<Parsed> parsed = Parse(number);
    if (!parsed) {
        return {};
    }
    for (const Special& special : rule->specials) {
        if (special.value == parsed->small) {
            return QString::fromUtf16(special.reading.data(), qsizetype(special.reading.size()));
        }
    }

    std::vector<Element>& elements = parsed->elements;
    Element last = elements.back();
    elements.pop_back();
    QString reading;
    for (const Element& e : elements) {
        AppendElement(e, reading);
    }
    const int category = Category(last);
    if (last.unit == Unit::Digit) {
        for (const Fused& fused : rule->fused) {
            if (fused.digit == last.value) {
                reading += fused.reading;
                return reading;
            }
        }
    }
    const std::uint32_t bit = category >= 0 ? 1u << category : 0;
    if ((rule->doubledAfter & bit) != 0) {
        last.geminate = true;
        AppendElement(last, reading);
        reading += rule->doubled;
    } else if ((rule->voicedAfter & bit) != 0) {
        AppendElement(last, reading);
        reading += rule->voiced;
    } else {
        AppendElement(last, reading);
        reading += rule->plain;
    }
    return reading;
}

namespace {

bool IsDigitUnit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'０' && c <= u'９');
}

bool IsSpaceUnit(char16_t c)
{
    return c == u' ' || c == u'\u00A0' || c == u'\u3000';
}

// Kana, kanji (々 among them) and ー; surrogate pairs are left out, as no
// counter or common neighbour of a number needs them.
bool IsJapaneseUnit(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || c == u'ー' || IsHan(c);
}

bool IsNumberUnit(char16_t c)
{
    return IsDigitUnit(c) || c == u'.' || c == u',' || c == u'．' || c == u'，';
}

// Part of a name or code rather than prose (RFC1894, IPv6, 8-bit, $0, %1,
// 2.0.36): a number touching one of these is no number of the sentence.
bool IsIdentifierUnit(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'Ａ' && c <= u'ｚ')
           || QStringView(u"_-/$%.:@#+*=\\~").contains(QChar(c));
}

// Whether text[from, to) is a number of its own: one the readings know,
// not glued to a name or code on its far side.
bool IsLoneNumber(const QString& text, qsizetype from, qsizetype to)
{
    if (ReadNumber(QStringView(text).mid(from, to - from)).isNull()) {
        return false;
    }
    const bool farBefore = from > 0 && IsIdentifierUnit(text[from - 1].unicode());
    const bool farAfter = to < text.size() && IsIdentifierUnit(text[to].unicode());
    return !farBefore && !farAfter;
}

}  // namespace

QString WithoutSpacesAroundNumbers(const QString& text)
{
    const qsizetype n = text.size();
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    QString out;
    qsizetype copied = 0;  // units of text already in out
    for (qsizetype i = 1; i < n; ++i) {
        if (!IsSpaceUnit(units[i]) || IsSpaceUnit(units[i - 1])) {
            continue;
        }
        qsizetype end = i;
        while (end < n && IsSpaceUnit(units[end])) {
            ++end;
        }
        if (end == n) {
            break;
        }
        const char16_t before = units[i - 1], after = units[end];
        bool join = false;
        if (IsDigitUnit(before) && IsJapaneseUnit(after)) {
            qsizetype from = i;
            while (from > 0 && IsNumberUnit(units[from - 1])) {
                --from;
            }
            join = IsLoneNumber(text, from, i);
        } else if (IsJapaneseUnit(before) && IsDigitUnit(after)) {
            qsizetype to = end;
            while (to < n && IsNumberUnit(units[to])) {
                ++to;
            }
            join = IsLoneNumber(text, end, to);
        }
        if (join) {
            out.append(QStringView(text).mid(copied, i - copied));
            copied = end;
        }
        i = end - 1;
    }
    if (copied == 0) {
        return text;
    }
    out.append(QStringView(text).mid(copied));
    return out;
}

}  // namespace kotobane
