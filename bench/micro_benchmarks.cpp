// Micro benchmarks of the converter's stages on generated songs:
//   build/<dir>/bench/micro-benchmarks [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>

#include "envelope/assign_envelopes.h"
#include "envelope/combinations.h"
#include "envelope/search/record_search.h"
#include "mapping/mapping_loader.h"
#include "midi/midi_reader.h"
#include "mml/definitions.h"
#include "mml/document_writer.h"
#include "prep/prepare_song.h"
#include "song_generator.h"

namespace tonequill::bench {
namespace {

// Counts what is written and keeps none of it.
class CountingBuffer : public std::streambuf {
public:
    std::streamsize written = 0;

protected:
    int_type overflow(int_type c) override {
        ++written;
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char*, std::streamsize n) override {
        written += n;
        return n;
    }
};

struct Nowhere {
    CountingBuffer buffer;
    std::ostream stream{&buffer};
};

SongRequest requestFor(const benchmark::State& state) {
    SongRequest request;
    request.shape = static_cast<SongShape>(state.range(0));
    request.notes = state.range(1);
    request.framesPerNote = 20000;
    return request;
}

struct Converted {
    MappingTables tables;
    PreparedSong song;
    EnvelopeTable envelopes;
    ComboTable combos;
};

Converted converted(const SongRequest& request) {
    Converted c;
    const std::vector<uint8_t> bytes = generateSong(request);
    MidiFile file;
    std::string reason;
    readMidiBytes(file, bytes, reason);
    parseMappingText(c.tables, benchMappingText());
    Nowhere log;
    c.song = prepareSong(file, log.stream);
    c.envelopes = assignEnvelopes(c.tables, c.song, log.stream);
    c.combos = numberCombinations(c.tables, c.song, c.envelopes);
    return c;
}

void readerBench(benchmark::State& state) {
    const std::vector<uint8_t> bytes = generateSong(requestFor(state));
    for (auto _ : state) {
        MidiFile file;
        std::string reason;
        benchmark::DoNotOptimize(readMidiBytes(file, bytes, reason));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void preparationBench(benchmark::State& state) {
    const std::vector<uint8_t> bytes = generateSong(requestFor(state));
    MidiFile file;
    std::string reason;
    readMidiBytes(file, bytes, reason);
    for (auto _ : state) {
        Nowhere log;
        const PreparedSong song = prepareSong(file, log.stream);
        benchmark::DoNotOptimize(song.notes.data());
    }
}

void envelopeBench(benchmark::State& state) {
    const Converted c = converted(requestFor(state));
    for (auto _ : state) {
        Nowhere log;
        const EnvelopeTable envelopes = assignEnvelopes(c.tables, c.song, log.stream);
        benchmark::DoNotOptimize(envelopes.records.data());
    }
}

void writerBench(benchmark::State& state) {
    const Converted c = converted(requestFor(state));
    for (auto _ : state) {
        Nowhere out;
        Nowhere log;
        writeMmlDocument(out.stream, c.tables, c.song, c.envelopes, c.combos, log.stream);
        benchmark::DoNotOptimize(out.buffer.written);
    }
}

// One value list: a bend held over a long note, a curve that never repeats,
// or a repeating curve after a lead-in.
std::vector<int32_t> valueList(int64_t shape, int64_t length) {
    std::vector<int32_t> values(static_cast<size_t>(length));
    uint64_t x = 12345;
    for (size_t i = 0; i < values.size(); ++i) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        switch (shape) {
            case 0: values[i] = i < 40 ? static_cast<int32_t>(i) : 40; break;
            case 1: values[i] = static_cast<int32_t>(x >> 60) - 8; break;
            default: values[i] = i < 100 ? static_cast<int32_t>(x >> 61) : static_cast<int32_t>(i % 97) - 48; break;
        }
    }
    return values;
}

void valueListBodyBench(benchmark::State& state) {
    const std::vector<int32_t> values = valueList(state.range(0), state.range(1));
    for (auto _ : state) {
        Nowhere out;
        writeValueListBody(out.stream, values);
        benchmark::DoNotOptimize(out.buffer.written);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}

// Many notes whose curves begin alike and then part.
void recordSearchBench(benchmark::State& state) {
    const int64_t notes = state.range(0);
    std::vector<std::pair<std::vector<int32_t>, std::vector<int32_t>>> curves;
    for (int64_t j = 0; j < notes; ++j) {
        std::vector<int32_t> em(150);
        for (size_t i = 0; i < em.size(); ++i) {
            em[i] = i < 60 ? static_cast<int32_t>(i % 30) : static_cast<int32_t>((j * 37 + static_cast<int64_t>(i) * (j % 17 + 1)) % 31) - 15;
        }
        curves.emplace_back(em, std::vector<int32_t>(150, 0));
    }
    for (auto _ : state) {
        EnvelopeTable table;
        RecordSearch search(table);
        for (const auto& [em, en] : curves) benchmark::DoNotOptimize(findValueRecord(search, em, en));
    }
    state.SetItemsProcessed(state.iterations() * notes);
}

constexpr int64_t kOrdinary = static_cast<int64_t>(SongShape::ordinary);
constexpr int64_t kLongBends = static_cast<int64_t>(SongShape::longBends);
constexpr int64_t kBendCurves = static_cast<int64_t>(SongShape::bendCurves);

void songArgs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"shape", "notes"});
    b->Args({kOrdinary, 10000})->Args({kOrdinary, 100000})->Args({kLongBends, 10000})->Args({kBendCurves, 10000});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(readerBench)->Name("reader")->Apply(songArgs);
BENCHMARK(preparationBench)->Name("preparation")->Apply(songArgs);
BENCHMARK(envelopeBench)->Name("envelopes")->Apply(songArgs);
BENCHMARK(writerBench)->Name("writer")->Apply(songArgs);
BENCHMARK(valueListBodyBench)
    ->Name("valueListBody")
    ->ArgNames({"shape", "values"})
    ->Args({0, 36000})
    ->Args({1, 1000000})
    ->Args({2, 1000000})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(recordSearchBench)->Name("findValueRecord")->ArgName("notes")->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tonequill::bench

BENCHMARK_MAIN();
