// The whole workbook import against FreeXL alone reading every cell of the same workbook
// (bench/make_import_workbook.py: 20,000 catalogue rows, 300 models linked 40,000 times,
// 60 operator rows).
#include "import_run.h"
#include "prefault.h"

#include <benchmark/benchmark.h>
#include <freexl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const fs::path kWorkbook = VEXA_IMPORT_BENCH_WORKBOOK;

// Runs one measured step in a fresh child process and gives its time in seconds (negative
// when it failed). The program imports once per process, with a small heap; repeating the
// import in one long-lived process would measure the leftovers of earlier rounds instead.
template <typename F> double timedInChild(F step) {
    int fds[2];
    if (::pipe(fds) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        auto t0 = std::chrono::steady_clock::now();
        bool ok = step();
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!ok)
            s = -1;
        ssize_t w = ::write(fds[1], &s, sizeof s);
        ::_exit(w == sizeof s ? 0 : 1);
    }
    ::close(fds[1]);
    double s = -1;
    if (pid < 0 || ::read(fds[0], &s, sizeof s) != sizeof s)
        s = -1;
    ::close(fds[0]);
    int status = 0;
    if (pid > 0)
        ::waitpid(pid, &status, 0);
    return s;
}

// Opens the workbook, fetches every cell of every sheet, closes it. Argument 1: the heap is
// first grown the way the import's reading process grows it (most of FreeXL's own time goes
// to page faults otherwise); 0: FreeXL as it comes.
void BM_FreeXlReadEveryCell(benchmark::State& state) {
    const bool prepared = state.range(0) != 0;
    for (auto _ : state) {
        double seconds = timedInChild([prepared] {
            if (prepared)
                vexa::growHeap(static_cast<std::size_t>(fs::file_size(kWorkbook)) * 4);
            const void* handle = nullptr;
            if (freexl_open(kWorkbook.c_str(), &handle) != FREEXL_OK)
                return false;
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
                    }
            }
            freexl_close(handle);
            return true;
        });
        if (seconds < 0) {
            state.SkipWithError("cannot read the workbook");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_FreeXlReadEveryCell)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

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
    for (auto _ : state) {
        double seconds = timedInChild([&] {
            vexa::ImportHost host;
            return vexa::ImportFromSpreadsheet(params, host) == 0;
        });
        if (seconds < 0) {
            state.SkipWithError("the import failed");
            break;
        }
        state.SetIterationTime(seconds);
    }
    state.counters["Soft.dat bytes"] = static_cast<double>(fs::file_size(dir / "Soft.dat"));
    fs::current_path(previous);
    fs::remove_all(dir);
}
BENCHMARK(BM_WholeImport)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
