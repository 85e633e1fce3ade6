// The list file codec natively: encoding and decoding a list of 32,767
// drawing paths in code page 936 (through iconv) and in UTF-8.
#include "mainwindow/ListFileCodec.h"
#include "support/IconvCodePage.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

std::vector<std::wstring> Paths(bool representable) {
    std::vector<std::wstring> paths;
    std::mt19937 random(1);
    for (int i = 0; i < 32767; ++i)
        paths.push_back(L"D:\\工程项目\\第" + std::to_wstring(random() % 100) + L"期\\图纸\\楼层" +
                        std::to_wstring(random() % 1000) +
                        (representable ? L"\\平面图" : L"\\도면") + std::to_wstring(i) + L".dwg");
    return paths;
}

const varno::test::IconvCodePage& Gbk() {
    static const varno::test::IconvCodePage cp("CP936");
    return cp;
}

void Encode(benchmark::State& state) {
    const auto paths = Paths(state.range(0) != 0);
    for (auto _ : state)
        benchmark::DoNotOptimize(varno::EncodeListFile(paths, Gbk()));
}
BENCHMARK(Encode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void Decode(benchmark::State& state) {
    const std::string bytes = varno::EncodeListFile(Paths(state.range(0) != 0), Gbk());
    for (auto _ : state)
        benchmark::DoNotOptimize(varno::DecodeListFile(bytes, Gbk()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(Decode)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
