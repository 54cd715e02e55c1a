// How cell texts are trimmed, split into model names and turned into descriptions.
#include "cp1251.h"
#include "import_passes.h"

#include <gtest/gtest.h>

using namespace vexa;

TEST(TrimCell, RemovesLeadingSpacesAndTrailingSpacesAndLineFeeds) {
    EXPECT_EQ(TrimCell("  a b \n \n"), "a b");
    EXPECT_EQ(TrimCell("\tx\t"), "\tx\t"); // tabs stay
    EXPECT_EQ(TrimCell("\nx"), "\nx");     // a leading line feed stays
    EXPECT_EQ(TrimCell("x\r\n"), "x\r");   // a carriage return stays
    EXPECT_EQ(TrimCell("   "), "");
    EXPECT_EQ(TrimCell(""), "");
}

TEST(SplitModelList, CommasAndLineBreaksSeparateTheSameModels) {
    auto byComma = SplitModelList("Alpha 100, Beta 7");
    auto byLine = SplitModelList("Alpha 100\r\nBeta 7");
    using P = std::pair<std::string, std::string>;
    std::vector<P> expected{P("Alpha 100", "ALPHA100"), P("Beta 7", "BETA7")};
    EXPECT_EQ(byComma, expected);
    EXPECT_EQ(byLine, expected);
}

TEST(SplitModelList, EmptyPartsAndControlCharactersAreSkipped) {
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(SplitModelList("A,,B,"), (std::vector<P>{P("A", "A"), P("B", "B")}));
    EXPECT_EQ(SplitModelList("A,\t,B"), (std::vector<P>{P("A", "A"), P("B", "B")}));
    EXPECT_EQ(SplitModelList("A#1, b  c"), (std::vector<P>{P("A 1", "A1"), P("b  c", "BC")}));
    EXPECT_TRUE(SplitModelList("").empty());
    EXPECT_TRUE(SplitModelList(" , \n ,").empty());
}

TEST(SplitModelList, MatchKeysUpperCaseCyrillicLetters) {
    auto parts = SplitModelList(cp("Сименс с55"));
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].first, cp("Сименс с55"));
    EXPECT_EQ(parts[0].second, cp("СИМЕНСС55"));
}

TEST(ConvertDescription, LineBreaksHashesAndBlockQuotes) {
    EXPECT_EQ(ConvertDescription("one\ntwo"), "one# two");
    EXPECT_EQ(ConvertDescription("#x"), "# x");
    EXPECT_EQ(ConvertDescription("# x"), "# x");
    EXPECT_EQ(ConvertDescription("a#"), "a# ");
    EXPECT_EQ(ConvertDescription("a\n\nb"), "a# # b");
    EXPECT_EQ(ConvertDescription("<bq>x<bq>"), "\tx\t");
    EXPECT_EQ(ConvertDescription("a\r\nb"), "a\r# b"); // carriage returns stay
    EXPECT_EQ(ConvertDescription(""), "");
}

TEST(CompareNames, LatinCaseIgnoredOtherBytesByCode) {
    TOperatorRecord beta{"Beta", 0, ""}, alpha{"alpha", 0, ""}, al{"al", 0, ""};
    EXPECT_LT(CompareOperatorNames(alpha, beta), 0);
    EXPECT_LT(CompareOperatorNames(al, alpha), 0);
    TModelRecord a{cp("Я"), "", {}}, b{cp("а"), "", {}}, c{"Z", "", {}};
    EXPECT_LT(CompareModelNames(a, b), 0); // 0xDF before 0xE0: Cyrillic by code
    EXPECT_LT(CompareModelNames(c, a), 0);
    TModelRecord x{"NOKIA", "", {}}, y{"nokia", "", {}};
    EXPECT_EQ(CompareModelNames(x, y), 0);
}
