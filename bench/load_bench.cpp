// Start-up load of generated catalogues: the whole load (Soft, Models, Codes, counts,
// operators) against reading the same files' bytes, and the memory the load keeps.
#include "catalogue.h"
#include "catalogue_gen.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

using namespace vexa;
namespace fs = std::filesystem;

namespace {

fs::path catalogueFor(int shape) {
    return shape == 0 ? bench::generatedCatalogue("realistic", bench::realisticShape())
                      : bench::generatedCatalogue("stress", bench::stressShape());
}

void loadAll(Catalogue& cat) {
    while (cat.LoadSoftRecord() > 0) {
    }
    while (cat.LoadModelRecord() > 0) {
    }
    while (cat.LoadCodeRecord() > 0) {
    }
    cat.SumTreeCounts();
    cat.LoadOperators();
}

long long fileBytes(const fs::path& dir) {
    long long n = 0;
    for (const char* f : {kSoftFile, kModelsFile, kCodesFile, kContentFile})
        n += static_cast<long long>(fs::file_size(dir / f));
    return n;
}

long procStatusKb(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

// Peak resident memory that one load adds: the high-water mark is reset to the current
// size first (Linux clear_refs), then read after the load.
double loadPeakMegabytes(const fs::path& dir) {
    malloc_trim(0); // give freed heap back, so that the load must touch new pages
    {
        std::ofstream reset("/proc/self/clear_refs");
        reset << "5";
    }
    long before = procStatusKb("VmRSS:");
    {
        Catalogue cat(dir);
        loadAll(cat);
        benchmark::DoNotOptimize(cat.TotalCount);
    }
    long peak = procStatusKb("VmHWM:");
    return (peak - before) / 1024.0;
}

// Heap that the loaded catalogue keeps.
double keptMegabytes(const fs::path& dir) {
    std::size_t before = mallinfo2().uordblks;
    Catalogue cat(dir);
    loadAll(cat);
    return (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before)) / 1048576.0;
}

void BM_ReadFileBytes(benchmark::State& state) {
    fs::path dir = catalogueFor(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        for (const char* f : {kSoftFile, kModelsFile, kCodesFile, kContentFile}) {
            std::ifstream in(dir / f, std::ios::binary);
            std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            benchmark::DoNotOptimize(bytes.data());
        }
    }
    state.SetBytesProcessed(state.iterations() * fileBytes(dir));
}

void BM_StartupLoad(benchmark::State& state) {
    fs::path dir = catalogueFor(static_cast<int>(state.range(0)));
    std::int32_t total = 0;
    for (auto _ : state) {
        Catalogue cat(dir);
        loadAll(cat);
        total = cat.TotalCount;
        benchmark::DoNotOptimize(total);
    }
    state.SetBytesProcessed(state.iterations() * fileBytes(dir));
    state.counters["items"] = total;
    state.counters["file_MB"] = fileBytes(dir) / 1048576.0;
    state.counters["peak_MB"] = loadPeakMegabytes(dir);
    state.counters["kept_MB"] = keptMegabytes(dir);
}

} // namespace

// 0 = realistic catalogue, 1 = stress catalogue.
BENCHMARK(BM_ReadFileBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartupLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
