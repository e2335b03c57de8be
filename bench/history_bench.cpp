// The history window's work on a large history: opening (load and the
// newest-first sort), a re-sort by phrase, a save, and the peak resident
// memory, each against its goal; then opening the saved file, whose rows
// are no longer in date order. Exits 1 when a goal is missed.
//
//   history_bench [LINES] [FILE]   (default 1000000 lines in a temporary folder)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

#include "history/HistoryStore.h"

using namespace kotobane;

namespace {

struct QuietBox final : MessageBoxService {
    int MessageBox(const QString& text, unsigned) override
    {
        std::fprintf(stderr, "history_bench: %s\n", qUtf8Printable(text));
        return IDOK;
    }
};

char16_t Pick(QRandomGenerator& random, char16_t first, char16_t last)
{
    return char16_t(first + random.bounded(int(last - first) + 1));
}

// A phrase and its reading: Japanese mostly, then Chinese and Korean; a
// word of 2 to 12 characters, now and then a sentence of up to 60.
std::pair<QString, QString> Entry(QRandomGenerator& random)
{
    const int kind = random.bounded(100);
    const bool sentence = random.bounded(20) == 0;
    const int length = sentence ? 13 + random.bounded(48) : 2 + random.bounded(11);
    QString phrase;
    QString reading;
    for (int i = 0; i < length; ++i) {
        if (kind < 70) {
            if (random.bounded(3) == 0) {
                const char16_t kana = Pick(random, u'ぁ', u'ん');
                phrase += QChar(kana);
                reading += QChar(kana);
            } else {
                phrase += QChar(Pick(random, u'一', u'龥'));
                reading += QChar(Pick(random, u'ぁ', u'ん'));
                reading += QChar(Pick(random, u'ぁ', u'ん'));
            }
        } else if (kind < 85) {
            static const QString syllables[] = {u"zhōng"_qs, u"guó"_qs, u"rén"_qs, u"xué"_qs, u"shēng"_qs, u"hǎo"_qs,
                                                u"dà"_qs,    u"le"_qs,  u"bù"_qs,  u"yī"_qs,  u"shì"_qs,   u"wǒ"_qs};
            phrase += QChar(Pick(random, u'一', u'龥'));
            reading += (i ? u" "_qs : QString()) + syllables[random.bounded(12)];
        } else {
            const char16_t syllable = Pick(random, u'가', u'힣');
            phrase += QChar(random.bounded(4) == 0 ? Pick(random, u'一', u'龥') : syllable);
            reading += QChar(syllable);
        }
    }
    return {phrase, reading};
}

// Dates over five years, oldest first, as look-ups append them.
bool WriteHistory(const QString& path, int lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return false;
    }
    QRandomGenerator random(20261209);
    QDateTime when(QDate(2021, 12, 1), QTime(8, 0));
    const qint64 span = 5LL * 365 * 86400;
    QByteArray chunk;
    for (int i = 0; i < lines; ++i) {
        when = when.addSecs(1 + random.bounded(int(2 * span / lines)));
        const auto [phrase, reading] = Entry(random);
        const QString line = phrase + u'\t' + reading + u'\t' + HistoryDate(when) + u"\r\n"_qs;
        chunk.append(reinterpret_cast<const char*>(line.utf16()), line.size() * 2);
        if (chunk.size() > (1 << 20) || i + 1 == lines) {
            if (file.write(chunk) != chunk.size()) {
                return false;
            }
            chunk.clear();
        }
    }
    return file.flush();
}

struct Goal {
    const char* what;
    double value;
    double limit;
    const char* unit;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int lines = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000000;
    QTemporaryDir dir;
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(u"Kotobane.txt"_qs);
    if (lines <= 0 || !WriteHistory(path, lines)) {
        std::fprintf(stderr, "history_bench: cannot write %s\n", qUtf8Printable(path));
        return 2;
    }
    const qint64 fileBytes = QFileInfo(path).size();
    std::printf("history: %d lines, %.1f MB\n", lines, fileBytes / 1e6);

    QuietBox ui;
    HistoryRows rows;
    HistoryFileMark mark;
    QElapsedTimer clock;
    clock.start();
    if (!LoadHistory(rows, path, u'\t', false, ui, &mark)) {
        return 2;
    }
    const double loaded = clock.nsecsElapsed() / 1e9;
    rows.SortBy(2, false);
    const double opened = clock.nsecsElapsed() / 1e9;

    clock.restart();
    rows.SortBy(0, true);
    const double resorted = clock.nsecsElapsed() / 1e9;

    clock.restart();
    if (!SaveHistoryFile(rows, path, mark, ui, nullptr)) {
        return 2;
    }
    const double saved = clock.nsecsElapsed() / 1e9;

    // The file now holds the phrase order: the next opening sorts in earnest.
    clock.restart();
    if (!LoadHistory(rows, path, u'\t', false, ui, &mark)) {
        return 2;
    }
    rows.SortBy(2, false);
    const double reopened = clock.nsecsElapsed() / 1e9;

    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const double peak = usage.ru_maxrss * 1024.0;
    if (rows.Count() != lines || QFileInfo(path).size() != fileBytes) {
        std::fprintf(stderr, "history_bench: the save did not write back every row\n");
        return 2;
    }

    std::printf("  load alone                  %.3f s\n", loaded);
    const Goal goals[] = {
        {"open (load + newest first)", opened, 1.5, "s"},
        {"re-sort by phrase", resorted, 2.0, "s"},
        {"save", saved, 1.0, "s"},
        {"open a file in phrase order", reopened, 1.5, "s"},
        {"peak RSS / file size", peak / double(fileBytes), 3.0, "x"},
    };
    int missed = 0;
    for (const Goal& g : goals) {
        const bool ok = g.value <= g.limit;
        missed += ok ? 0 : 1;
        std::printf("  %-27s %.3f %s (goal <= %.1f)%s\n", g.what, g.value, g.unit, g.limit, ok ? "" : "  MISSED");
    }
    std::printf("  peak RSS                    %.1f MB\n", peak / 1e6);
    return missed == 0 ? 0 : 1;
}
