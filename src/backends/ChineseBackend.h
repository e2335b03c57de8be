#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backends/PhraseIndex.h"
#include "backends/ReadingBackend.h"

namespace kotobane {

// Cuts a run of Han text into dictionary words: of all the ways to cover
// the run with words the dictionary knows, the one with the fewest words,
// and of those the one whose words weigh most together. A character the
// dictionary lacks stands as a word of its own without a reading. The
// scratch tables are kept between calls.
class HanSegmenter final {
public:
    struct Word {
        qsizetype start = 0;
        qsizetype length = 0;  // UTF-16 units
        QStringView reading;  // empty: not in the dictionary
    };

    // prefixes(text, out) puts into out every dictionary word that text
    // begins with, as PhraseIndex::Prefixes does.
    template <class Prefixes>
    const std::vector<Word>& Split(QStringView run, const Prefixes& prefixes);

private:
    struct Best {
        qsizetype words = 0;
        std::int64_t weight = 0;
        qsizetype length = 0;
        QStringView reading;
    };
    std::vector<Best> m_best;
    std::vector<PhraseIndex::Match> m_matches;
    std::vector<Word> m_words;
};

// A reading back-end over the Rime terra_pinyin data Debian ships
// (rime-data-terra-pinyin): Mandarin readings of simplified text in pinyin
// with tone marks, or of traditional text in zhuyin. The phrase table is
// turned once into a PhraseIndex cached on disk. One back-end must not be
// used by two threads at the same time.
class ChineseBackend final : public ReadingBackend {
public:
    enum class Script { Simplified, Traditional };

    struct DataFiles {
        QString table;  // terra_pinyin.table.txt: phrases, readings, weights
        QString dictionary;  // terra_pinyin.dict.yaml; may be empty
        // Unihan_Readings.txt.bz2: the mainland readings of characters,
        // which decide for simplified text where the table's Taiwan
        // readings differ; may be empty.
        QString mainland;
        // cedict_ts.u8 (CC-CEDICT): the mainland readings of words, which
        // decide for simplified text before the characters' do; may be empty.
        QString words;
    };

    // The back-end for script over the installed data, its index cached in
    // IndexCacheDirectory(); null when the data is not installed.
    static std::unique_ptr<ChineseBackend> Open(Script script);
    // The same over files, its index cached at cachePath.
    static std::unique_ptr<ChineseBackend> Open(Script script, const DataFiles& files, const QString& cachePath);
    // Where the data is installed; empty paths for files that are missing.
    static DataFiles InstalledDataFiles();
    static Hkl HandleOf(Script script);
    static QString DescriptionOf(Script script);
    // The index entries for script: one reading per phrase, already written
    // out in the script's notation. Nullopt when the table cannot be read.
    static std::optional<std::vector<PhraseIndex::Entry>> ReadEntries(Script script, const DataFiles& files);

    ~ChineseBackend() override;
    Q_DISABLE_COPY_MOVE(ChineseBackend)

    Hkl Handle() const override;
    QString Description() const override;
    // The words' readings, syllables separated by single spaces. Anything
    // that is not Han is kept as it stood, set off by a space where a
    // letter or digit meets a syllable; lone surrogates are kept too.
    QString Reading(const QString& phrase) override;

private:
    enum class Last { Nothing, Syllable, LetterOrDigit, Other };

    ChineseBackend(Script script, std::unique_ptr<PhraseIndex> index);
    void AppendHan(QStringView run);

    Script m_script;
    std::unique_ptr<PhraseIndex> m_index;
    HanSegmenter m_segmenter;
    std::u16string m_out;
    Last m_last = Last::Nothing;
};

template <class Prefixes>
const std::vector<HanSegmenter::Word>& HanSegmenter::Split(QStringView run, const Prefixes& prefixes)
{
    // m_best[i] is the best cover of run from unit i to the end, filled from
    // the end backwards.
    const qsizetype n = run.size();
    m_best.assign(std::size_t(n) + 1, Best{});
    for (qsizetype i = n - 1; i >= 0; --i) {
        Best& here = m_best[std::size_t(i)];
        // The character alone, unread, is always a way on; it weighs less
        // than any dictionary word.
        const bool pair =
            QChar::isHighSurrogate(run[i].unicode()) && i + 1 < n && QChar::isLowSurrogate(run[i + 1].unicode());
        const qsizetype single = pair ? 2 : 1;
        const Best& after = m_best[std::size_t(i + single)];
        here = {after.words + 1, after.weight - 1, single, {}};
        prefixes(run.sliced(i), m_matches);
        for (const PhraseIndex::Match& match : m_matches) {
            if (match.length <= 0 || match.length > n - i) {
                continue;
            }
            const Best& rest = m_best[std::size_t(i + match.length)];
            const qsizetype words = rest.words + 1;
            const std::int64_t weight = rest.weight + match.weight;
            // Matches come shortest first, so an equal score goes to the
            // longer word.
            if (words < here.words || (words == here.words && weight >= here.weight)) {
                here = {words, weight, match.length, match.value};
            }
        }
    }
    m_words.clear();
    for (qsizetype i = 0; i < n;) {
        const Best& step = m_best[std::size_t(i)];
        m_words.push_back({i, step.length, step.reading});
        i += step.length;
    }
    return m_words;
}

}  // namespace kotobane
