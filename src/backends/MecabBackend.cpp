#include "backends/MecabBackend.h"

#include <QChar>
#include <QLoggingCategory>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>
#include <vector>

#include <mecab.h>

#include "backends/CodePoints.h"
#include "backends/JapaneseNumbers.h"

namespace kotobane {

namespace {

Q_LOGGING_CATEGORY(lcMecab, "kotobane.backends.mecab", QtWarningMsg)

struct KindInfo {
    const char* dictionaryDir;
    // 0-based index of the kana reading in a morpheme's feature CSV. For
    // UniDic this is "kana" (the spelling-based reading, 東京 → トウキョウ),
    // not "pron" (トーキョー).
    int readingField;
    // How the part of speech of a numeral begins.
    std::string_view numeralTag;
    Hkl handle;
    const char* description;
};

const KindInfo& Info(MecabBackend::Kind kind)
{
    static constexpr KindInfo kIpadic{"/var/lib/mecab/dic/ipadic-utf8", 7, "名詞,数,", 0xE0010411u, "MeCab IPADIC"};
    static constexpr KindInfo kUnidic{"/var/lib/mecab/dic/unidic", 20, "名詞,数詞,", 0xE0020411u, "MeCab UniDic"};
    return kind == MecabBackend::Kind::Ipadic ? kIpadic : kUnidic;
}

constexpr bool IsJapaneseScript(QChar::Script script)
{
    return script == QChar::Script_Han || script == QChar::Script_Hiragana || script == QChar::Script_Katakana;
}

// A morpheme is read only when it holds Japanese script; Latin words,
// digits, punctuation and symbols keep their spelling even where the
// dictionary has a reading for them (Ａ → エイ).
bool HasJapaneseScript(std::string_view text)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const char32_t c = DecodeUtf8(p, end);
        // Kana letters and the unified ideographs answer without a table
        // look-up; nothing below U+2E80 is Han or kana.
        if ((c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || (c >= 0x4E00 && c <= 0x9FFF)) {
            return true;
        }
        if (c >= 0x2E80 && IsJapaneseScript(QChar::script(c))) {
            return true;
        }
    }
    return false;
}

constexpr char32_t ToHiragana(char32_t c)
{
    // ァ..ヶ and ヽヾ sit 0x60 above their hiragana; ー and the katakana
    // without a hiragana twin stay as they are.
    return (c >= 0x30A1 && c <= 0x30F6) || c == 0x30FD || c == 0x30FE ? c - 0x60 : c;
}

// Writes UTF-8 text as UTF-16 at out, which has room for text.size()
// units (no code point takes more UTF-16 units than UTF-8 bytes); returns
// the end of what was written.
char16_t* ToUtf16(std::string_view text, bool toHiragana, char16_t* out)
{
    auto p = reinterpret_cast<const unsigned char*>(text.data());
    const auto end = p + text.size();
    while (p < end) {
        if (*p < 0x80) {
            *out++ = char16_t(*p++);
            continue;
        }
        char32_t c = DecodeUtf8(p, end);
        if (toHiragana) {
            c = ToHiragana(c);
        }
        if (c < 0x10000) {
            *out++ = char16_t(c);
        } else {
            c -= 0x10000;
            *out++ = char16_t(0xD800 + (c >> 10));
            *out++ = char16_t(0xDC00 + (c & 0x3FF));
        }
    }
    return out;
}

// Field index of a MeCab feature string: comma-separated, where a field
// holding a comma is quoted and a quote inside it doubled. Empty when the
// feature has fewer fields. A quoted field is unquoted into scratch.
std::string_view FeatureField(const char* feature, int index, std::string& scratch)
{
    if (feature == nullptr) {
        return {};
    }
    // strchr rather than a byte loop: this runs for every morpheme and the
    // reading sits behind most of the feature.
    const char* p = feature;
    for (int field = 0; field < index; ++field) {
        if (*p == '"') {
            for (++p; *p != '\0'; ++p) {
                if (*p == '"') {
                    if (p[1] != '"') {
                        ++p;
                        break;
                    }
                    ++p;
                }
            }
        }
        p = std::strchr(p, ',');
        if (p == nullptr) {
            return {};
        }
        ++p;
    }
    if (*p != '"') {
        const char* e = std::strchr(p, ',');
        return e == nullptr ? std::string_view(p) : std::string_view(p, std::size_t(e - p));
    }
    scratch.clear();
    for (++p; *p != '\0'; ++p) {
        if (*p == '"') {
            if (p[1] != '"') {
                break;
            }
            ++p;
        }
        scratch.push_back(*p);
    }
    return scratch;
}

bool IsNumberSeparator(std::string_view surface)
{
    return surface == "," || surface == "." || surface == "，" || surface == "．";
}

bool HasDigits(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= '0' && c <= '9') {
            return true;
        }
        // Full-width ０..９ are EF BC 90..99.
        if (c == 0xEF && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0xBC
            && static_cast<unsigned char>(text[i + 2]) >= 0x90 && static_cast<unsigned char>(text[i + 2]) <= 0x99) {
            return true;
        }
    }
    return false;
}

// Characters that make digits part of a name, a version or an option
// rather than a number to say: Qt6, C++20, x86_64, -1, 10px, 50%.
bool GluesDigits(unsigned char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
           || std::strchr("_+-/:#@\\~=%$&*^|<>.", c) != nullptr;
}

// Full-width Latin letters and digits, EF BC 90..99, A1..BA, EF BD 81..9A.
bool IsFullWidthAlnum(const unsigned char* p)
{
    if (p[0] != 0xEF) {
        return false;
    }
    return (p[1] == 0xBC && ((p[2] >= 0x90 && p[2] <= 0x99) || (p[2] >= 0xA1 && p[2] <= 0xBA)))
           || (p[1] == 0xBD && p[2] >= 0x81 && p[2] <= 0x9A);
}

bool GluedBefore(const char* at, const char* text)
{
    const auto p = reinterpret_cast<const unsigned char*>(at);
    if (at - text >= 1 && p[-1] < 0x80) {
        return p[-1] != 0 && GluesDigits(p[-1]);
    }
    return at - text >= 3 && IsFullWidthAlnum(p - 3);
}

bool GluedAfter(const char* at, const char* end)
{
    if (at >= end) {
        return false;
    }
    const auto p = reinterpret_cast<const unsigned char*>(at);
    if (p[0] < 0x80) {
        // A full stop ends a sentence; only 3.x or 1.2.3 hold on to it.
        if (p[0] == '.') {
            return end - at >= 2 && p[1] < 0x80 && std::isalnum(p[1]) != 0;
        }
        return p[0] != 0 && GluesDigits(p[0]);
    }
    return end - at >= 3 && IsFullWidthAlnum(p);
}

// A kanji numeral and counter that MeCab splits although together they
// are an ordinary word (十分 じゅうぶん, 一日 いちにち or ついたち).
bool IsWordOfItsOwn(QStringView number, QStringView counter)
{
    return (number == u"十" && counter == u"分") || (number == u"一" && counter == u"日");
}

// True when a kanji digit token's reading from MeCab is one we would
// give it too: UniDic reads 三日月 as みっ + か + がつ and 一つ as ひと + つ,
// and such native readings belong to words, not to numbers.
bool IsNumeralReading(QStringView surface, QStringView reading)
{
    const QString ours = ReadNumber(surface);
    if (reading == ours) {
        return true;
    }
    // UniDic spells a numeral as it is said before its counter: 二十 (歳)
    // にじっ, 一 (回) いっ.
    if (reading.size() >= 2 && reading.back() == u'っ' && ours.startsWith(reading.chopped(1))) {
        return true;
    }
    if (surface.size() != 1) {
        return false;
    }
    switch (surface.front().unicode()) {
    case u'四':
        return reading == u"し";
    case u'七':
        return reading == u"しち";
    case u'九':
        return reading == u"く";
    case u'〇':
    case u'零':
        return reading == u"れい" || reading == u"まる";
    default:
        return false;
    }
}

bool IsPlaceName(QStringView surface)
{
    for (const QChar c : surface) {
        if (!QStringView(u"十百千万億兆京").contains(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

void MecabBackend::ModelDeleter::operator()(MeCab::Model* model) const
{
    MeCab::deleteModel(model);
}
void MecabBackend::TaggerDeleter::operator()(MeCab::Tagger* tagger) const
{
    MeCab::deleteTagger(tagger);
}
void MecabBackend::LatticeDeleter::operator()(MeCab::Lattice* lattice) const
{
    MeCab::deleteLattice(lattice);
}

const char* MecabBackend::DefaultDictionaryDir(Kind kind)
{
    return Info(kind).dictionaryDir;
}

std::unique_ptr<MecabBackend> MecabBackend::Open(Kind kind)
{
    return Open(kind, DefaultDictionaryDir(kind));
}

std::unique_ptr<MecabBackend> MecabBackend::Open(Kind kind, const std::string& dictionaryDir, int cacheBits)
{
    if (cacheBits < 0 || cacheBits > 20) {
        return nullptr;
    }
    // Checked first so a missing dictionary is a quiet null, not a MeCab error.
    if (!Installed(kind, dictionaryDir)) {
        return nullptr;
    }

    // An empty resource file keeps a user's ~/.mecabrc (user dictionaries,
    // another dicdir) from changing what the back-end reads.
    std::vector<std::string> args{"kotobane", "--rcfile=/dev/null", "--dicdir=" + dictionaryDir};
    std::vector<char*> argv;
    argv.reserve(args.size());
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    std::unique_ptr<MeCab::Model, ModelDeleter> model(MeCab::createModel(int(argv.size()), argv.data()));
    if (!model) {
        qCWarning(lcMecab).noquote() << "cannot open the dictionary in" << QString::fromStdString(dictionaryDir) << ":"
                                     << MeCab::getLastError();
        return nullptr;
    }
    std::unique_ptr<MeCab::Tagger, TaggerDeleter> tagger(model->createTagger());
    std::unique_ptr<MeCab::Lattice, LatticeDeleter> lattice(model->createLattice());
    if (!tagger || !lattice) {
        return nullptr;
    }
    return std::unique_ptr<MecabBackend>(
        new MecabBackend(kind, model.release(), tagger.release(), lattice.release(), cacheBits));
}

MecabBackend::MecabBackend(Kind kind, MeCab::Model* model, MeCab::Tagger* tagger, MeCab::Lattice* lattice,
                           int cacheBits)
    : m_kind(kind),
      m_readingField(Info(kind).readingField),
      m_model(model),
      m_tagger(tagger),
      m_lattice(lattice),
      m_cache(new CachedReading[std::size_t(1) << cacheBits]),
      m_cacheMask((std::size_t(1) << cacheBits) - 1)
{
    Grow(1);  // m_out is never null, not even for an empty reading
}

MecabBackend::~MecabBackend() = default;

bool MecabBackend::Installed(Kind, const std::string& dictionaryDir)
{
    std::error_code error;
    const std::filesystem::path dir(dictionaryDir);
    return std::filesystem::is_regular_file(dir / "sys.dic", error)
           && std::filesystem::is_regular_file(dir / "dicrc", error);
}

Hkl MecabBackend::HandleOf(Kind kind)
{
    return Info(kind).handle;
}

QString MecabBackend::DescriptionOf(Kind kind)
{
    return QString::fromLatin1(Info(kind).description);
}

Hkl MecabBackend::Handle() const
{
    return HandleOf(m_kind);
}

QString MecabBackend::Description() const
{
    return DescriptionOf(m_kind);
}

void MecabBackend::Grow(std::size_t units)
{
    // Doubling keeps a long phrase's appends linear; the buffer is only
    // copied into, so the new room is left unfilled.
    const std::size_t capacity = std::max({m_outCapacity * 2, m_outSize + units, std::size_t(256)});
    auto grown = std::make_unique_for_overwrite<char16_t[]>(capacity);
    if (m_outSize != 0) {
        std::copy_n(m_out.get(), m_outSize, grown.get());
    }
    m_out = std::move(grown);
    m_outCapacity = capacity;
}

void MecabBackend::AppendUtf16(std::string_view text, bool toHiragana)
{
    // No code point takes more UTF-16 units than UTF-8 bytes.
    char16_t* const at = Room(text.size());
    m_outSize = std::size_t(ToUtf16(text, toHiragana, at) - m_out.get());
}

void MecabBackend::AppendUnits(const char16_t* units, std::size_t count)
{
    std::copy_n(units, count, Room(count));
    m_outSize += count;
}

void MecabBackend::AppendCached(const CachedReading& cached)
{
    // The whole slot is copied, a fixed size the compiler moves in a few
    // instructions, and only its reading counted.
    std::copy_n(cached.units, CachedReading::kCapacity, Room(CachedReading::kCapacity));
    m_outSize += cached.size;
}

QString MecabBackend::Reading(const QString& text)
{
    m_outSize = 0;
    const QString phrase = WithoutSpacesAroundNumbers(text);
    const QStringView view(phrase);
    const char16_t* units = view.utf16();
    const qsizetype n = view.size();

    // Encode to UTF-8 by hand: a lone surrogate has no UTF-8 form, so the
    // phrase is cut there, the stretch before it read, and the unit itself
    // copied to the reading where it stood. Three bytes per unit is enough;
    // the buffer only grows, as resizing it would clear the new room.
    if (m_utf8.size() < std::size_t(n) * 3) {
        m_utf8.resize(std::size_t(n) * 3);
    }
    char* const begin = m_utf8.data();
    char* w = begin;
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = units[i];
        if (c < 0x80) {
            *w++ = char(c);
        } else if (c < 0x800) {
            *w++ = char(0xC0 | (c >> 6));
            *w++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *w++ = char(0xE0 | (c >> 12));
            *w++ = char(0x80 | ((c >> 6) & 0x3F));
            *w++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(units[i + 1])) {
            c = QChar::surrogateToUcs4(char16_t(c), units[++i]);
            *w++ = char(0xF0 | (c >> 18));
            *w++ = char(0x80 | ((c >> 12) & 0x3F));
            *w++ = char(0x80 | ((c >> 6) & 0x3F));
            *w++ = char(0x80 | (c & 0x3F));
        } else {
            if (!ReadStretch(begin, std::size_t(w - begin))) {
                return {};
            }
            const char16_t unit = char16_t(c);
            AppendUnits(&unit, 1);
            w = begin;
        }
    }
    if (!ReadStretch(begin, std::size_t(w - begin))) {
        return {};
    }
    return QString::fromUtf16(m_out.get(), qsizetype(m_outSize));
}

bool MecabBackend::ReadStretch(const char* text, std::size_t len)
{
    if (len == 0) {
        return true;
    }
    m_lattice->set_sentence(text, len);
    if (!m_tagger->parse(m_lattice.get())) {
        return false;
    }

    // MeCab skips white space before a morpheme (the node's rlength - length
    // bytes before its surface) and after the last one; copying whatever
    // lies between surfaces keeps it as it stood.
    const char* const end = text + len;
    const char* cursor = text;
    for (const MeCab::Node* node = m_lattice->bos_node(); node != nullptr; node = node->next) {
        if (node->stat == MECAB_BOS_NODE || node->stat == MECAB_EOS_NODE) {
            continue;
        }
        const char* surface = node->surface;
        if (surface < cursor || surface > end || node->length > std::size_t(end - surface)) {
            return false;
        }
        if (surface != cursor) {
            AppendUtf16({cursor, std::size_t(surface - cursor)}, false);
        }
        if (IsNumeral(node)) {
            node = AppendNumber(node, text, end);
            cursor = node->surface + node->length;
            continue;
        }
        AppendMorpheme({surface, node->length}, node->feature);
        cursor = surface + node->length;
    }
    AppendUtf16({cursor, std::size_t(end - cursor)}, false);
    return true;
}

bool MecabBackend::IsNumeral(const MeCab::Node* node) const
{
    const std::string_view tag = Info(m_kind).numeralTag;
    return node->feature != nullptr && std::strncmp(node->feature, tag.data(), tag.size()) == 0;
}

const MeCab::Node* MecabBackend::AppendNumber(const MeCab::Node* first, const char* text, const char* end)
{
    // A number is a run of numeral morphemes with nothing between them
    // but commas and decimal points: UniDic gives each digit a morpheme of
    // its own and both split 1,000 and 3.14 at the marks.
    const auto adjoins = [end](const MeCab::Node* next, const MeCab::Node* node) {
        const char* at = node->surface + node->length;
        return next != nullptr && next->stat != MECAB_EOS_NODE && next->surface == at
               && next->length <= std::size_t(end - at);
    };
    const MeCab::Node* last = first;
    for (;;) {
        const MeCab::Node* next = last->next;
        if (!adjoins(next, last)) {
            break;
        }
        if (IsNumeral(next)) {
            last = next;
        } else if (IsNumberSeparator({next->surface, next->length}) && adjoins(next->next, next)
                   && IsNumeral(next->next)) {
            last = next->next;
        } else {
            break;
        }
    }
    const char* const runEnd = last->surface + last->length;
    const std::string_view run(first->surface, std::size_t(runEnd - first->surface));
    const QString number = QString::fromUtf8(run.data(), qsizetype(run.size()));
    const MeCab::Node* counter = adjoins(last->next, last) ? last->next : nullptr;
    QString counterText;
    if (counter != nullptr) {
        counterText = QString::fromUtf8(counter->surface, qsizetype(counter->length));
        if (!IsCounter(counterText)) {
            counter = nullptr;
        }
    }

    bool say = true;
    if (HasDigits(run)) {
        say = !GluedBefore(first->surface, text) && (counter != nullptr || !GluedAfter(runEnd, end));
    }
    if (say && HasJapaneseScript(run)) {
        // A kanji numeral standing alone keeps MeCab's reading, which
        // knows its word; a run or a numeral with a counter is ours unless
        // MeCab read a digit as part of a word.
        if (counter == nullptr ? first == last : IsWordOfItsOwn(number, counterText)) {
            say = false;
        }
        for (const MeCab::Node* node = first; say; node = node->next) {
            if (!IsNumeral(node) || !HasJapaneseScript({node->surface, node->length})) {
                if (node == last) {
                    break;
                }
                continue;
            }
            const QString surface = QString::fromUtf8(node->surface, qsizetype(node->length));
            const std::string_view reading = FeatureField(node->feature, m_readingField, m_unquoted);
            if (!IsPlaceName(surface) && !reading.empty() && reading != "*") {
                QString hiragana(qsizetype(reading.size()), Qt::Uninitialized);
                auto* units = reinterpret_cast<char16_t*>(hiragana.data());
                hiragana.truncate(qsizetype(ToUtf16(reading, true, units) - units));
                say = IsNumeralReading(surface, hiragana);
            }
            if (node == last) {
                break;
            }
        }
    }

    const QString reading = !say                 ? QString()
                            : counter != nullptr ? ReadWithCounter(number, counterText)
                                                 : ReadNumber(number);
    if (reading.isNull()) {
        for (const MeCab::Node* node = first;; node = node->next) {
            AppendMorpheme({node->surface, node->length}, node->feature);
            if (node == last) {
                return last;
            }
        }
    }
    AppendUnits(reinterpret_cast<const char16_t*>(reading.utf16()), std::size_t(reading.size()));
    return counter != nullptr ? counter : last;
}

void MecabBackend::AppendMorpheme(std::string_view surface, const char* feature)
{
    if (!HasJapaneseScript(surface)) {
        AppendUtf16(surface, false);
        return;
    }
    if (const CachedReading* cached = CachedReadingOf(feature)) {
        if (cached->found) {
            AppendCached(*cached);
        } else {
            AppendUtf16(surface, true);
        }
        return;
    }
    std::string_view reading = FeatureField(feature, m_readingField, m_unquoted);
    if (reading.empty() || reading == "*") {
        reading = surface;
    }
    AppendUtf16(reading, true);
}

const MecabBackend::CachedReading* MecabBackend::CachedReadingOf(const char* feature)
{
    if (feature == nullptr) {
        return nullptr;
    }
    // Features live in the mapped dictionary as long as the model does and
    // are never rewritten (no partial parsing here), so the address is the
    // entry's identity.
    const auto hash = std::uintptr_t(feature) * std::uintptr_t(0x9E3779B97F4A7C15u);
    CachedReading& slot = m_cache[(hash >> 40) & m_cacheMask];
    if (slot.feature == feature) {
        return &slot;
    }

    const std::string_view reading = FeatureField(feature, m_readingField, m_unquoted);
    if (reading.empty() || reading == "*") {
        slot.feature = feature;
        slot.found = false;
        return &slot;
    }
    // Readings too long for a slot are converted every time.
    char16_t units[CachedReading::kCapacity * 3];
    if (reading.size() > std::size(units)) {
        return nullptr;
    }
    const std::size_t size = std::size_t(ToUtf16(reading, true, units) - units);
    if (size > std::size_t(CachedReading::kCapacity)) {
        return nullptr;
    }
    // The rest is cleared too, as the whole slot is copied out.
    std::fill(std::copy_n(units, size, slot.units), std::end(slot.units), u'\0');
    slot.size = std::uint8_t(size);
    slot.found = true;
    slot.feature = feature;
    return &slot;
}

}  // namespace kotobane
