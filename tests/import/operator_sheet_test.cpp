// Sheet "Operator": providers found by name, silent skips, the sort by operator name.
#include "import_fixture.h"

using namespace vexa;
using namespace vexa::test;

namespace {
class OperatorSheet : public ImportFixture {
protected:
    OperatorSheet() {
        state.NoFileChecks = true;
        rows("Soft", 1, {{"Игры Плюс"}, {"<b>Bold</b>"}, {"Second"}, {"игры плюс"}});
    }
};
} // namespace

TEST_F(OperatorSheet, ProvidersAreFoundByUpperCasedNameOnly) {
    rows("Operator", 1,
         {{"Оператор", "Контент", "Регионы"},
          {"Beta", "ИГРЫ ПЛЮС", "Москва"},
          {"alpha", "Bold", "tags differ"},
          {"alpha", "<B>bold</B>", "upper-cased tags"},
          {"alpha", "<b>bold</b>", ""},
          {"", "second", "no operator name"}});
    run();
    ASSERT_EQ(state.operators.size(), 4u);
    EXPECT_EQ(state.operators[0].Operator, "Beta");
    EXPECT_EQ(state.operators[0].ContentID, 0); // the first of two providers of that name
    EXPECT_EQ(state.operators[0].Regions, cp("Москва"));
    // Upper-casing reaches the tags too, so only a difference in tags fails to match.
    EXPECT_EQ(state.operators[1].ContentID, 1);
    EXPECT_EQ(state.operators[1].Regions, "upper-cased tags");
    EXPECT_EQ(state.operators[2].ContentID, 1);
    EXPECT_EQ(state.operators[2].Regions, "");
    EXPECT_EQ(state.operators[3].Operator, "");
    EXPECT_EQ(state.operators[3].ContentID, 2);
    EXPECT_FALSE(state.ProblemsFound);
    EXPECT_EQ(progress.steps, 4); // the operator pass leaves the progress line alone
}

TEST_F(OperatorSheet, SortKeepsOneOperatorTogetherAndEqualNamesInSheetOrder) {
    rows("Operator", 1,
         {{"mts", "Second", "1"},
          {"Beta", "Second", "2"},
          {"MTS", "Игры плюс", "3"},
          {"alpha", "Second", "4"},
          {"mts", "<b>bold</b>", "5"},
          {"_tele", "Second", "6"}});
    run();
    sortOperators(state);
    std::string order;
    for (const auto& o : state.operators)
        order += o.Regions;
    // Latin letters compare as capitals, so "_" (between "Z" and "a") comes after them all.
    EXPECT_EQ(order, "421356");
}

TEST_F(OperatorSheet, LongTextsAreCutAndReported) {
    rows("Operator", 1, {{std::string(256, 'o'), "Second", std::string(65536, 'r')}});
    run();
    ASSERT_EQ(state.operators.size(), 1u);
    EXPECT_EQ(state.operators[0].Operator.size(), 255u);
    EXPECT_EQ(state.operators[0].Regions.size(), 65535u);
    EXPECT_EQ(state.protocol.size(), 2u);
}

TEST_F(OperatorSheet, AMissingSheetIsAWorkbookError) {
    MemoryWorkbook other;
    other.addSheet("Model");
    other.addSheet("Soft");
    EXPECT_THROW(RunImportPasses(other, state, host), WorkbookError);
}

TEST_F(OperatorSheet, AProviderNameLongerThanItsFieldIsFoundByTheWholeName) {
    std::string longName(300, 'q');
    rows("Soft", 5, {{longName}});
    rows("Operator", 1, {{"op", longName, "whole"}, {"op", longName.substr(0, 255), "cut"}});
    run();
    ASSERT_EQ(state.operators.size(), 1u);
    EXPECT_EQ(state.operators[0].ContentID, 4);
    EXPECT_EQ(state.operators[0].Regions, "whole");
}
