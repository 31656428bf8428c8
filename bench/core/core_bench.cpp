// DynString and DynArray next to std::string and std::vector doing the same
// work: appending, assigning, comparing, element access.
#include <corvane/dyn_array.hpp>
#include <corvane/dyn_string.hpp>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void BM_DynStringAppendByte(benchmark::State& state) {
    for (auto _ : state) {
        crv::DynString s;
        for (int i = 0; i < 1000; ++i) s += 'x';
        benchmark::DoNotOptimize(s.text());
    }
}
void BM_StdStringAppendByte(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < 1000; ++i) s += 'x';
        benchmark::DoNotOptimize(s.data());
    }
}

void BM_DynStringAppendText(benchmark::State& state) {
    for (auto _ : state) {
        crv::DynString s;
        for (int i = 0; i < 100; ++i) s += "a short piece";
        benchmark::DoNotOptimize(s.text());
    }
}
void BM_StdStringAppendText(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < 100; ++i) s += "a short piece";
        benchmark::DoNotOptimize(s.data());
    }
}

void BM_DynStringAssign(benchmark::State& state) {
    crv::DynString source("the value that is assigned over and over again");
    crv::DynString target;
    for (auto _ : state) {
        target = source;
        benchmark::DoNotOptimize(target.text());
    }
}
void BM_StdStringAssign(benchmark::State& state) {
    std::string source("the value that is assigned over and over again");
    std::string target;
    for (auto _ : state) {
        target = source;
        benchmark::DoNotOptimize(target.data());
    }
}

void BM_DynStringCompare(benchmark::State& state) {
    crv::DynString a("Straight stretch of the road"), b("Straight stretch of the roaD");
    for (auto _ : state) benchmark::DoNotOptimize(a == b);
}
void BM_StdStringCompare(benchmark::State& state) {
    std::string a("Straight stretch of the road"), b("Straight stretch of the roaD");
    for (auto _ : state) benchmark::DoNotOptimize(a == b);
}

void BM_DynArraySum2D(benchmark::State& state) {
    crv::DynArray<double> a;
    a.set_dimensions(256, 256);
    for (auto _ : state) {
        double sum = 0;
        for (int j = 0; j < 256; ++j)
            for (int i = 0; i < 256; ++i) sum += a(i, j);
        benchmark::DoNotOptimize(sum);
    }
}
void BM_VectorSum2D(benchmark::State& state) {
    std::vector<double> a(256 * 256);
    for (auto _ : state) {
        double sum = 0;
        for (int j = 0; j < 256; ++j)
            for (int i = 0; i < 256; ++i) sum += a.at(static_cast<std::size_t>(i + j * 256));
        benchmark::DoNotOptimize(sum);
    }
}

void BM_DynArrayAppend(benchmark::State& state) {
    for (auto _ : state) {
        crv::DynArray<std::int32_t> a;
        for (int i = 0; i < 1000; ++i) a.append_element(i);
        benchmark::DoNotOptimize(a.elements());
    }
}
void BM_VectorAppend(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::int32_t> a;
        for (int i = 0; i < 1000; ++i) a.push_back(i);
        benchmark::DoNotOptimize(a.data());
    }
}

BENCHMARK(BM_DynStringAppendByte);
BENCHMARK(BM_StdStringAppendByte);
BENCHMARK(BM_DynStringAppendText);
BENCHMARK(BM_StdStringAppendText);
BENCHMARK(BM_DynStringAssign);
BENCHMARK(BM_StdStringAssign);
BENCHMARK(BM_DynStringCompare);
BENCHMARK(BM_StdStringCompare);
BENCHMARK(BM_DynArraySum2D);
BENCHMARK(BM_VectorSum2D);
BENCHMARK(BM_DynArrayAppend);
BENCHMARK(BM_VectorAppend);

}  // namespace

BENCHMARK_MAIN();
