// The search and the listing on small catalogues made for one rule each: merged categories
// of different kinds, case in names, chains of same-named genres.
#include "catalogue_search.h"
#include "cp1251.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace vexa;
using namespace vexa::test;

namespace {

using Ids = std::vector<int>;

Ids ids(const ResultTable& t) {
    Ids out;
    for (int r = 1; r <= t.RecordCount(); ++r)
        out.push_back(t.IntAt(r, "SoftID"));
    std::sort(out.begin(), out.end());
    return out;
}

class SectionView : public NullSearchView {
public:
    std::map<int, bool> sections;
    bool sortButtons = false;
    int opened = 0;
    void setSection(int s, bool on) override { sections[s] = on; }
    void setSortButtonsVisible(bool v) override { sortButtons = v; }
    void openSection(int s) override { opened = s; }
};

// A catalogue loaded as start-up loads it, with a search over it.
struct Loaded {
    explicit Loaded(const SoftBuilder& b, const std::vector<TModelRecord>& models = {},
                    const std::vector<TSoftCodeRecord>& codes = {},
                    const std::vector<TOperatorRecord>& ops = {}) {
        writeCatalogue(dir.path(), b.records, models, codes, ops);
        while (cat.LoadSoftRecord() > 0) {
        }
        while (cat.LoadModelRecord() > 0) {
        }
        while (cat.LoadCodeRecord() > 0) {
        }
        cat.SumTreeCounts();
        cat.LoadOperators();
    }

    // The node-list record that the tree's genre node carries.
    std::int32_t genreNode(std::size_t category, std::size_t genre) const {
        return cat.Tree.at(category).Children.at(genre).Node;
    }

    ScratchDir dir;
    Catalogue cat{dir.path()};
    ResultTables tables;
    DescriptionLayout layout;
    SectionView view;
    CatalogueSearch search{cat, tables, layout, view};
};

} // namespace

TEST(ListingSection, OpensTheTableTheEntriesWentIntoWhenMergedCategoriesDifferInKind) {
    // Two providers each with a category "Разное" holding a genre "Новинки": one tree node
    // each. The first is games, the second sounds.
    SoftBuilder b;
    b.provider("Один");
    b.category("Разное", 1);
    b.genre("Новинки");
    int game = b.item("Игра");
    b.provider("Два");
    b.category("Разное", 3);
    b.genre("Новинки");
    int tune = b.item("Мелодия");
    Loaded l(b);
    ASSERT_EQ(l.cat.Tree.size(), 1u);
    EXPECT_EQ(u8(l.cat.Tree[0].Children[0].Text), "Новинки [2]");

    SearchOutcome out = l.search.ShowTreeSection(l.genreNode(0, 0), 0);
    // Both items go to the table of the genre the tree node carries (games) ...
    EXPECT_EQ(ids(l.tables.ResultGames), (Ids{game, tune}));
    EXPECT_EQ(l.tables.ResultSound.RecordCount(), 0);
    // ... and that section opens, though the sounds genre was walked last.
    EXPECT_TRUE(l.view.sections[SectionGames]);
    EXPECT_FALSE(l.view.sections[SectionSounds]);
    EXPECT_FALSE(l.view.sortButtons);
    EXPECT_EQ(out.opened, SectionGames);
    EXPECT_EQ(l.view.opened, SectionGames);
    EXPECT_FALSE(out.nothingFound);
    EXPECT_EQ(out.total, 2);
}

TEST(ListingSection, OpensTheSelectedGenresSectionKindsOutsideTheThreeCountingAsGames) {
    // A category kind outside 1..3 counts as games: the games table opens.
    SoftBuilder b;
    b.provider("Один");
    b.category("Разное", 3);
    b.genre("Новинки");
    int first = b.item("Первая");
    b.provider("Два");
    b.category("Разное", 3);
    b.genre("Новинки");
    int second = b.item("Вторая");
    b.provider("Три");
    b.category("Прочее", 1);
    b.genre("Хиты");
    int game = b.item("Игра");
    b.provider("Четыре");
    b.category("Прочее", 7);
    b.genre("Хиты");
    int other = b.item("Другое");
    Loaded l(b);
    SearchOutcome out = l.search.ShowTreeSection(l.genreNode(0, 0), 0);
    EXPECT_EQ(ids(l.tables.ResultSound), (Ids{first, second}));
    EXPECT_EQ(out.opened, SectionSounds);
    out = l.search.ShowTreeSection(l.genreNode(1, 0), 0);
    EXPECT_EQ(ids(l.tables.ResultGames), (Ids{game, other}));
    EXPECT_EQ(out.opened, SectionGames);
    EXPECT_FALSE(l.view.sortButtons);
}

TEST(ListingChain, ThreeSameNamedGenresChainOnlyTheMostRecentlyMerged) {
    SoftBuilder b;
    b.provider("Один");
    b.category("Игры", 1);
    b.genre("Аркады"); // no items, carried by the tree node
    b.provider("Два");
    b.category("Игры", 1);
    b.genre("Аркады");
    b.item("m1");
    b.item("m2");
    b.provider("Три");
    b.category("Игры", 1);
    b.genre("Аркады");
    int last = b.item("l1");
    Loaded l(b);
    // The count covers all three genres ...
    EXPECT_EQ(u8(l.cat.Tree[0].Children[0].Text), "Аркады [3]");
    // ... the listing only the record the node carries and the one its link names.
    SearchOutcome out = l.search.ShowTreeSection(l.genreNode(0, 0), 0);
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{last});
    EXPECT_EQ(out.total, 1);
    EXPECT_EQ(out.opened, SectionGames);
}

TEST(ListingChain, ModelFilterLinksAGenreToItselfAndThePromptLineLinksItBack) {
    SoftBuilder b;
    b.provider("Один");
    b.category("Игры", 1);
    b.genre("Аркады");
    int a1 = b.item("a1");
    int a2 = b.item("a2");
    b.provider("Два");
    b.category("Игры", 1);
    b.genre("Аркады");
    int b1 = b.item("b1");
    // The model reaches the first genre, the second, then the first again: the tree node's
    // record ends up linked to itself.
    Loaded l(b, {{"M", "", {a1, b1, a2}}, {"Дубли", "", {a1, a1, b1}}});
    l.cat.RebuildTree(1);
    EXPECT_EQ(u8(l.cat.Tree[0].Children[0].Text), "Аркады [3]");
    std::int32_t node = l.genreNode(0, 0);
    EXPECT_EQ(l.cat.Nodes[node].Next, node);
    l.search.ShowTreeSection(node, 1);
    EXPECT_EQ(ids(l.tables.ResultGames), (Ids{a1, a2}));

    // Every listed SoftID is counted, twice when listed twice.
    l.cat.RebuildTree(2);
    EXPECT_EQ(l.cat.TotalCount, 3);
    EXPECT_EQ(u8(l.cat.Tree[0].Text), "Игры [3]");

    // The prompt line gives the start-up tree, counts and links back.
    l.cat.RebuildTree(0);
    EXPECT_EQ(u8(l.cat.Tree[0].Children[0].Text), "Аркады [3]");
    EXPECT_EQ(l.cat.TotalCount, 3);
    l.search.ShowTreeSection(l.genreNode(0, 0), 0);
    EXPECT_EQ(ids(l.tables.ResultGames), (Ids{a1, a2, b1}));
}

namespace {

SearchCriteria criteria(const std::string& phrase, std::map<std::string, std::string> sel = {},
                        int model = 0) {
    SearchCriteria c;
    c.phrase = cp(phrase);
    auto set = [&](const char* key, SelectorValue& v) {
        auto it = sel.find(key);
        v = it == sel.end() ? SelectorValue{0, cp(" Все")} : SelectorValue{1, cp(it->second)};
    };
    set("operator", c.operatorSel);
    set("provider", c.providerSel);
    set("category", c.categorySel);
    set("genre", c.genreSel);
    c.modelPosition = model;
    return c;
}

} // namespace

TEST(SearchWalk, SelectorTextsCompareExactlyWhileTheirLinesIgnoreCase) {
    SoftBuilder b;
    int p1 = b.provider("Один");
    b.category("Игры", 1);
    b.genre("Аркады");
    int lower = b.item("x");
    int p2 = b.provider("Два");
    b.category("ИГРЫ", 1);
    b.genre("АРКАДЫ");
    int upper = b.item("y");
    Loaded l(b, {}, {}, {{cp("МТС"), p1, ""}, {cp("мтс"), p2, ""}});
    // One line each for the two spellings ...
    EXPECT_EQ(l.cat.CategorySelector.size(), 2u);
    EXPECT_EQ(l.cat.GenreSelector.size(), 2u);
    EXPECT_EQ(l.cat.OperatorSelector.size(), 2u);
    // ... but the search compares the chosen line's text exactly.
    l.search.ButtonFindClick(criteria("", {{"category", "Игры"}}));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{lower});
    l.search.ButtonFindClick(criteria("", {{"genre", "АРКАДЫ"}}));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{upper});
    l.search.ButtonFindClick(criteria("", {{"operator", "МТС"}}));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{lower});
    // The provider decides alone when both it and an operator are chosen.
    l.search.ButtonFindClick(criteria("", {{"operator", "МТС"}, {"provider", "Два"}}));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{upper});
}

TEST(SearchWalk, PhraseIgnoresTheCaseOfEveryCyrillicLetter) {
    SoftBuilder b;
    b.provider("Один");
    b.category("Игры", 1);
    b.genre("Аркады");
    int hedgehog = b.item("ЁЖИК в тумане");
    int ukrainian = b.item("Ї і Є", "");
    int described = b.item("Без имени", "Про <i>Ёлку</i>");
    b.item("Другое", "ничего");
    Loaded l(b);
    l.search.ButtonFindClick(criteria("ёжик В"));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{hedgehog});
    l.search.ButtonFindClick(criteria("ї І є"));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{ukrainian});
    l.search.ButtonFindClick(criteria("про ёлку"));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{described});
    SearchOutcome out = l.search.ButtonFindClick(criteria("\t"));
    EXPECT_EQ(out.total, 4);
}

TEST(SearchWalk, PicturesPassAnyModelEvenUnderAMergedGamesCategory) {
    // The search takes each item's own genre record: a pictures genre stays pictures even
    // where the tree merged its category with a games one.
    SoftBuilder b;
    b.provider("Один");
    b.category("Разное", 1);
    b.genre("Лучшее");
    int game = b.item("Игра");
    b.provider("Два");
    b.category("Разное", 2);
    b.genre("Лучшее");
    int picture = b.item("Картинка");
    Loaded l(b, {{"M", "", {}}}, {{game, "1", {0}}});
    SearchOutcome out = l.search.ButtonFindClick(criteria("", {}, 1));
    EXPECT_EQ(ids(l.tables.ResultGames), Ids{game});
    EXPECT_EQ(ids(l.tables.ResultImage), Ids{picture});
    EXPECT_EQ(out.opened, SectionGames);
    // The filter walks only the model's own list, which names neither item.
    l.cat.RebuildTree(1);
    EXPECT_TRUE(l.cat.Tree.empty());
}
