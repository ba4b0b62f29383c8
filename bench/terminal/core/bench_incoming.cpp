// The incoming path: 1 MiB read events through ShowText into the in-memory pane, in text and
// hex view, with logging on. The reference copies the same chunk into a string in the same
// run, which bounds what any rendering can reach on this machine.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <string>

#include "terminal/core/display.h"
#include "terminal/core/dollar_hex.h"
#include "terminal/core/memory_pane.h"

namespace {

constexpr std::size_t kChunk = 1 << 20;

class FixedClock final : public ostrel::Clock {
public:
    ostrel::LocalDateTime Now() const override { return {2024, 3, 7, 9, 5, 2}; }
};

// Stands in for the session log: takes every text handed to it.
class CountingLog final : public ostrel::LogSink {
public:
    void LogAppend(std::string_view text) override {
        bytes += text.size();
        benchmark::DoNotOptimize(text.data());
    }
    std::size_t bytes = 0;
};

// What a device typically sends: lines of printable text ending in CR LF, and now and then a
// control byte.
std::string DeviceText() {
    std::mt19937 random(1);
    std::string data;
    data.reserve(kChunk);
    while (data.size() < kChunk) {
        const std::size_t length = 20 + random() % 80;
        for (std::size_t i = 0; i < length; ++i)
            data += static_cast<char>(32 + random() % 95);
        if (random() % 50 == 0) data += '\x02';
        data += "\r\n";
    }
    data.resize(kChunk);
    return data;
}

std::string RandomBytes() {
    std::mt19937 random(2);
    std::string data(kChunk, '\0');
    for (char& c : data)
        c = static_cast<char>(random());
    return data;
}

void RunIncoming(benchmark::State& state, ostrel::DisplayType type, const std::string& data) {
    ostrel::MemoryPane pane;
    const ostrel::ColourTable colours = ostrel::DefaultColourTable();
    FixedClock clock;
    CountingLog log;
    ostrel::Display display(pane, colours, clock);
    display.SetDisplayType(type);
    display.SetLogSink(&log);
    for (auto _ : state) {
        display.ShowText(data, ostrel::DisplayCategory::Incoming);
        benchmark::DoNotOptimize(pane.Text().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
    state.counters["log_per_chunk"] =
        static_cast<double>(log.bytes) / static_cast<double>(state.iterations());
}

void BM_IncomingTextView(benchmark::State& state) {
    static const std::string data = DeviceText();
    RunIncoming(state, ostrel::DisplayType::Text, data);
}
BENCHMARK(BM_IncomingTextView)->Unit(benchmark::kMillisecond);

void BM_IncomingHexView(benchmark::State& state) {
    static const std::string data = RandomBytes();
    RunIncoming(state, ostrel::DisplayType::Hex, data);
}
BENCHMARK(BM_IncomingHexView)->Unit(benchmark::kMillisecond);

// Reference: one plain copy of the chunk into a reused buffer.
void BM_ReferenceCopy(benchmark::State& state) {
    static const std::string data = RandomBytes();
    std::string target(kChunk, '\0');
    for (auto _ : state) {
        std::memcpy(target.data(), data.data(), data.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ReferenceCopy)->Unit(benchmark::kMillisecond);

// The hex view's notation alone, for comparison with the whole hex path.
void BM_EncodeDollarHex(benchmark::State& state) {
    static const std::string data = RandomBytes();
    std::string out;
    for (auto _ : state) {
        out.clear();
        ostrel::AppendDollarHex(out, data);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_EncodeDollarHex)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
