// Microbenchmarks of the per-line work of the update pass: the field splitter, the line
// classifier and reading a width as a number.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "engine/decal_reader.h"
#include "engine/decimal.h"
#include "engine/fields.h"
#include "engine/rules.h"

namespace {

constexpr std::string_view kPieceLine = "OPEN   5 10 26 -1";
constexpr std::string_view kHeaderLine = "MOLEX_1051330011 M 0     0     2 3 7 0 8 4 0";
constexpr std::string_view kPointLine = "-177.166 -137.109";

void BM_Str2Ary_All_PieceLine(benchmark::State& state) {
    trelvo::Fields fields;
    for (auto _ : state) {
        trelvo::Str2Ary_All(kPieceLine, " ", 1, fields);
        benchmark::DoNotOptimize(fields.count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kPieceLine.size()));
}
BENCHMARK(BM_Str2Ary_All_PieceLine);

void BM_Str2Ary_All_HeaderLine(benchmark::State& state) {
    trelvo::Fields fields;
    for (auto _ : state) {
        trelvo::Str2Ary_All(kHeaderLine, " ", 1, fields);
        benchmark::DoNotOptimize(fields.count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kHeaderLine.size()));
}
BENCHMARK(BM_Str2Ary_All_HeaderLine);

// A line of n words: the cost per field, and the cap at 10000 fields.
void BM_Str2Ary_All_Words(benchmark::State& state) {
    std::string line;
    for (int64_t i = 0; i < state.range(0); ++i)
        line += "w12 ";
    trelvo::Fields fields;
    for (auto _ : state) {
        trelvo::Str2Ary_All(line, " ", 1, fields);
        benchmark::DoNotOptimize(fields.count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK(BM_Str2Ary_All_Words)->Arg(1)->Arg(100)->Arg(10000)->Arg(20000);

// The value-returning form allocates a fresh sequence per call.
void BM_Str2Ary_All_Fresh(benchmark::State& state) {
    for (auto _ : state) {
        auto fields = trelvo::Str2Ary_All(kPieceLine, " ", 1);
        benchmark::DoNotOptimize(fields.count());
    }
}
BENCHMARK(BM_Str2Ary_All_Fresh);

void BM_IsPieceHeaderLine(benchmark::State& state) {
    const std::string_view lines[] = {kPieceLine,
                                      kPointLine,
                                      "CLOSED 5 0.05 20 -1",
                                      "T-1.3 2.2 -1.3 2.2 1",
                                      "CIRCLE 2 10 26 -1",
                                      "PAD 0 5 N 0",
                                      "",
                                      "COPCLS 4 10 1"};
    for (auto _ : state) {
        int n = 0;
        for (std::string_view l : lines)
            n += trelvo::isPieceHeaderLine(l);
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * std::size(lines)));
}
BENCHMARK(BM_IsPieceHeaderLine);

void BM_DecimalParse(benchmark::State& state) {
    const std::string_view widths[] = {"10", "0.254", "7.874", "10.000", "0.3048"};
    for (auto _ : state) {
        for (std::string_view w : widths)
            benchmark::DoNotOptimize(trelvo::Decimal::parse(w));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * std::size(widths)));
}
BENCHMARK(BM_DecimalParse);

void BM_DecimalCompare(benchmark::State& state) {
    const auto target = *trelvo::Decimal::parse("10");
    for (auto _ : state) {
        const auto value = trelvo::Decimal::parse("10.0");
        benchmark::DoNotOptimize(value && *value == target);
    }
}
BENCHMARK(BM_DecimalCompare);

// A width field of n digits against a range in the other unit, as a rules run meets one: linear
// in n.
void BM_RangeTestLongWidth(benchmark::State& state) {
    const std::string field(static_cast<std::size_t>(state.range(0)), '7');
    const auto range = trelvo::rangeTest({*trelvo::Decimal::parse("0.1"), trelvo::Unit::Millimetres, "0.1mm"},
                                         {*trelvo::Decimal::parse("0.3"), trelvo::Unit::Millimetres, "0.3mm"});
    for (auto _ : state) {
        const trelvo::ReadLength width(field, trelvo::Unit::Mils);
        benchmark::DoNotOptimize(trelvo::lengthPasses(range, width));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * state.range(0)));
}
BENCHMARK(BM_RangeTestLongWidth)->Arg(1000)->Arg(1000000);

}  // namespace

BENCHMARK_MAIN();
