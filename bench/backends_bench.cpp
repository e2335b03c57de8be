// Throughput (characters per CPU second) and per-look-up cost of every
// installed reading back-end, each on a corpus in its own language, and the
// time each takes to open.
//
// usage: backends_bench CORPUS_DIR [--benchmark_... flags]
//   CORPUS_DIR holds ja.txt, zh-hans.txt, zh-hant.txt and ko.txt
//   (bench/make-cjk-corpus writes them).

#include <benchmark/benchmark.h>

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "backends/ChineseBackend.h"
#include "backends/HanjaBackend.h"
#include "backends/InstalledBackends.h"
#include "backends/MecabBackend.h"
#include "backends/PhraseIndex.h"

namespace kotobane {
namespace {

struct Corpus {
    std::vector<QString> lines;
    std::int64_t units = 0;
    std::vector<QString> phrases10;  // cut at many places, without white space
};

QString CorpusFile(quint16 language)
{
    switch (language) {
    case 0x0411:
        return QStringLiteral("ja.txt");
    case 0x0804:
        return QStringLiteral("zh-hans.txt");
    case 0x0404:
        return QStringLiteral("zh-hant.txt");
    case 0x0412:
        return QStringLiteral("ko.txt");
    default:
        return QString();
    }
}

bool Load(const QString& path, Corpus& corpus)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QString unbroken;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty()) {
            continue;
        }
        corpus.units += line.size();
        corpus.lines.push_back(line);
        QString joined = line;
        joined.remove(u' ');
        unbroken += joined;
    }
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    const qsizetype span = unbroken.size() - 12;
    for (int i = 0; span > 0 && i < 20000; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        qsizetype start = qsizetype((state >> 17) % std::uint64_t(span));
        if (unbroken[start].isLowSurrogate()) {
            ++start;
        }
        corpus.phrases10.push_back(unbroken.mid(start, 10));
    }
    return !corpus.lines.empty();
}

// The back-ends live for the whole run, as in the program.
std::vector<std::unique_ptr<ReadingBackend>> g_backends;
std::vector<Corpus> g_corpora;

void Throughput(benchmark::State& state, ReadingBackend* backend, const Corpus* corpus)
{
    std::int64_t units = 0;
    for (auto _ : state) {
        for (const QString& line : corpus->lines) {
            const QString reading = backend->Reading(line);
            benchmark::DoNotOptimize(reading.constData());
        }
        units += corpus->units;
    }
    // Characters (UTF-16 units) per second of the benchmark's CPU time.
    state.counters["chars/s"] = benchmark::Counter(double(units), benchmark::Counter::kIsRate);
}

void LookUp10(benchmark::State& state, ReadingBackend* backend, const Corpus* corpus)
{
    size_t i = 0;
    for (auto _ : state) {
        const QString reading = backend->Reading(corpus->phrases10[i]);
        benchmark::DoNotOptimize(reading.constData());
        i = (i + 1) % corpus->phrases10.size();
    }
}

// Opens a back-end five times (the index caches already made by the first
// open of the run) and prints the fastest and the median time.
template <class Open>
void TimeOpen(const char* name, Open open)
{
    std::vector<double> ms;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer clock;
        clock.start();
        auto backend = open();
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        if (!backend) {
            std::printf("open %-24s not installed\n", name);
            return;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("open %-24s min %7.2f ms  median %7.2f ms\n", name, ms.front(), ms[ms.size() / 2]);
}

// The check of an index cache's checksum, as PhraseIndex::Open makes it
// once a run: a fresh map of the file, every byte hashed. The first figure is
// the cold one when the page cache was dropped before the run
// (sync; echo 3 > /proc/sys/vm/drop_caches).
void TimeChecksum(const char* name, const QString& fileName)
{
    QFile file(IndexCacheDirectory() + u'/' + fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        std::printf("checksum %-20s no cache\n", name);
        return;
    }
    std::vector<double> ms;
    for (int i = 0; i < 6; ++i) {
        QElapsedTimer clock;
        clock.start();
        const uchar* data = file.map(0, file.size());
        if (data == nullptr) {
            return;
        }
        const quint64 sum = PhraseIndex::ImageChecksum(QByteArrayView(data, file.size()));
        ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        benchmark::DoNotOptimize(sum);
        file.unmap(const_cast<uchar*>(data));
    }
    const double first = ms.front();
    std::sort(ms.begin() + 1, ms.end());
    std::printf("checksum %-20s %5.1f MB  first %7.2f ms  then min %6.2f ms  median %6.2f ms\n", name,
                double(file.size()) / 1e6, first, ms[1], ms[ms.size() / 2]);
}

// The time from creating the installed back-ends to each one's first
// reading: cold in an empty index cache (the index is built then), warm
// once it is there. Runs in a cache of its own, which it removes.
void TimeFirstReadings()
{
    QTemporaryDir cache;
    const QByteArray saved = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_CACHE_HOME", cache.path().toLocal8Bit());
    std::map<QString, double> cold;
    for (const bool warm : {false, true}) {
        for (auto& backend : CreateInstalledBackends()) {
            const QString sample =
                (backend->Handle() & 0xFFFF) == 0x411 ? QStringLiteral("漢字") : QStringLiteral("中國");
            QElapsedTimer clock;
            clock.start();
            const QString reading = backend->Reading(sample);
            const double ms = double(clock.nsecsElapsed()) / 1e6;
            benchmark::DoNotOptimize(reading.constData());
            if (!warm) {
                cold[backend->Description()] = ms;
            } else {
                std::printf("first reading %-24s cold %8.1f ms  warm %7.1f ms\n", qPrintable(backend->Description()),
                            cold[backend->Description()], ms);
            }
        }
    }
    qputenv("XDG_CACHE_HOME", saved);
}

}  // namespace
}  // namespace kotobane

int main(int argc, char** argv)
{
    using namespace kotobane;
    benchmark::Initialize(&argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: backends_bench CORPUS_DIR [--benchmark_... flags]\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);

    // Before any back-end opens them, so that the first figure can be cold.
    TimeChecksum("Pinyin", QStringLiteral("terra_pinyin-hans.idx"));
    TimeChecksum("Zhuyin", QStringLiteral("terra_pinyin-hant.idx"));
    TimeChecksum("Hanja", QStringLiteral("hanja.idx"));

    QElapsedTimer clock;
    clock.start();
    g_backends = CreateInstalledBackends();
    std::printf("listing all back-ends: %.1f ms (each opens at its first reading)\n",
                double(clock.nsecsElapsed()) / 1e6);
    TimeFirstReadings();
    TimeOpen("MeCab IPADIC", [] { return MecabBackend::Open(MecabBackend::Kind::Ipadic); });
    TimeOpen("MeCab UniDic", [] { return MecabBackend::Open(MecabBackend::Kind::Unidic); });
    TimeOpen("Pinyin", [] { return ChineseBackend::Open(ChineseBackend::Script::Simplified); });
    TimeOpen("Zhuyin", [] { return ChineseBackend::Open(ChineseBackend::Script::Traditional); });
    TimeOpen("Hanja", [] { return HanjaBackend::Open(); });

    g_corpora.resize(g_backends.size());
    for (size_t i = 0; i < g_backends.size(); ++i) {
        ReadingBackend* backend = g_backends[i].get();
        const QString name = backend->Description();
        const QString file = CorpusFile(quint16(backend->Handle() & 0xFFFF));
        if (file.isEmpty() || !Load(dir + u'/' + file, g_corpora[i])) {
            std::fprintf(stderr, "no corpus for %s in %s\n", qPrintable(name), qPrintable(dir));
            continue;
        }
        const std::string label = name.toStdString();
        benchmark::RegisterBenchmark((label + "/throughput").c_str(), Throughput, backend, &g_corpora[i])
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((label + "/lookup10").c_str(), LookUp10, backend, &g_corpora[i])
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
