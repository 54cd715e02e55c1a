// The whole workbook import against FreeXL alone reading every cell of the same workbook
// (bench/make_import_workbook.py: 20,000 catalogue rows, 300 models linked 40,000 times,
// 60 operator rows).
#include "import_run.h"

#include <benchmark/benchmark.h>
#include <freexl.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kWorkbook = VEXA_IMPORT_BENCH_WORKBOOK;

// Opens the workbook and fetches every cell of every sheet.
void BM_FreeXlReadEveryCell(benchmark::State& state) {
    long long cells = 0;
    for (auto _ : state) {
        const void* handle = nullptr;
        if (freexl_open(kWorkbook.c_str(), &handle) != FREEXL_OK) {
            state.SkipWithError("cannot open the workbook");
            return;
        }
        unsigned int sheets = 0;
        freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets);
        for (unsigned short s = 0; s < sheets; ++s) {
            unsigned int rows = 0;
            unsigned short columns = 0;
            freexl_select_active_worksheet(handle, s);
            freexl_worksheet_dimensions(handle, &rows, &columns);
            for (unsigned int r = 0; r < rows; ++r)
                for (unsigned short c = 0; c < columns; ++c) {
                    FreeXL_CellValue v;
                    freexl_get_cell_value(handle, r, c, &v);
                    benchmark::DoNotOptimize(v);
                    ++cells;
                }
        }
        freexl_close(handle);
    }
    state.counters["cells"] =
        benchmark::Counter(static_cast<double>(cells), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_FreeXlReadEveryCell)->Unit(benchmark::kMillisecond);

// ImportFromSpreadsheet as the program runs it, in a scratch folder: all four passes, the
// protocol, and the four data files written and flushed to disk. Argument 1: with "/i"
// (no file checks); 0: every picture and icon looked up (none of them exists).
void BM_WholeImport(benchmark::State& state) {
    fs::path dir = fs::temp_directory_path() / ("vexa-import-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::path previous = fs::current_path();
    fs::current_path(dir);
    std::vector<std::string> params{kWorkbook.string()};
    if (state.range(0))
        params.push_back("/i");
    vexa::ImportHost host;
    for (auto _ : state) {
        int rc = vexa::ImportFromSpreadsheet(params, host);
        if (rc != 0) {
            state.SkipWithError("the import failed");
            break;
        }
    }
    state.counters["Soft.dat bytes"] = static_cast<double>(fs::file_size(dir / "Soft.dat"));
    fs::current_path(previous);
    fs::remove_all(dir);
}
BENCHMARK(BM_WholeImport)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
