#include "catalogue.h"
#include "cp1251.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace vexa;
using namespace vexa::test;

namespace {

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

std::vector<std::string> labels(const std::vector<TreeNode>& nodes) {
    std::vector<std::string> out;
    for (const auto& n : nodes)
        out.push_back(u8(n.Text));
    return out;
}

std::vector<std::string> lines(const SelectorLines& s) {
    std::vector<std::string> out;
    for (const auto& l : s.lines())
        out.push_back(u8(l));
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(Loading, EmptyFilesGiveAnEmptyCatalogue) {
    ScratchDir dir;
    writeCatalogue(dir.path(), {});
    Catalogue cat(dir.path());
    loadAll(cat);
    EXPECT_TRUE(cat.Content.empty());
    EXPECT_TRUE(cat.Tree.empty());
    EXPECT_EQ(cat.TotalCount, 0);
    EXPECT_EQ(lines(cat.ModelSelector), Strings{" Выберите модель вашего телефона"});
    EXPECT_EQ(u8(Catalogue::FoundCountText(cat.TotalCount)), "НАЙДЕНО 0 ПРОГРАММ");
}

TEST(Loading, SameNamedCategoriesAndGenresShareTreeNodes) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("Один");
    b.category("A", 1);
    int g1 = b.genre("B");
    b.item("x1");
    b.item("x2");
    b.provider("Два");
    b.category("A", 1);
    int g2 = b.genre("B");
    b.item("y1");
    b.genre("Пусто");
    b.category("a", 1); // differs in case: its own tree node, no second selector line
    b.genre("C");
    b.item("z");
    b.category("Без жанров", 2);
    writeCatalogue(dir.path(), b.records);
    Catalogue cat(dir.path());
    loadAll(cat);

    EXPECT_EQ(labels(cat.Tree), (Strings{"A [3]", "a [1]"}));
    EXPECT_EQ(labels(cat.Tree[0].Children), Strings{"B [3]"});
    EXPECT_EQ(cat.TotalCount, 4);
    // The merged genre's record carries the count and links to the record merged into it.
    int carried = cat.Tree[0].Children[0].Node;
    EXPECT_EQ(cat.Nodes[carried].SoftID, g1);
    EXPECT_EQ(cat.Nodes[cat.Nodes[carried].Next].SoftID, g2);

    EXPECT_EQ(lines(cat.ProviderSelector), (Strings{" Все", "Один", "Два"}));
    EXPECT_EQ(lines(cat.CategorySelector), (Strings{" Все", "A", "Без жанров"}));
    EXPECT_EQ(lines(cat.GenreSelector), (Strings{" Все", "B", "Пусто", "C"}));
}

TEST(Loading, ProviderNamesAreAddedOncePerRecord) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("Same");
    b.provider("Same");
    writeCatalogue(dir.path(), b.records);
    Catalogue cat(dir.path());
    loadAll(cat);
    EXPECT_EQ(lines(cat.ProviderSelector), (Strings{" Все", "Same", "Same"}));
    EXPECT_EQ(cat.Providers.size(), 2u);
}

TEST(Loading, LoadersReturnTheBytesTheyConsumed) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("P");
    b.category("C", 1);
    b.genre("G");
    b.item("I", "description");
    TModelRecord m{"Nokia", "", {3}};
    TSoftCodeRecord c{3, "123", {0}};
    writeCatalogue(dir.path(), b.records, {m}, {c});
    Catalogue cat(dir.path());
    long total = 0;
    for (int n; (n = cat.LoadSoftRecord()) > 0;)
        total += n;
    for (int n; (n = cat.LoadModelRecord()) > 0;)
        total += n;
    for (int n; (n = cat.LoadCodeRecord()) > 0;)
        total += n;
    long sizes = 0;
    for (const char* f : {kSoftFile, kModelsFile, kCodesFile})
        sizes += static_cast<long>(readFile(dir / f).size());
    EXPECT_EQ(total, sizes);
    EXPECT_EQ(cat.Content[3].CodeSlots[0], 0);
}

TEST(Loading, CodeSlotsHoldFiftyOneCodesInFileOrder) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("P");
    b.category("C", 1);
    b.genre("G");
    int item = b.item("I");
    std::vector<TSoftCodeRecord> codes;
    for (int i = 0; i < 52; ++i)
        codes.push_back({item, "C" + std::to_string(i), {0}});
    writeCatalogue(dir.path(), b.records, {{"M", "", {item}}}, codes);
    Catalogue cat(dir.path());
    loadAll(cat);
    ASSERT_EQ(cat.Codes.size(), 52u);
    for (int i = 0; i < kCodeSlotCount; ++i)
        EXPECT_EQ(cat.Content[item].CodeSlots[i], i);
    EXPECT_TRUE(cat.damage().empty());
}

TEST(Loading, OperatorSelectorTakesEachRunOfNamesOnce) {
    ScratchDir dir;
    SoftBuilder b;
    int p1 = b.provider("P1");
    int p2 = b.provider("P2");
    int p3 = b.provider("P3");
    std::vector<TOperatorRecord> ops = {{"", p1, ""},
                                        {cp("Билайн"), p1, ""},
                                        {cp("Билайн"), p2, ""},
                                        {cp("БИЛАЙН"), p3, ""},
                                        {cp("МТС"), p1, "r"}};
    writeCatalogue(dir.path(), b.records, {}, {}, ops);
    Catalogue cat(dir.path());
    loadAll(cat);
    EXPECT_EQ(lines(cat.OperatorSelector), (Strings{" Все", "Билайн", "МТС"}));
    EXPECT_EQ(cat.Operators.size(), 5u);
}

TEST(Loading, IconsAreLoadedOnlyForIcoFilesThatExist) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "PROV/ICONS");
    writeFile(dir / "PROV/ICONS/cat.ico", "icon");
    writeFile(dir / "PROV/ICONS/Open.ICO", "icon");
    writeFile(dir / "PROV/ICONS/genre.bmp", "bmp");
    writeFile(dir / "PROV/ICONS/lower.ico", "icon");
    SoftBuilder b;
    b.provider("P", "PROV\\");
    b.category("C", 1, "icons\\CAT.ICO", "ICONS\\open.ico"); // case differs from the disk
    b.genre("G", "", "ICONS\\genre.bmp");
    b.item("i");
    b.genre("H", "", "ICONS\\lower.ico");
    b.item("j");
    b.genre("Missing", "", "ICONS\\missing.ico");
    b.item("k");
    writeCatalogue(dir.path(), b.records);
    Catalogue cat(dir.path());
    std::vector<std::string> loaded;
    cat.setIconLoader([&](const std::filesystem::path& p) {
        loaded.push_back(p.filename().string());
        return static_cast<int>(loaded.size()) + 1;
    });
    loadAll(cat);
    EXPECT_EQ(loaded, (Strings{"cat.ico", "Open.ICO", "lower.ico"}));
    ASSERT_EQ(cat.Nodes.size(), 5u);
    EXPECT_EQ(cat.Nodes[1].ImageIndex, 2);
    EXPECT_EQ(cat.Nodes[1].SelectedIndex, 3);
    EXPECT_EQ(cat.Nodes[2].ImageIndex, 0); // .bmp: default icons
    EXPECT_EQ(cat.Nodes[2].SelectedIndex, 1);
    EXPECT_EQ(cat.Nodes[3].ImageIndex, 4); // no open icon: the closed one
    EXPECT_EQ(cat.Nodes[3].SelectedIndex, 4);
    EXPECT_EQ(cat.Nodes[4].ImageIndex, 0);
}

TEST(Loading, MissingFilesThrowTheirLoadersMessages) {
    ScratchDir dir;
    Catalogue soft(dir.path());
    try {
        soft.LoadSoftRecord();
        FAIL() << "no error for a missing Soft.dat";
    } catch (const DataFileError& e) {
        EXPECT_EQ(u8(e.message()), "Ошибка открытия файла программ");
    }
    Catalogue models(dir.path());
    EXPECT_THROW(models.LoadModelRecord(), DataFileError);
    Catalogue ops(dir.path());
    try {
        ops.LoadOperators();
        FAIL() << "no error for a missing Content.dat";
    } catch (const DataFileError& e) {
        EXPECT_EQ(u8(e.message()), "Ошибка открытия файла операторов");
    }
}

TEST(CountLabel, RussianPluralByLastDigit) {
    struct Case {
        int n;
        const char* text;
    } cases[] = {
        {0, "НАЙДЕНО 0 ПРОГРАММ"},      {1, "НАЙДЕНА 1 ПРОГРАММА"},     {2, "НАЙДЕНО 2 ПРОГРАММЫ"},
        {4, "НАЙДЕНО 4 ПРОГРАММЫ"},     {5, "НАЙДЕНО 5 ПРОГРАММ"},      {11, "НАЙДЕНА 11 ПРОГРАММА"},
        {12, "НАЙДЕНО 12 ПРОГРАММЫ"},   {14, "НАЙДЕНО 14 ПРОГРАММЫ"},   {15, "НАЙДЕНО 15 ПРОГРАММ"},
        {20, "НАЙДЕНО 20 ПРОГРАММ"},    {21, "НАЙДЕНА 21 ПРОГРАММА"},   {100, "НАЙДЕНО 100 ПРОГРАММ"},
        {101, "НАЙДЕНА 101 ПРОГРАММА"}, {104, "НАЙДЕНО 104 ПРОГРАММЫ"}, {111, "НАЙДЕНА 111 ПРОГРАММА"}};
    for (const auto& c : cases)
        EXPECT_EQ(u8(Catalogue::FoundCountText(c.n)), c.text) << c.n;
}

TEST(Rebuild, ModelFilterCountsOnlyListedItemsAndPromptLineRestores) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("P");
    b.category("Игры", 1);
    b.genre("Аркады");
    int a1 = b.item("a1");
    b.item("a2");
    b.category("Картинки", 2);
    b.genre("Природа");
    int p1 = b.item("p1");
    int p2 = b.item("p2");
    std::vector<TModelRecord> models = {
        {"Only pictures", "", {p1, p2}}, {"Empty", "", {}}, {"Game", "", {a1}}};
    writeCatalogue(dir.path(), b.records, models);
    Catalogue cat(dir.path());
    loadAll(cat);
    auto startLabels = labels(cat.Tree);
    EXPECT_EQ(startLabels, (Strings{"Игры [2]", "Картинки [2]"}));

    cat.RebuildTree(1);
    EXPECT_EQ(labels(cat.Tree), Strings{"Картинки [2]"});
    EXPECT_EQ(labels(cat.Tree[0].Children), Strings{"Природа [2]"});
    EXPECT_EQ(cat.TotalCount, 2);

    cat.RebuildTree(2);
    EXPECT_TRUE(cat.Tree.empty());
    EXPECT_EQ(cat.TotalCount, 0);

    cat.RebuildTree(3);
    EXPECT_EQ(labels(cat.Tree), Strings{"Игры [1]"});
    EXPECT_EQ(cat.SelectedModel, 2);

    int steps = 0;
    cat.RebuildTree(0, [&] { ++steps; });
    EXPECT_EQ(labels(cat.Tree), startLabels);
    EXPECT_EQ(cat.SelectedModel, -1);
    EXPECT_EQ(steps, static_cast<int>(cat.Content.size()));
}

TEST(Rebuild, ModelTreeFollowsTheOrderOfTheModelsList) {
    ScratchDir dir;
    SoftBuilder b;
    b.provider("P");
    b.category("Игры", 1);
    b.genre("Аркады");
    int a1 = b.item("a1");
    b.genre("Гонки");
    int r1 = b.item("r1");
    b.category("Мелодии", 3);
    b.genre("Поп");
    int s1 = b.item("s1");
    b.provider("Q");
    b.category("Игры", 1);
    b.genre("Аркады");
    int a2 = b.item("a2");
    std::vector<TModelRecord> models = {{"M", "", {s1, r1, a2, a1}}};
    writeCatalogue(dir.path(), b.records, models);
    Catalogue cat(dir.path());
    loadAll(cat);
    cat.RebuildTree(1);
    EXPECT_EQ(labels(cat.Tree), (Strings{"Мелодии [1]", "Игры [3]"}));
    EXPECT_EQ(labels(cat.Tree[1].Children), (Strings{"Гонки [1]", "Аркады [2]"}));
    EXPECT_EQ(cat.TotalCount, 4);
    EXPECT_EQ(u8(Catalogue::FoundCountText(cat.TotalCount)), "НАЙДЕНО 4 ПРОГРАММЫ");
    // A selector position past the last model means no model.
    cat.RebuildTree(7);
    EXPECT_EQ(cat.SelectedModel, -1);
    EXPECT_EQ(cat.TotalCount, 4);
    EXPECT_EQ(labels(cat.Tree), (Strings{"Игры [3]", "Мелодии [1]"}));
}
