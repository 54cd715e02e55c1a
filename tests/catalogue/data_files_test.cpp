#include "cp1251.h"
#include "data_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace vexa;

namespace {
std::string hex(const std::string& s) {
    std::string out;
    char buf[4];
    for (unsigned char c : s) {
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}
} // namespace

TEST(DataFiles, WorkedExampleOfASoftRecord) {
    TSoftRecord r;
    r.Level = 4;
    r.ParentID = 7;
    r.Brief = "Ab";
    r.Image1 = "a.jpg";
    std::string bytes;
    appendSoftRecord(bytes, r);
    EXPECT_EQ(hex(bytes), "04 07 00 00 00 02 41 62 05 61 2E 6A 70 67 00 00 00 00 00 ");
    ASSERT_EQ(bytes.size(), 19u);

    RecordReader in(bytes);
    TSoftRecord back;
    back.CodeSlots.fill(5);
    EXPECT_EQ(readSoftRecord(in, back), 19);
    EXPECT_EQ(back.Level, 4);
    EXPECT_EQ(back.ParentID, 7);
    EXPECT_EQ(back.Brief, "Ab");
    EXPECT_EQ(back.Image1, "a.jpg");
    EXPECT_TRUE(back.Descript.empty());
    for (int slot : back.CodeSlots)
        EXPECT_EQ(slot, -1);
    EXPECT_EQ(readSoftRecord(in, back), 0);
}

TEST(DataFiles, LengthFieldsOfTextsAndLists) {
    TSoftRecord r;
    r.Level = 2;
    r.Descript = std::string(300, 'x');
    std::string bytes;
    appendSoftRecord(bytes, r);
    // 1 + 4 + 5 empty short texts, then the 16-bit length 300 = 2C 01.
    EXPECT_EQ(hex(bytes.substr(10, 2)), "2C 01 ");
    EXPECT_EQ(bytes.size(), 12u + 300u);

    TModelRecord m;
    m.Model = "X";
    EXPECT_EQ(hex(encodeModelsFile({m})), "01 58 00 00 ");

    TSoftCodeRecord c;
    c.SoftID = 3;
    c.Code = "123456789012345";
    c.ModelIndexes = {1, 2};
    EXPECT_EQ(hex(encodeCodesFile({c})),
              "03 00 00 00 0F 31 32 33 34 35 36 37 38 39 30 31 32 33 34 35 02 00 01 00 00 00 02 00 00 00 ");

    TOperatorRecord o{cp("МТС"), 258, "r"};
    EXPECT_EQ(hex(encodeContentFile({o})), "03 CC D2 D1 02 01 00 00 01 00 72 ");
}

TEST(DataFiles, WritersCutTextsAtTheirLengthField) {
    TSoftRecord r;
    r.Level = 4;
    r.Brief = std::string(300, 'b');
    r.Descript = std::string(70000, 'd');
    TSoftCodeRecord c;
    c.Code = "12345678901234567890";
    RecordReader soft(encodeSoftFile({r}));
    RecordReader codes(encodeCodesFile({c}));
    TSoftRecord rb;
    TSoftCodeRecord cb;
    readSoftRecord(soft, rb);
    readCodeRecord(codes, cb);
    EXPECT_EQ(rb.Brief.size(), 255u);
    EXPECT_EQ(rb.Descript.size(), 65535u);
    EXPECT_EQ(cb.Code, "123456789012345");
}

TEST(DataFiles, RoundTripOfEveryFile) {
    std::vector<TSoftRecord> soft(3);
    soft[0].Level = 1;
    soft[0].Brief = cp("Провайдер");
    soft[0].Image4 = "P\\";
    soft[1].Level = 2;
    soft[1].Brief = cp("Игры");
    soft[1].Image4 = "1";
    soft[1].Descript = std::string(65535, 'z');
    soft[2].Level = 4;
    soft[2].ParentID = -5;
    soft[2].Image2 = std::string(255, '\xFF');
    std::vector<TModelRecord> models(2);
    models[0].Model = "Nokia";
    models[0].SoftIDs = {2, 0x7FFFFFFF, -1};
    std::vector<TSoftCodeRecord> codes(1);
    codes[0].SoftID = 2;
    codes[0].Code = "A1";
    codes[0].ModelIndexes.assign(65535, 1);
    std::vector<TOperatorRecord> ops = {{"", 0, ""}, {cp("Билайн"), 0, std::string(1000, 'q')}};

    RecordReader s(encodeSoftFile(soft)), m(encodeModelsFile(models)), c(encodeCodesFile(codes)),
        o(encodeContentFile(ops));
    for (const auto& want : soft) {
        TSoftRecord got;
        ASSERT_GT(readSoftRecord(s, got), 0);
        EXPECT_EQ(got.Level, want.Level);
        EXPECT_EQ(got.ParentID, want.ParentID);
        EXPECT_EQ(got.Brief, want.Brief);
        EXPECT_EQ(got.Image2, want.Image2);
        EXPECT_EQ(got.Image4, want.Image4);
        EXPECT_EQ(got.Descript, want.Descript);
    }
    for (const auto& want : models) {
        TModelRecord got;
        ASSERT_EQ(readModelRecord(m, got),
                  static_cast<int>(1 + want.Model.size() + 2 + 4 * want.SoftIDs.size()));
        EXPECT_EQ(got.Model, want.Model);
        EXPECT_EQ(got.SoftIDs, want.SoftIDs);
    }
    TSoftCodeRecord gotCode;
    EXPECT_EQ(readCodeRecord(c, gotCode), 4 + 1 + 2 + 2 + 4 * 65535);
    EXPECT_EQ(gotCode.ModelIndexes.size(), 65535u);
    for (const auto& want : ops) {
        TOperatorRecord got;
        ASSERT_GT(readOperatorRecord(o, got), 0);
        EXPECT_EQ(got.Operator, want.Operator);
        EXPECT_EQ(got.Regions, want.Regions);
    }
    TOperatorRecord none;
    EXPECT_EQ(readOperatorRecord(o, none), 0);
}

TEST(DataFiles, RecordCutShortKeepsWhatWasRead) {
    TSoftRecord r;
    r.Level = 4;
    r.ParentID = 1;
    r.Brief = "Hello";
    std::string bytes = encodeSoftFile({r}).substr(0, 8); // level, parent, length 5, "He"
    RecordReader in(bytes);
    TSoftRecord got;
    EXPECT_EQ(readSoftRecord(in, got), 8);
    EXPECT_EQ(got.Brief, "He");
    EXPECT_TRUE(got.Image1.empty());
    EXPECT_EQ(readSoftRecord(in, got), 0);

    // A model whose list claims more elements than the file holds.
    std::string model("\x01M\xFF\xFF\x05\x00\x00\x00\x06\x00", 10);
    RecordReader min(model);
    TModelRecord m;
    EXPECT_EQ(readModelRecord(min, m), 10);
    EXPECT_EQ(m.SoftIDs, (std::vector<std::int32_t>{5, 6}));
}

TEST(DataFiles, SectionKindOfCategory) {
    EXPECT_EQ(sectionKindOf("1"), 1);
    EXPECT_EQ(sectionKindOf("3"), 3);
    EXPECT_EQ(sectionKindOf(""), 0);
    EXPECT_EQ(sectionKindOf("2x"), 0);
    EXPECT_EQ(sectionKindOf(" 2"), 2);
    EXPECT_EQ(sectionKindOf("$3"), 3);
    EXPECT_EQ(sectionKindOf("2 "), 0);
    EXPECT_EQ(sectionKindOf("258"), 2); // kept in 8 bits
}
