// Broken data files: records out of place, bad links, cut-short and random bytes. Run under
// the sanitizers, these also prove that no input reads or writes out of bounds.
#include "catalogue.h"
#include "cp1251.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <random>

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

int damageOf(const Catalogue& cat, const std::string& file) {
    for (const auto& d : cat.damage())
        if (d.file == file)
            return d.records;
    return 0;
}

// Every loader and the filter for every model must run on whatever loaded.
void exercise(Catalogue& cat) {
    loadAll(cat);
    std::int64_t shown = 0;
    for (const auto& c : cat.Tree)
        for (const auto& g : c.Children)
            shown += cat.Nodes[g.Node].ItemCount;
    EXPECT_EQ(shown, cat.TotalCount);
    for (size_t m = 0; m <= cat.Models.size() && m < 8; ++m)
        cat.RebuildTree(static_cast<int>(m));
}

SoftBuilder sampleSoft() {
    SoftBuilder b;
    b.provider("P", "P\\");
    b.category("Игры", 1);
    b.genre("Аркады", "A\\");
    b.item("a1", "<b>desc</b>");
    b.item("a2");
    b.category("Мелодии", 3);
    b.genre("Поп");
    b.item("s1");
    b.provider("Q");
    b.category("Картинки", 2);
    b.genre("Природа");
    b.item("p1");
    return b;
}

} // namespace

TEST(BrokenFiles, RecordsOutOfOrderAreSkippedAndTheRestLoads) {
    ScratchDir dir;
    SoftBuilder b;
    int orphanCategory = b.category("Сирота", 1); // before any provider
    b.records[orphanCategory].ParentID = 0;
    b.provider("P");
    b.category("Игры", 1);
    int genre = b.genre("Аркады");
    b.item("good");
    int badParent = b.item("bad parent");
    b.records[badParent].ParentID = 0;
    b.item("after the break"); // the genre's run was broken
    int badLevel = b.item("level 9");
    b.records[badLevel].Level = 9;
    b.genre("Гонки");
    b.item("race");
    writeCatalogue(dir.path(), b.records);
    Catalogue cat(dir.path());
    loadAll(cat);
    EXPECT_EQ(damageOf(cat, kSoftFile), 4);
    // SoftIDs stay positions in the file.
    ASSERT_EQ(cat.Content.size(), b.records.size());
    EXPECT_TRUE(cat.Content[orphanCategory].Rejected);
    EXPECT_FALSE(cat.Content[genre].Rejected);
    EXPECT_EQ(cat.TotalCount, 2);
    ASSERT_EQ(cat.Tree.size(), 1u);
    EXPECT_EQ(u8(cat.Tree[0].Text), "Игры [2]");
}

TEST(BrokenFiles, BadLinksInModelsCodesAndOperatorsAreLeftOut) {
    ScratchDir dir;
    SoftBuilder b = sampleSoft();
    std::vector<TModelRecord> models = {{"M0", "", {3, 1, 99, -4, 4}}, {"M1", "", {7}}};
    std::vector<TSoftCodeRecord> codes = {
        {3, "good", {0, 1}}, {2, "genre", {0}},    // not an item
        {-1, "neg", {0}},    {4, "model", {0, 2}}, // no model 2
        {4, "ok", {1}},
    };
    std::vector<TOperatorRecord> ops = {{"A", 0, ""}, {"B", 1, ""}, {"C", 500, ""}, {"D", 8, ""}};
    writeCatalogue(dir.path(), b.records, models, codes, ops);
    // A code record with a 16-byte code, which the writer would never produce.
    std::string raw = readFile(dir / kCodesFile);
    raw += std::string("\x03\x00\x00\x00\x10", 5) + "1234567890123456" +
           std::string("\x01\x00\x00\x00\x00\x00", 6);
    writeFile(dir / kCodesFile, raw);
    Catalogue cat(dir.path());
    loadAll(cat);
    EXPECT_EQ(cat.Models[0].SoftIDs, (std::vector<std::int32_t>{3, 4}));
    EXPECT_EQ(damageOf(cat, kModelsFile), 1);
    EXPECT_EQ(cat.Codes.size(), 2u);
    EXPECT_EQ(damageOf(cat, kCodesFile), 4);
    EXPECT_EQ(cat.Content[3].CodeSlots[0], 0);
    EXPECT_EQ(cat.Content[4].CodeSlots[0], 1);
    EXPECT_EQ(cat.Operators.size(), 2u);
    EXPECT_EQ(damageOf(cat, kContentFile), 2);
    cat.RebuildTree(1);
    EXPECT_EQ(cat.TotalCount, 2);
}

TEST(BrokenFiles, CutShortFilesLoadTheirWholeRecords) {
    SoftBuilder b = sampleSoft();
    std::vector<TModelRecord> models = {{"Model A", "", {3, 4, 7}}, {"Model B", "", {11}}};
    std::vector<TSoftCodeRecord> codes = {{3, "111", {0}}, {7, "222", {0, 1}}};
    std::vector<TOperatorRecord> ops = {{"Op", 0, "regions text"}, {"Op2", 8, "more"}};
    ScratchDir whole;
    writeCatalogue(whole.path(), b.records, models, codes, ops);
    for (const char* file : {kSoftFile, kModelsFile, kCodesFile, kContentFile}) {
        std::string full = readFile(whole / file);
        for (size_t cut = 0; cut < full.size(); ++cut) {
            ScratchDir dir;
            writeCatalogue(dir.path(), b.records, models, codes, ops);
            writeFile(dir / file, full.substr(0, cut));
            Catalogue cat(dir.path());
            exercise(cat);
        }
    }
}

TEST(BrokenFiles, FlippedBitsAndRandomBytesNeverBreakLoading) {
    SoftBuilder b = sampleSoft();
    std::vector<TModelRecord> models = {{"Model A", "", {3, 4, 7}}, {"Model B", "", {11}}};
    std::vector<TSoftCodeRecord> codes = {{3, "111", {0}}, {7, "222", {0, 1}}};
    std::vector<TOperatorRecord> ops = {{"Op", 0, "regions text"}, {"Op2", 8, "more"}};
    ScratchDir whole;
    writeCatalogue(whole.path(), b.records, models, codes, ops);
    std::mt19937 rng(20261209);
    for (const char* file : {kSoftFile, kModelsFile, kCodesFile, kContentFile}) {
        std::string full = readFile(whole / file);
        for (size_t bit = 0; bit < full.size() * 8; bit += 3) {
            ScratchDir dir;
            writeCatalogue(dir.path(), b.records, models, codes, ops);
            std::string flipped = full;
            flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (1 << (bit % 8)));
            writeFile(dir / file, flipped);
            Catalogue cat(dir.path());
            exercise(cat);
        }
        for (int round = 0; round < 40; ++round) {
            ScratchDir dir;
            writeCatalogue(dir.path(), b.records, models, codes, ops);
            std::string noise(rng() % 600, '\0');
            for (char& c : noise)
                c = static_cast<char>(rng());
            writeFile(dir / file, noise);
            Catalogue cat(dir.path());
            exercise(cat);
        }
    }
}
