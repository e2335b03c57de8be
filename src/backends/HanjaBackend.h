#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

#include "backends/PhraseIndex.h"
#include "backends/ReadingBackend.h"

namespace kotobane {

// A reading back-end that spells hanja in hangul, over the hanja table of
// Debian's libhangul-data. Words found in the table are read as listed;
// other hanja are read one by one, with the initial-sound rule applied
// where the table gives a character's original sound. The index is mapped
// read-only, so reading needs no lock, but the scratch buffer makes one
// back-end unfit for two threads at the same time.
class HanjaBackend final : public ReadingBackend {
    Q_DISABLE_COPY_MOVE(HanjaBackend)
public:
    static constexpr const char* kDefaultDataPath = "/usr/share/libhangul/hanja/hanja.txt";
    static constexpr Hkl kHandle = 0xE0010412u;
    static QString DescriptionOf();

    // The back-end over the Debian table, its index cached under
    // IndexCacheDirectory(); null when the table is not installed.
    static std::unique_ptr<HanjaBackend> Open();
    // The same over the table at dataPath, cached at cachePath.
    static std::unique_ptr<HanjaBackend> Open(const QString& dataPath, const QString& cachePath);
    // The back-end over a ready index (keys and readings as Entries() makes
    // them); null when index is null.
    static std::unique_ptr<HanjaBackend> FromIndex(std::unique_ptr<PhraseIndex> index);

    // The index entries of a table in the libhangul format (HANGUL:HANJA:COMMENT
    // lines, '#' comments): one per key, words with their listed reading and
    // single characters with their original sound. Lines that do not read as
    // one hangul syllable per hanja are left out. Empty when no line is usable.
    static std::vector<PhraseIndex::Entry> Entries(const QByteArray& table);

    // The version of Entries() that the cached index was made by; a change
    // in how the table is read must change it.
    static constexpr const char* kBuilderVersion = "hanja-3";
    // What precedes a character in the key of its surname reading.
    static constexpr QChar kSurnameMark = QChar(0x0001);

    ~HanjaBackend() override;

    Hkl Handle() const override;
    QString Description() const override;
    // phrase with its hanja in hangul; hangul, Latin, white space, other
    // text and lone surrogates are kept as they stood.
    QString Reading(const QString& phrase) override;

private:
    explicit HanjaBackend(std::unique_ptr<PhraseIndex> index);
    // The surname reading of the hanja at text[i] when it opens a run of
    // exactly three hanja and no word of the table starts there; empty
    // otherwise.
    QString SurnameAt(const char16_t* text, qsizetype n, qsizetype i) const;

    std::unique_ptr<PhraseIndex> m_index;
    // The reading being built, reused between calls.
    std::vector<char16_t> m_out;
};

// Hangul syllable arithmetic for reading hanja one by one.
namespace hangul {

// The syllable as it is written at the start of a word (두음법칙): an
// initial ㄹ becomes ㅇ before ㅑ ㅒ ㅕ ㅖ ㅛ ㅠ ㅣ and ㄴ elsewhere, an
// initial ㄴ becomes ㅇ before those vowels (來 래 → 내, 理 리 → 이, 女 녀 → 여).
// Anything but a hangul syllable is returned as it is.
char16_t WordInitialForm(char16_t syllable);

// 렬 and 률 as written after a vowel or ㄴ (羅列 나열, 比率 비율); other
// syllables as they are.
char16_t AfterVowelForm(char16_t syllable, char16_t previous);

constexpr bool IsSyllable(char32_t c)
{
    return c >= 0xAC00 && c <= 0xD7A3;
}

}  // namespace hangul

}  // namespace kotobane
