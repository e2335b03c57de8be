// Throughput and look-up cost of the reading path against raw libmecab,
// on a corpus of Japanese prose (bench/make-corpus writes one).
//
// usage: reading_bench CORPUS [--benchmark_... flags]

#include <benchmark/benchmark.h>

#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <mecab.h>

#include "backends/LinuxImeService.h"
#include "backends/MecabBackend.h"
#include "platform/SystemServices.h"
#include "reading/ReadingEngine.h"

namespace kotobane {
namespace {

using Kind = MecabBackend::Kind;

constexpr Kind kKinds[] = {Kind::Ipadic, Kind::Unidic};

const char* KindName(Kind kind)
{
    return kind == Kind::Ipadic ? "IPADIC" : "UniDic";
}

// One text of the corpus in both encodings, converted before timing:
// raw MeCab takes the UTF-8, the application's path the UTF-16.
struct Text {
    std::string utf8;
    QString utf16;
};

struct Corpus {
    std::vector<Text> lines;
    std::int64_t bytes = 0;
    // Phrases cut from the corpus at many places, so that a look-up never
    // meets the phrase it read just before.
    std::vector<Text> phrases10;
    std::vector<Text> phrases1000;
};

Corpus g_corpus;

// Cuts count phrases of length units from text at spread-out starts, never
// splitting a surrogate pair.
std::vector<Text> CutPhrases(const QString& text, qsizetype length, int count)
{
    std::vector<Text> phrases;
    if (text.size() <= length + 1) {
        return phrases;
    }
    const qsizetype span = text.size() - length - 1;
    std::uint64_t state = 0x9E3779B97F4A7C15u;
    for (int i = 0; i < count; ++i) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        qsizetype start = qsizetype((state >> 17) % std::uint64_t(span));
        if (text[start].isLowSurrogate()) {
            ++start;
        }
        qsizetype n = length;
        if (text[start + n - 1].isHighSurrogate()) {
            --n;
        }
        const QString phrase = text.mid(start, n);
        phrases.push_back({phrase.toStdString(), phrase});
    }
    return phrases;
}

bool LoadCorpus(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    QString all;
    for (std::string line; std::getline(in, line);) {
        if (line.empty()) {
            continue;
        }
        g_corpus.bytes += std::int64_t(line.size());
        QString utf16 = QString::fromStdString(line);
        all += utf16;
        all += u'\n';
        g_corpus.lines.push_back({std::move(line), std::move(utf16)});
    }
    // Long phrases run across lines, as a selection of a paragraph does;
    // short ones are cut where no white space is, as a selected word is.
    QString unbroken = all;
    unbroken.remove(u'\n');
    unbroken.remove(u' ');
    g_corpus.phrases10 = CutPhrases(unbroken, 10, 20000);
    g_corpus.phrases1000 = CutPhrases(all, 1000, 500);
    return !g_corpus.lines.empty() && !g_corpus.phrases1000.empty();
}

// One way of reading a text.
class Reader {
public:
    virtual ~Reader() = default;
    virtual bool Ready() const = 0;
    // False when the text got no reading.
    virtual bool Read(const Text& text) = 0;
    // Why the figures do not measure the reading, if they do not.
    virtual std::string Trouble() const { return {}; }
};

// libmecab on its own, set up as the back-end sets it up: parse to nodes
// and walk them, nothing else.
class RawReader final : public Reader {
public:
    explicit RawReader(Kind kind)
    {
        std::string rc = "--rcfile=/dev/null";
        std::string dic = std::string("--dicdir=") + MecabBackend::DefaultDictionaryDir(kind);
        char name[] = "reading_bench";
        char* argv[] = {name, rc.data(), dic.data()};
        m_model = MeCab::createModel(3, argv);
        if (m_model) {
            m_tagger = m_model->createTagger();
            m_lattice = m_model->createLattice();
        }
    }
    ~RawReader() override
    {
        MeCab::deleteLattice(m_lattice);
        MeCab::deleteTagger(m_tagger);
        MeCab::deleteModel(m_model);
    }

    bool Ready() const override { return m_tagger != nullptr && m_lattice != nullptr; }

    bool Read(const Text& text) override
    {
        m_lattice->set_sentence(text.utf8.data(), text.utf8.size());
        if (!m_tagger->parse(m_lattice)) {
            return false;
        }
        std::size_t walked = 0;
        for (const MeCab::Node* node = m_lattice->bos_node(); node != nullptr; node = node->next) {
            benchmark::DoNotOptimize(node->feature);
            walked += node->length;
        }
        benchmark::DoNotOptimize(walked);
        return true;
    }

private:
    MeCab::Model* m_model = nullptr;
    MeCab::Tagger* m_tagger = nullptr;
    MeCab::Lattice* m_lattice = nullptr;
};

// The back-end alone, to tell its cost from that of the layers above it.
class BackendReader final : public Reader {
public:
    explicit BackendReader(Kind kind) : m_backend(MecabBackend::Open(kind)) { }
    bool Ready() const override { return m_backend != nullptr; }
    bool Read(const Text& text) override
    {
        const QString reading = m_backend->Reading(text.utf16);
        benchmark::DoNotOptimize(reading.constData());
        return !reading.isEmpty();
    }

private:
    std::unique_ptr<MecabBackend> m_backend;
};

class CountingClock final : public Clock {
public:
    void Sleep(int) override { ++sleeps; }
    int sleeps = 0;
};

class CountingMessageBox final : public MessageBoxService {
public:
    int MessageBox(const QString& text, unsigned) override
    {
        last = text;
        ++shown;
        return IDOK;
    }
    int shown = 0;
    QString last;
};

// The in-process path the application takes: the input-method service
// over the back-end, and the reading engine on top of it.
class FullReader final : public Reader {
public:
    explicit FullReader(Kind kind)
    {
        std::unique_ptr<MecabBackend> backend = MecabBackend::Open(kind);
        if (!backend) {
            return;
        }
        const QString layout = LayoutText(backend->Handle());
        std::vector<std::unique_ptr<ReadingBackend>> backends;
        backends.push_back(std::move(backend));
        m_ime = std::make_unique<LinuxImeService>(std::move(backends), QLocale(QLocale::Japanese, QLocale::Japan));
        m_engine = std::make_unique<CReadingEngine>(*m_ime, m_clock, m_box);
        if (!m_engine->SelectIme(layout, 1)) {
            m_engine.reset();
        }
    }

    bool Ready() const override { return m_engine != nullptr; }
    bool Read(const Text& text) override
    {
        const QString reading = m_engine->GetReading(text.utf16);
        benchmark::DoNotOptimize(reading.constData());
        return !reading.isEmpty();
    }
    // A look-up that had to re-select the layout or report an error has
    // not measured the reading.
    std::string Trouble() const override
    {
        if (m_clock.sleeps == 0 && m_box.shown == 0) {
            return {};
        }
        return ("look-ups went off the reading path: " + m_box.last).toStdString();
    }

private:
    CountingClock m_clock;
    CountingMessageBox m_box;
    std::unique_ptr<LinuxImeService> m_ime;
    std::unique_ptr<CReadingEngine> m_engine;
};

enum class Path { Raw, Backend, Full };
constexpr Path kPaths[] = {Path::Raw, Path::Backend, Path::Full};

const char* PathName(Path path)
{
    switch (path) {
    case Path::Raw:
        return "Raw";
    case Path::Backend:
        return "Backend";
    case Path::Full:
        return "Full";
    }
    return "";
}

// One reader per path and dictionary, made on first use and kept: UniDic
// takes a while to map.
Reader& ReaderFor(Path path, Kind kind)
{
    static std::map<std::pair<Path, Kind>, std::unique_ptr<Reader>> readers;
    auto& reader = readers[{path, kind}];
    if (!reader) {
        switch (path) {
        case Path::Raw:
            reader = std::make_unique<RawReader>(kind);
            break;
        case Path::Backend:
            reader = std::make_unique<BackendReader>(kind);
            break;
        case Path::Full:
            reader = std::make_unique<FullReader>(kind);
            break;
        }
    }
    return *reader;
}

bool Prepare(benchmark::State& state, const Reader& reader)
{
    if (!reader.Ready()) {
        state.SkipWithError("dictionary not installed or layout not selected");
    }
    return reader.Ready();
}

void Finish(benchmark::State& state, const Reader& reader)
{
    const std::string trouble = reader.Trouble();
    if (!trouble.empty()) {
        state.SkipWithError(trouble.c_str());  // the library copies the text
    }
}

// Every iteration reads the whole corpus, line by line.
void Throughput(benchmark::State& state, Path path, Kind kind)
{
    Reader& reader = ReaderFor(path, kind);
    if (!Prepare(state, reader)) {
        return;
    }
    std::int64_t unread = 0;
    for (auto _ : state) {
        for (const Text& line : g_corpus.lines) {
            unread += !reader.Read(line);
        }
    }
    state.SetBytesProcessed(state.iterations() * g_corpus.bytes);
    state.counters["unread_lines"] = double(unread) / double(state.iterations());
    Finish(state, reader);
}

// Every iteration reads one phrase, the next one of many.
void LookUp(benchmark::State& state, Path path, Kind kind, const std::vector<Text>* phrases)
{
    Reader& reader = ReaderFor(path, kind);
    if (!Prepare(state, reader)) {
        return;
    }
    std::size_t next = 0;
    std::int64_t units = 0;
    for (auto _ : state) {
        const Text& phrase = (*phrases)[next];
        next = next + 1 == phrases->size() ? 0 : next + 1;
        units += phrase.utf16.size();
        benchmark::DoNotOptimize(reader.Read(phrase));
    }
    state.counters["phrases"] = double(phrases->size());
    state.counters["chars"] = double(units) / double(state.iterations());
    Finish(state, reader);
}

std::string Name(const char* what, Path path, Kind kind)
{
    return std::string(what) + "/" + PathName(path) + "/" + KindName(kind);
}

void RegisterAll()
{
    for (const Kind kind : kKinds) {
        for (const Path path : kPaths) {
            benchmark::RegisterBenchmark(Name("Throughput", path, kind).c_str(), Throughput, path, kind)
                ->Unit(benchmark::kMillisecond)
                ->MeasureProcessCPUTime()
                ->MinTime(3);
        }
        for (const Path path : kPaths) {
            benchmark::RegisterBenchmark(Name("LookUp10", path, kind).c_str(), LookUp, path, kind, &g_corpus.phrases10)
                ->Unit(benchmark::kMicrosecond)
                ->MeasureProcessCPUTime();
        }
        for (const Path path : kPaths) {
            benchmark::RegisterBenchmark(Name("LookUp1000", path, kind).c_str(), LookUp, path, kind,
                                         &g_corpus.phrases1000)
                ->Unit(benchmark::kMicrosecond)
                ->MeasureProcessCPUTime();
        }
    }
}

// The console table, then the figures the targets are about: the full
// path's throughput as a share of raw MeCab's, and the CPU time of one
// look-up. With repetitions, the medians.
class SummaryReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && !median)) {
                continue;
            }
            Figures& figures = m_figures[run.run_name.function_name];
            if (figures.median && !median) {
                continue;
            }
            figures.median = median;
            figures.valid = true;
            const auto bytes = run.counters.find("bytes_per_second");
            figures.bytesPerSecond = bytes != run.counters.end() ? bytes->second.value : 0;
            figures.cpuMicroseconds = run.GetAdjustedCPUTime()
                                      * benchmark::GetTimeUnitMultiplier(benchmark::kMicrosecond)
                                      / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::ostream& out = GetOutputStream();
        char line[200];
        std::snprintf(line, sizeof line, "\nSummary (corpus: %.2f MB of UTF-8, %zu lines)\n",
                      double(g_corpus.bytes) / 1e6, g_corpus.lines.size());
        out << line;
        for (const Kind kind : kKinds) {
            const Figures& raw = m_figures[Name("Throughput", Path::Raw, kind)];
            for (const Path path : {Path::Backend, Path::Full}) {
                const Figures& figures = m_figures[Name("Throughput", path, kind)];
                if (!raw.valid || !figures.valid) {
                    continue;
                }
                std::snprintf(line, sizeof line, "  %-7s throughput %-7s %6.2f MB/s vs raw MeCab %6.2f MB/s: %.3f x\n",
                              KindName(kind), PathName(path), figures.bytesPerSecond / 1e6, raw.bytesPerSecond / 1e6,
                              figures.bytesPerSecond / raw.bytesPerSecond);
                out << line;
            }
            for (const char* what : {"LookUp10", "LookUp1000"}) {
                for (const Path path : kPaths) {
                    const Figures& figures = m_figures[Name(what, path, kind)];
                    if (!figures.valid) {
                        continue;
                    }
                    std::snprintf(line, sizeof line, "  %-7s %-10s %-7s %9.2f us CPU per look-up\n", KindName(kind),
                                  what, PathName(path), figures.cpuMicroseconds);
                    out << line;
                }
            }
        }
        out.flush();
    }

private:
    struct Figures {
        bool valid = false;
        bool median = false;
        double bytesPerSecond = 0;
        double cpuMicroseconds = 0;
    };
    std::map<std::string, Figures> m_figures;
};

}  // namespace
}  // namespace kotobane

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS [--benchmark_... flags]\n", argv[0]);
        return 2;
    }
    if (!kotobane::LoadCorpus(argv[1])) {
        std::fprintf(stderr, "%s: cannot read a corpus from %s\n", argv[0], argv[1]);
        return 1;
    }
    kotobane::RegisterAll();
    kotobane::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
