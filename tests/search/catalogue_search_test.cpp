// The search over the whole catalogue and the listing of a genre, against a small catalogue
// of two providers, with a view that records what the window was asked to do.
#include "catalogue_search.h"
#include "cp1251.h"
#include "test_support.h"

#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>

using namespace vexa;
using namespace vexa::test;

namespace {

class RecordingView : public SearchView {
public:
    std::vector<std::string> calls;
    std::string searchText = "unchanged";
    int progressMax = -1, progressSteps = 0, shownCount = -1;
    bool busy = false, notFound = false, sortButtons = true, progressVisible = false;
    std::map<int, bool> sections;

    void setBusy(bool on) override {
        busy = on;
        calls.push_back(on ? "busy" : "idle");
    }
    void setNotFoundVisible(bool v) override {
        notFound = v;
        calls.push_back(v ? "show-not-found" : "hide-not-found");
    }
    void hideResultArea() override { calls.push_back("hide-result-area"); }
    void repaintNow() override { calls.push_back("repaint"); }
    void setSearchText(const std::string& t) override { searchText = t; }
    void progressStart(int m) override {
        progressMax = m;
        progressVisible = true;
    }
    void progressStep() override { ++progressSteps; }
    void progressHide() override { progressVisible = false; }
    void setSection(int s, bool on) override { sections[s] = on; }
    void setSortButtonsVisible(bool v) override { sortButtons = v; }
    void openSection(int s) override { calls.push_back("open " + std::to_string(s)); }
    void showFoundCount(std::int32_t n) override {
        shownCount = n;
        calls.push_back("count " + std::to_string(n));
    }
};

std::vector<int> ids(const ResultTable& t) {
    std::vector<int> out;
    for (int r = 1; r <= t.RecordCount(); ++r)
        out.push_back(t.IntAt(r, "SoftID"));
    return out;
}

std::vector<int> sorted(std::vector<int> v) {
    std::sort(v.begin(), v.end());
    return v;
}

using Ids = std::vector<int>;

// Two providers with a games, a pictures and a sounds category each (the second without
// pictures); same-named categories and genres share tree nodes.
class SearchTest : public ::testing::Test {
protected:
    void SetUp() override {
        SoftBuilder b;
        p1 = b.provider("Альфа", "ALFA\\");
        b.category("Игры", 1);
        arcade1 = b.genre("Аркады", "ARC\\");
        g1 = b.item("<b>Ring</b>tone hero", "Про героя");
        g2 = b.item("Космос", "Полёт# ring здесь");
        b.category("Картинки", 2);
        b.genre("Природа", "NAT\\");
        pic1 = b.item("Лес");
        pic2 = b.item("Море");
        b.category("Мелодии", 3);
        pop1 = b.genre("Поп");
        s1 = b.item("Песня", "Исполнитель А");
        p2 = b.provider("Бета", "BETA\\");
        b.category("Игры", 1);
        arcade2 = b.genre("Аркады", "ARC2\\");
        g3 = b.item("Автогонки", "Быстро");
        b.category("Мелодии", 3);
        b.genre("Поп");
        s2 = b.item("Хит", "Исполнитель Б");
        b.records[pic1].Image1 = "pic1.jpg";
        std::vector<TModelRecord> models = {
            {"Nokia", "", {g1, s1}}, {"Empty", "", {}}, {"Reverse", "", {g3, g1}}};
        std::vector<TSoftCodeRecord> codes = {{g1, "C1", {0}}, {s2, "C2", {0, 1}}};
        std::vector<TOperatorRecord> ops = {{cp("МТС"), p1, ""}, {cp("Билайн"), p2, ""}};
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

    SearchOutcome find(const std::string& phrase, const std::string& op = "",
                       const std::string& provider = "", int model = 0, const std::string& category = "",
                       const std::string& genre = "") {
        SearchCriteria c;
        c.phrase = cp(phrase);
        auto sel = [](const std::string& t) { return SelectorValue{t.empty() ? 0 : 1, cp(t)}; };
        c.operatorSel = sel(op);
        c.providerSel = sel(provider);
        c.categorySel = sel(category);
        c.genreSel = sel(genre);
        c.modelPosition = model;
        return search.ButtonFindClick(c);
    }

    std::int32_t treeNode(const std::string& category, const std::string& genre) {
        for (const TreeNode& c : cat.Tree)
            if (u8(c.Text).rfind(category + " [", 0) == 0)
                for (const TreeNode& g : c.Children)
                    if (u8(g.Text).rfind(genre + " [", 0) == 0)
                        return g.Node;
        return -1;
    }

    ScratchDir dir;
    Catalogue cat{dir.path()};
    ResultTables tables;
    DescriptionLayout layout;
    RecordingView view;
    CatalogueSearch search{cat, tables, layout, view};
    int p1, p2, arcade1, arcade2, pop1, g1, g2, g3, pic1, pic2, s1, s2;
};

} // namespace

TEST_F(SearchTest, NoCriteriaFindsEverythingAndOpensGames) {
    SearchOutcome out = find("");
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2, g3}));
    EXPECT_EQ(ids(tables.ResultImage), (Ids{pic1, pic2}));
    EXPECT_EQ(sorted(ids(tables.ResultSound)), (Ids{s1, s2}));
    EXPECT_EQ(out.opened, SectionGames);
    EXPECT_FALSE(out.nothingFound);
    EXPECT_EQ(out.total, 7);
    // The window steps come in their order: area cleared first, count last.
    std::vector<std::string> expected = {"busy",   "hide-not-found", "hide-result-area", "repaint",
                                         "open 1", "idle",           "count 7"};
    EXPECT_EQ(view.calls, expected);
    EXPECT_EQ(view.progressMax, static_cast<int>(cat.Content.size()));
    EXPECT_EQ(view.progressSteps, static_cast<int>(cat.Content.size()));
    EXPECT_FALSE(view.progressVisible);
    EXPECT_TRUE(view.sections[1] && view.sections[2] && view.sections[3]);
}

TEST_F(SearchTest, OperatorAndProviderSelectors) {
    // The operator alone: the providers the operator list pairs with it.
    find("", "Билайн");
    EXPECT_EQ(ids(tables.ResultGames), (Ids{g3}));
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s2}));
    EXPECT_EQ(tables.ResultImage.RecordCount(), 0);
    // With a provider chosen the operator is not looked at.
    find("", "Билайн", "Альфа");
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2}));
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s1}));
    // An operator that carries nothing.
    SearchOutcome out = find("", "Теле2");
    EXPECT_TRUE(out.nothingFound);
    // Category and genre narrow what the providers give.
    find("", "", "", 0, "Игры", "Аркады");
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2, g3}));
    EXPECT_EQ(tables.ResultSound.RecordCount() + tables.ResultImage.RecordCount(), 0);
    find("", "", "Бета", 0, "Мелодии");
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s2}));
    EXPECT_EQ(tables.ResultGames.RecordCount(), 0);
}

TEST_F(SearchTest, PhraseMatchesPlainNameOrDescriptionWithoutCase) {
    SearchOutcome out = find("   ring");
    EXPECT_EQ(view.searchText, "ring");
    // 'Ringtone' once its tags are gone; 'ring' after a line-break marker in a description.
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2}));
    EXPECT_EQ(out.total, 2);
    find("ИСПОЛНИТЕЛЬ б");
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s2}));
    // Tags are not part of what is matched.
    EXPECT_TRUE(find("<b>").nothingFound);
    // Blanks only: the edit ends up empty and nothing is held back.
    out = find("    ");
    EXPECT_EQ(view.searchText, "");
    EXPECT_EQ(out.total, 7);
    // Trailing blanks stay part of the phrase.
    out = find("хит ");
    EXPECT_TRUE(out.nothingFound);
}

TEST_F(SearchTest, ModelConditionUsesOrderCodesAndSparesPictures) {
    SearchOutcome out = find("", "", "", 1);
    EXPECT_EQ(ids(tables.ResultGames), (Ids{g1}));
    // s1 is listed by the model but has no code for it; s2 has one.
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s2}));
    EXPECT_EQ(ids(tables.ResultImage), (Ids{pic1, pic2}));
    EXPECT_EQ(out.total, 4);
    out = find("", "", "", 2);
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s2}));
    EXPECT_EQ(tables.ResultGames.RecordCount(), 0);
    // No games: the sounds section opens before the pictures.
    EXPECT_EQ(out.opened, SectionSounds);
}

TEST_F(SearchTest, NothingFoundShowsThePanelAndCountZero) {
    SearchOutcome out = find("нет такого");
    EXPECT_TRUE(out.nothingFound);
    EXPECT_EQ(out.opened, 0);
    EXPECT_TRUE(view.notFound);
    EXPECT_EQ(view.shownCount, 0);
    EXPECT_FALSE(view.sections[1] || view.sections[2] || view.sections[3]);
    EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "open 1"), 0);
}

TEST_F(SearchTest, EntriesCarryTheirFields) {
    find("");
    ResultTable& games = tables.ResultGames;
    // Ordered by name, whatever order the walk added them in.
    ASSERT_EQ(games.RecordCount(), 3);
    EXPECT_EQ(u8(games.TextAt(1, "Naimen")), "<b>Ring</b>tone hero");
    EXPECT_EQ(u8(games.TextAt(2, "Naimen")), "Автогонки");
    EXPECT_EQ(u8(games.TextAt(3, "Naimen")), "Космос");
    EXPECT_EQ(u8(games.TextAt(2, "Genre")), "[Аркады]");
    EXPECT_EQ(games.TextAt(2, "GenreDir"), "ARC2\\");
    EXPECT_EQ(games.IntAt(2, "ContentID"), p2);
    EXPECT_EQ(u8(games.TextAt(3, "Descript")), std::string("Полёт\r\nring здесь"));

    ResultTable& pics = tables.ResultImage;
    EXPECT_EQ(pics.IntAt(1, "ContentID"), p1);
    EXPECT_EQ(pics.TextAt(1, "GenreDir"), "NAT\\");
    EXPECT_TRUE(pics.PictureAt(1, "Image1").isNull()); // its file does not exist
    ResultTable& sounds = tables.ResultSound;
    sounds.SetIndex("NaimenUp");
    EXPECT_EQ(u8(sounds.TextAt(1, "Naimen")), "Песня");
    EXPECT_EQ(u8(sounds.TextAt(1, "Descript")), "Исполнитель А");
}

TEST_F(SearchTest, EntryPicturesComeFromProviderAndGenreFolders) {
    std::filesystem::create_directories(dir / "alfa" / "nat");
    QImage img(20, 10, QImage::Format_RGB32);
    img.fill(Qt::red);
    // The name is matched without regard to case.
    ASSERT_TRUE(img.save(QString::fromStdString((dir / "alfa" / "nat" / "PIC1.JPG").string()), "JPG"));
    find("Лес");
    QImage shown = tables.ResultImage.PictureAt(1, "Image1");
    ASSERT_FALSE(shown.isNull());
    EXPECT_EQ(shown.size(), QSize(20, 10));
    EXPECT_GT(qRed(shown.pixel(5, 5)), 200);
}

TEST_F(SearchTest, ListingWalksSameNamedGenresAndOpensTheSection) {
    std::int32_t arcade = treeNode("Игры", "Аркады");
    ASSERT_GE(arcade, 0);
    view.searchText = "old phrase";
    view.calls.clear();
    SearchOutcome out = search.ShowTreeSection(arcade, 0);
    EXPECT_EQ(view.searchText, "");
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2, g3}));
    EXPECT_EQ(out.opened, SectionGames);
    EXPECT_FALSE(view.sortButtons);
    // Every entry carries the listed tree node's genre, but the provider of its own genre.
    for (int r = 1; r <= 3; ++r) {
        EXPECT_EQ(tables.ResultGames.TextAt(r, "GenreDir"), "ARC\\");
        int id = tables.ResultGames.IntAt(r, "SoftID");
        EXPECT_EQ(tables.ResultGames.IntAt(r, "ContentID"), id == g3 ? p2 : p1);
    }
    // The count label is left as the tree set it.
    EXPECT_EQ(view.calls, (std::vector<std::string>{"busy", "open 1", "idle"}));

    search.ShowTreeSection(treeNode("Мелодии", "Поп"), 0);
    EXPECT_TRUE(view.sortButtons);
    EXPECT_EQ(sorted(ids(tables.ResultSound)), (Ids{s1, s2}));
    EXPECT_TRUE(view.sections[3]);
    EXPECT_FALSE(view.sections[1]);
    search.ShowTreeSection(treeNode("Картинки", "Природа"), 0);
    EXPECT_FALSE(view.sortButtons);
    EXPECT_EQ(ids(tables.ResultImage), (Ids{pic1, pic2}));
}

TEST_F(SearchTest, ListingForAModelUsesItsListAndSparesPictures) {
    cat.RebuildTree(1);
    SearchOutcome out = search.ShowTreeSection(treeNode("Мелодии", "Поп"), 1);
    // Listed by the model (no order code needed here).
    EXPECT_EQ(ids(tables.ResultSound), (Ids{s1}));
    EXPECT_EQ(out.opened, SectionSounds);
    cat.RebuildTree(2);
    EXPECT_TRUE(cat.Tree.empty());
}

TEST_F(SearchTest, ListingEndsWhenSameNamedGenresFormALoop) {
    // Start-up chained the first provider's genre to the second's. A model that reaches the
    // second first chains them back the other way: a loop.
    ASSERT_EQ(cat.Nodes[cat.nodeOf(arcade1)].Next, cat.nodeOf(arcade2));
    cat.RebuildTree(3);
    ASSERT_EQ(cat.Nodes[cat.nodeOf(arcade2)].Next, cat.nodeOf(arcade1));
    std::int32_t arcade = treeNode("Игры", "Аркады");
    ASSERT_EQ(arcade, cat.nodeOf(arcade2));
    SearchOutcome out = search.ShowTreeSection(arcade, 3);
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g3}));
    EXPECT_EQ(out.total, 2);
    search.ShowTreeSection(arcade, 0);
    EXPECT_EQ(sorted(ids(tables.ResultGames)), (Ids{g1, g2, g3}));
}

TEST(SearchPhrase, ConditionRules) {
    EXPECT_EQ(CatalogueSearch::phraseCondition(""), "");
    EXPECT_EQ(CatalogueSearch::phraseCondition(" "), "");
    EXPECT_EQ(CatalogueSearch::phraseCondition("\t"), "");
    EXPECT_EQ(u8(CatalogueSearch::phraseCondition(cp("ёлка ring"))), "ЁЛКА RING");
    EXPECT_EQ(CatalogueSearch::phraseCondition("  "), "  ");
}

TEST_F(SearchTest, EntriesStayReadableAfterTheSearchObjectIsGone) {
    ResultTables own;
    {
        NullSearchView quiet;
        CatalogueSearch once(cat, own, layout, quiet);
        SearchCriteria c;
        c.phrase = cp("Песня");
        once.ButtonFindClick(c);
    }
    ASSERT_EQ(own.ResultSound.RecordCount(), 1);
    EXPECT_EQ(u8(own.ResultSound.TextAt(1, "Descript")), "Исполнитель А");
}
