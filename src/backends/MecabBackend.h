#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "backends/ReadingBackend.h"

struct mecab_node_t;

namespace MeCab {
class Model;
class Tagger;
class Lattice;
}  // namespace MeCab

namespace kotobane {

// A reading back-end over libmecab and one of the Japanese dictionaries
// Debian ships for it. The model, tagger, lattice and scratch buffers are
// made once and reused, so one back-end must not be used by two threads at
// the same time.
class MecabBackend final : public ReadingBackend {
    Q_DISABLE_COPY_MOVE(MecabBackend)
public:
    enum class Kind { Ipadic, Unidic };

    // The back-end over the dictionary of kind where Debian installs it;
    // null when that dictionary is not installed or does not load.
    static std::unique_ptr<MecabBackend> Open(Kind kind);
    // The same over the compiled dictionary in dictionaryDir, remembering
    // the readings of up to 2^cacheBits words (0 to 20).
    static constexpr int kDefaultCacheBits = 14;
    static std::unique_ptr<MecabBackend> Open(Kind kind, const std::string& dictionaryDir,
                                              int cacheBits = kDefaultCacheBits);

    // Where Debian installs the compiled dictionary of kind.
    static const char* DefaultDictionaryDir(Kind kind);
    // Whether the dictionary's files are there, without loading it.
    static bool Installed(Kind kind, const std::string& dictionaryDir);
    static Hkl HandleOf(Kind kind);
    static QString DescriptionOf(Kind kind);

    ~MecabBackend() override;

    Hkl Handle() const override;
    QString Description() const override;
    // The morphemes' readings joined, in hiragana. Numbers in digits or
    // kanji are read out, with the sound changes of a counter after them
    // (3本 さんぼん); digits stuck to Latin text (Qt6) keep their spelling.
    // Words without a reading and words that are not Japanese keep their
    // spelling, white space is kept as it stood and lone surrogates are
    // kept where they stood.
    // Empty when MeCab fails on the phrase.
    QString Reading(const QString& phrase) override;

private:
    struct ModelDeleter {
        void operator()(MeCab::Model* model) const;
    };
    struct TaggerDeleter {
        void operator()(MeCab::Tagger* tagger) const;
    };
    struct LatticeDeleter {
        void operator()(MeCab::Lattice* lattice) const;
    };

    MecabBackend(Kind kind, MeCab::Model* model, MeCab::Tagger* tagger, MeCab::Lattice* lattice, int cacheBits);

    // Reads len bytes of valid UTF-8 at text into m_out; false when MeCab fails.
    bool ReadStretch(const char* text, std::size_t len);
    void AppendMorpheme(std::string_view surface, const char* feature);
    bool IsNumeral(const mecab_node_t* node) const;
    // Reads the number that begins at the numeral first, with the counter
    // after it if there is one, and returns the last morpheme it took.
    const mecab_node_t* AppendNumber(const mecab_node_t* first, const char* text, const char* end);
    // Room for units more units at the end of m_out.
    char16_t* Room(std::size_t units)
    {
        if (m_outCapacity - m_outSize < units) {
            Grow(units);
        }
        return m_out.get() + m_outSize;
    }
    void Grow(std::size_t units);
    // Appends UTF-8 text to m_out, katakana turned to hiragana if asked.
    void AppendUtf16(std::string_view text, bool toHiragana);
    void AppendUnits(const char16_t* units, std::size_t count);

    // The hiragana reading of a dictionary entry, kept by the address of its
    // feature string: the same few thousand words make up most of any text,
    // and this spares finding and converting their reading each time.
    struct CachedReading {
        static constexpr int kCapacity = 14;
        const char* feature = nullptr;
        std::uint8_t size = 0;
        bool found = false;  // false: the entry has no reading
        char16_t units[kCapacity];
    };
    // The slot holding feature's reading, filled on a miss; null when the
    // reading does not fit a slot.
    const CachedReading* CachedReadingOf(const char* feature);
    void AppendCached(const CachedReading& cached);

    Kind m_kind;
    int m_readingField;
    std::unique_ptr<MeCab::Model, ModelDeleter> m_model;
    std::unique_ptr<MeCab::Tagger, TaggerDeleter> m_tagger;
    std::unique_ptr<MeCab::Lattice, LatticeDeleter> m_lattice;
    // Reused between calls so a look-up allocates only its result.
    std::string m_utf8;
    // The reading being built: m_outSize units used of m_outCapacity.
    std::unique_ptr<char16_t[]> m_out;
    std::size_t m_outSize = 0;
    std::size_t m_outCapacity = 0;
    std::string m_unquoted;
    std::unique_ptr<CachedReading[]> m_cache;
    std::size_t m_cacheMask;
};

}  // namespace kotobane
