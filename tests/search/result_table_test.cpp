// The result tables: field widths, the order of each index, moving, and values that are
// produced only when read.
#include "result_tables.h"

#include <gtest/gtest.h>

using namespace vexa;

namespace {

void addGame(ResultTable& t, const std::string& name, int id) {
    t.Insert();
    t.SetText("Naimen", name);
    t.SetInt("SoftID", id);
    t.Post();
}

std::vector<std::string> column(const ResultTable& t, const std::string& field) {
    std::vector<std::string> out;
    for (int r = 1; r <= t.RecordCount(); ++r)
        out.push_back(t.TextAt(r, field));
    return out;
}

using Strings = std::vector<std::string>;

} // namespace

TEST(ResultTables, TextsAreCutToTheirWidths) {
    ResultTables t;
    t.ResultGames.Insert();
    t.ResultGames.SetText("Naimen", std::string(150, 'n'));
    t.ResultGames.SetText("Genre", "[" + std::string(19, 'g') + "]");
    t.ResultGames.SetText("GenreDir", std::string(45, 'd'));
    t.ResultGames.SetText("Descript", std::string(600, 'x'));
    t.ResultGames.Post();
    EXPECT_EQ(t.ResultGames.Text("Naimen"), std::string(100, 'n'));
    // A 19-character genre loses its closing bracket.
    EXPECT_EQ(t.ResultGames.Text("Genre"), "[" + std::string(19, 'g'));
    EXPECT_EQ(t.ResultGames.Text("GenreDir").size(), 40u);
    EXPECT_EQ(t.ResultGames.Text("Descript").size(), 500u);
    // A produced text is cut the same way.
    t.ResultSound.setTextProducer("Descript", [](const std::string&) { return std::string(700, 'p'); });
    t.ResultSound.Insert();
    t.ResultSound.SetDeferredText("Descript", "k");
    t.ResultSound.Post();
    EXPECT_EQ(t.ResultSound.Text("Descript").size(), 500u);
}

TEST(ResultTables, GamesAreOrderedByNameWhateverTheInsertOrder) {
    ResultTables t;
    ResultTable& g = t.ResultGames;
    addGame(g, "\xC2\xEE\xE9\xED\xE0", 1); // "Война"
    addGame(g, "beta", 2);
    addGame(g, "Alpha", 3);
    addGame(g, "\xE0\xE7\xE1\xF3\xEA\xE0", 4); // "азбука"
    addGame(g, "alpha", 5);
    EXPECT_EQ(g.indexName(), "ResultGamesIndex1");
    ASSERT_EQ(g.RecordCount(), 5);
    std::vector<int> order;
    for (int r = 1; r <= 5; ++r)
        order.push_back(g.IntAt(r, "SoftID"));
    // Case does not separate names; Latin before Cyrillic; а before В.
    EXPECT_EQ(order, (std::vector<int>{3, 5, 2, 4, 1}));
    // The record just posted stays current, at its sorted place.
    EXPECT_EQ(g.RecNo(), 2);
    EXPECT_EQ(g.Int("SoftID"), 5);
}

TEST(ResultTables, SoundIndexesAndMoving) {
    ResultTables t;
    ResultTable& s = t.ResultSound;
    const char* rows[][2] = {{"b-title", "Zed"}, {"a-title", "Mia"}, {"c-title", "Abe"}};
    for (auto& r : rows) {
        s.Insert();
        s.SetText("Naimen", r[0]);
        s.SetText("Descript", r[1]);
        s.Post();
    }
    EXPECT_EQ(s.indexName(), "DescriptDn");
    EXPECT_EQ(column(s, "Descript"), (Strings{"Zed", "Mia", "Abe"}));
    ASSERT_TRUE(s.SetIndex("NaimenUp"));
    EXPECT_EQ(column(s, "Naimen"), (Strings{"a-title", "b-title", "c-title"}));
    ASSERT_TRUE(s.SetIndex("NaimenDn"));
    EXPECT_EQ(column(s, "Naimen"), (Strings{"c-title", "b-title", "a-title"}));
    ASSERT_TRUE(s.SetIndex("DescriptUp"));
    EXPECT_EQ(column(s, "Descript"), (Strings{"Abe", "Mia", "Zed"}));
    EXPECT_FALSE(s.SetIndex("Nothing"));
    EXPECT_EQ(s.indexName(), "DescriptUp");

    s.Last();
    EXPECT_EQ(s.RecNo(), 3);
    EXPECT_EQ(s.Text("Descript"), "Zed");
    s.First();
    EXPECT_EQ(s.RecNo(), 1);
    EXPECT_TRUE(s.MoveTo(2));
    EXPECT_EQ(s.Text("Naimen"), "a-title");
    EXPECT_FALSE(s.MoveTo(4));
    EXPECT_FALSE(s.MoveTo(0));
    EXPECT_EQ(s.RecNo(), 2);
    s.Empty();
    EXPECT_EQ(s.RecordCount(), 0);
    EXPECT_EQ(s.RecNo(), 0);
    EXPECT_EQ(s.Text("Naimen"), "");
    EXPECT_EQ(s.Int("SoftID"), 0);
}

TEST(ResultTables, UnindexedTableInsertsAfterTheCurrentRecord) {
    ResultTables t;
    ResultTable& p = t.ResultImage;
    for (int id : {10, 20, 30}) {
        p.Insert();
        p.SetInt("SoftID", id);
        p.Post();
    }
    p.MoveTo(1);
    p.Insert();
    p.SetInt("SoftID", 15);
    p.Post();
    std::vector<int> order;
    for (int r = 1; r <= p.RecordCount(); ++r)
        order.push_back(p.IntAt(r, "SoftID"));
    EXPECT_EQ(order, (std::vector<int>{10, 15, 20, 30}));
    EXPECT_EQ(p.RecNo(), 2);
}

TEST(ResultTables, DeferredValuesAreMadeWhenReadAndCachedWithinBounds) {
    ResultTables t;
    ResultTable& p = t.ResultImage;
    int made = 0;
    p.setPictureProducer("Image1", [&](const std::string& key) {
        ++made;
        QImage img(static_cast<int>(key.size()), 1, QImage::Format_RGB32);
        img.fill(Qt::blue);
        return img;
    });
    p.setCacheLimits(16, 2);
    for (int i = 0; i < 1000; ++i) {
        p.Insert();
        p.SetInt("SoftID", i);
        p.SetDeferredPicture("Image1", std::string(static_cast<std::size_t>(i % 7 + 1), 'k'));
        p.Post();
    }
    EXPECT_EQ(made, 0); // nothing made while the table filled
    EXPECT_EQ(p.PictureAt(3, "Image1").width(), 3);
    EXPECT_EQ(p.PictureAt(3, "Image1").width(), 3);
    EXPECT_EQ(made, 1);
    p.PictureAt(4, "Image1");
    p.PictureAt(5, "Image1");
    EXPECT_EQ(made, 3);
    EXPECT_EQ(p.PictureAt(3, "Image1").width(), 3); // dropped from the two-entry cache
    EXPECT_EQ(made, 4);
    // An entry without a picture reads as a null picture.
    p.Insert();
    p.Post();
    EXPECT_TRUE(p.Picture("Image1").isNull());
}
