// Model filter, search, listing and the memory a full result costs, on the generated
// realistic (20,000 items) and stress (65,000 items) catalogues.
#include "catalogue.h"
#include "catalogue_gen.h"
#include "catalogue_search.h"
#include "cp1251.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdlib>

using namespace vexa;
namespace fs = std::filesystem;

namespace {

fs::path catalogueFor(int shape) {
    return shape == 0 ? bench::generatedCatalogue("realistic", bench::realisticShape())
                      : bench::generatedCatalogue("stress", bench::stressShape());
}

// One loaded catalogue per shape, kept for the whole run.
Catalogue& loaded(int shape) {
    static std::unique_ptr<Catalogue> cats[2];
    auto& c = cats[shape];
    if (!c) {
        c = std::make_unique<Catalogue>(catalogueFor(shape));
        while (c->LoadSoftRecord() > 0) {
        }
        while (c->LoadModelRecord() > 0) {
        }
        while (c->LoadCodeRecord() > 0) {
        }
        c->SumTreeCounts();
        c->LoadOperators();
    }
    return *c;
}

// Reads what the first page of the opened section shows: five entries' pictures and
// shortened descriptions.
void firstPage(ResultTables& t, const SearchOutcome& out) {
    if (!out.opened)
        return;
    ResultTable& table = t.forSection(out.opened);
    table.First();
    for (int r = 1; r <= std::min(5, table.RecordCount()); ++r) {
        benchmark::DoNotOptimize(table.TextAt(r, "Descript"));
        if (out.opened != SectionSounds)
            benchmark::DoNotOptimize(table.PictureAt(r, "Image1"));
    }
}

void BM_ModelFilter(benchmark::State& state) {
    Catalogue& cat = loaded(static_cast<int>(state.range(0)));
    for (auto _ : state)
        cat.RebuildTree(1);
    state.counters["listed_items"] = static_cast<double>(cat.Models[0].SoftIDs.size());
    state.counters["total"] = cat.TotalCount;
    cat.RebuildTree(0);
}

SearchOutcome runSearch(Catalogue& cat, ResultTables& tables, const std::string& phrase) {
    DescriptionLayout layout;
    NullSearchView view;
    CatalogueSearch search(cat, tables, layout, view);
    SearchCriteria c;
    c.phrase = cp(phrase);
    SearchOutcome out = search.ButtonFindClick(c);
    firstPage(tables, out);
    return out;
}

void BM_SearchMatchAllFirstPage(benchmark::State& state) {
    Catalogue& cat = loaded(static_cast<int>(state.range(0)));
    ResultTables tables;
    SearchOutcome out;
    for (auto _ : state)
        out = runSearch(cat, tables, "игра");
    state.counters["hits"] = out.total;
}

void BM_SearchNothingFound(benchmark::State& state) {
    Catalogue& cat = loaded(static_cast<int>(state.range(0)));
    ResultTables tables;
    SearchOutcome out;
    for (auto _ : state)
        out = runSearch(cat, tables, "нет такого");
    state.counters["hits"] = out.total;
}

void BM_ListLargestGenre(benchmark::State& state) {
    Catalogue& cat = loaded(static_cast<int>(state.range(0)));
    std::int32_t node = -1, most = -1;
    for (const TreeNode& c : cat.Tree)
        for (const TreeNode& g : c.Children)
            if (cat.Nodes[g.Node].ItemCount > most) {
                most = cat.Nodes[g.Node].ItemCount;
                node = g.Node;
            }
    ResultTables tables;
    DescriptionLayout layout;
    NullSearchView view;
    CatalogueSearch search(cat, tables, layout, view);
    SearchOutcome out;
    for (auto _ : state) {
        out = search.ShowTreeSection(node, 0);
        firstPage(tables, out);
    }
    state.counters["entries"] = out.total;
}

// A description laid out and shortened, each call a text not seen before.
void BM_ShortenDescription(benchmark::State& state) {
    DescriptionLayout layout;
    const std::string blurb = cp("<b>Хит сезона!</b># Захватывающая игра с простым управлением и красочной "
                                 "графикой.# Десятки уровней, <c=blue>секретные бонусы</c> и таблица "
                                 "рекордов. Подходит для всех возрастов. ");
    long n = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(layout.ShortenDescription(blurb + std::to_string(n++)));
}

// Heap a search that finds everything keeps in its tables, with the first page shown.
void BM_FullResultMemory(benchmark::State& state) {
    Catalogue& cat = loaded(static_cast<int>(state.range(0)));
    double mb = 0, tableMb = 0;
    int hits = 0;
    for (auto _ : state) {
        malloc_trim(0);
        std::size_t before = mallinfo2().uordblks;
        ResultTables tables;
        SearchOutcome out = runSearch(cat, tables, "");
        mb = (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before)) / 1048576.0;
        tableMb = static_cast<double>(tables.ResultGames.memoryBytes() + tables.ResultImage.memoryBytes() +
                                      tables.ResultSound.memoryBytes()) /
                  1048576.0;
        hits = out.total;
    }
    state.counters["heap_MB"] = mb;
    state.counters["tables_MB"] = tableMb;
    state.counters["hits"] = hits;
}

} // namespace

// 0 = realistic catalogue, 1 = stress catalogue.
BENCHMARK(BM_ModelFilter)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchMatchAllFirstPage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchNothingFound)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLargestGenre)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShortenDescription)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FullResultMemory)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qargc = 1;
    QGuiApplication app(qargc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
