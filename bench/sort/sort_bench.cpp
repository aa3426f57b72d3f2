// Sorting the clip list's row order by each key, against the neighbour-exchange passes that
// define the order (quadratic, so measured on small lists only).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <utility>
#include <vector>

#include "catalogue/ClipRecord.h"
#include "catalogue/ClipSort.h"
#include "catalogue/Format.h"

namespace {

// A device's worth of clips: shuffled names clip%05d.mov, sizes up to 8 GiB, dates over ten
// years with many in the same second, durations up to 2 hours; the order starts scrambled.
struct Fixture {
    std::vector<ClipRecord> records;
    std::vector<int32_t> order;

    explicit Fixture(int n)
    {
        std::mt19937_64 random(12345);
        std::vector<int> numbers(static_cast<size_t>(n));
        std::iota(numbers.begin(), numbers.end(), 0);
        std::shuffle(numbers.begin(), numbers.end(), random);
        records.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            ClipRecord record;
            char name[32];
            std::snprintf(name, sizeof name, "clip%05d.mov", numbers[static_cast<size_t>(i)]);
            record.name = name;
            record.size = random() % (8ull << 30);
            record.modified = 1100000000 + static_cast<int64_t>(random() % 315360000 / 60 * 60);
            record.seconds = static_cast<int32_t>(random() % 7200);
            record.sizeText = FormatSize(record.size);
            record.durationText = FormatDuration(record.seconds);
            record.fullPath = "E:\\Movie\\Media\\" + record.name;
            records.push_back(std::move(record));
        }
        order.resize(static_cast<size_t>(n));
        std::iota(order.begin(), order.end(), 0);
        std::shuffle(order.begin(), order.end(), random);
    }
};

const Fixture& SharedFixture(int n)
{
    static Fixture small(1000), medium(10000), large(100000);
    return n == 1000 ? small : n == 10000 ? medium : large;
}

void NeighbourExchange(std::vector<int32_t>& order, const std::vector<ClipRecord>& records, int key)
{
    const size_t n = order.size();
    for (size_t pass = 0; pass < n; ++pass)
        for (size_t i = 0; i + 1 < n; ++i)
            if (RecordGreater(records[static_cast<size_t>(order[i])], records[static_cast<size_t>(order[i + 1])], key,
                              LeadBytes{}))
                std::swap(order[i], order[i + 1]);
}

void BM_SortOrder(benchmark::State& state)
{
    const Fixture& fixture = SharedFixture(static_cast<int>(state.range(1)));
    const int key = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int32_t> order = fixture.order;
        state.ResumeTiming();
        SortOrder(order, fixture.records, key);
        benchmark::DoNotOptimize(order.data());
    }
}

// Names in a double-byte code page (932: "kurippu" in katakana, then the number), compared by
// character value; and the plain names under the same code page.
void BM_SortOrderNamesDbcs(benchmark::State& state)
{
    static const Fixture doubleByteNames = [] {
        Fixture fixture(100000);
        for (ClipRecord& record : fixture.records)
            record.name = "\x83\x4E\x83\x8A\x83\x62\x83\x76" + record.name.substr(4);
        return fixture;
    }();
    const Fixture& fixture = state.range(0) ? doubleByteNames : SharedFixture(100000);
    const LeadBytes lead = LeadBytes::From([](unsigned char b) { return (b >= 0x81 && b <= 0x9F) || b >= 0xE0; });
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int32_t> order = fixture.order;
        state.ResumeTiming();
        SortOrder(order, fixture.records, kSortByName, lead);
        benchmark::DoNotOptimize(order.data());
    }
}

void BM_NeighbourExchange(benchmark::State& state)
{
    const Fixture& fixture = SharedFixture(static_cast<int>(state.range(1)));
    const int key = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<int32_t> order = fixture.order;
        state.ResumeTiming();
        NeighbourExchange(order, fixture.records, key);
        benchmark::DoNotOptimize(order.data());
    }
}

} // namespace

BENCHMARK(BM_SortOrder)->ArgNames({"key", "n"})->ArgsProduct({{0, 1, 2, 3}, {1000, 10000, 100000}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortOrderNamesDbcs)->ArgName("doubleByteNames")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NeighbourExchange)->ArgNames({"key", "n"})->ArgsProduct({{0, 1, 2, 3}, {1000, 10000}})->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
