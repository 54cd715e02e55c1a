// Sheet "Model": the model list, links to items, order codes and unknown references.
#include "import_fixture.h"

using namespace vexa;
using namespace vexa::test;
using Strings = std::vector<std::string>;
using Ints = std::vector<std::int32_t>;

namespace {
class ModelSheet : public ImportFixture {
protected:
    ModelSheet() {
        state.NoFileChecks = true;
        // SoftIDs: 0 P, 1 C, 2 G, 3 Snake, 4 Tetris, 5 Q, 6 C, 7 G, 8 Snake (under Q)
        rows("Soft", 1,
             {{"P"},
              {"", "C"},
              {"", "", "G"},
              {"", "", "", "<b>Snake</b>"},
              {"", "", "", "Тетрис"},
              {"Q"},
              {"", "C"},
              {"", "", "G"},
              {"", "", "", "Snake"}});
        book.setRow("Model", 1, {cp("Контент"), cp("Название"), cp("Код"), cp("Модели")});
    }
    std::vector<std::string> modelNames() const {
        std::vector<std::string> out;
        for (const auto& m : state.models)
            out.push_back(u8(m.Model));
        return out;
    }
    int model(const std::string& utf8Name) const {
        for (std::size_t i = 0; i < state.models.size(); ++i)
            if (state.models[i].Model == cp(utf8Name))
                return static_cast<int>(i);
        return -1;
    }
};
} // namespace

TEST_F(ModelSheet, ModelsAreCollectedOnceUnderTheirFirstSpellingAndSorted) {
    rows("Model", 2,
         {{"P", "Snake", "1", "nokia 3310, Alpha 100"},
          {"P", "", "1", "Ignored because the item is empty"},
          {"X", "Unknown", "1", "ALPHA100\nbeta"},
          {"P", "Snake", "1", "alpha 10 0, Сименс"}});
    run();
    EXPECT_EQ(modelNames(), (Strings{"Alpha 100", "beta", "nokia 3310", "Сименс"}));
    // A model named only on a row whose item is unknown is kept, without items.
    EXPECT_TRUE(state.models[model("beta")].SoftIDs.empty());
    EXPECT_EQ(state.models[model("Alpha 100")].MatchKey, "ALPHA100");
}

TEST_F(ModelSheet, CodesPerItemAndModelInFirstAppearanceOrder) {
    rows("Model", 2,
         {{"P", "snake", "A1", "M1, M2"},
          {"p", "SNAKE", "B2", "M2, M3"},
          {"P", "Snake", "A1", "M4"},
          {"P", "Тетрис", "A1", "M1"}});
    run();
    ASSERT_EQ(state.codes.size(), 3u);
    EXPECT_EQ(state.codes[0].SoftID, 3);
    EXPECT_EQ(state.codes[0].Code, "A1");
    EXPECT_EQ(state.codes[0].ModelIndexes, (Ints{model("M1"), model("M2"), model("M4")}));
    EXPECT_EQ(state.codes[1].Code, "B2");
    EXPECT_EQ(state.codes[1].ModelIndexes, Ints{model("M3")});
    EXPECT_EQ(state.codes[2].SoftID, 4);
    EXPECT_EQ(state.models[model("M1")].SoftIDs, (Ints{3, 4}));
    EXPECT_EQ(state.models[model("M2")].SoftIDs, Ints{3});
    EXPECT_EQ(protocol(), Strings{"Дубликат софта-модели. Строка 3 Модель M2"});
}

TEST_F(ModelSheet, DuplicateLinksRespectTheSwitch) {
    rows("Model", 2, {{"P", "Snake", "A1", "M1"}, {"P", "Snake", "A1", "m 1"}});
    state.NoDuplicateWarnings = true;
    run();
    EXPECT_TRUE(protocol().empty());
    EXPECT_TRUE(state.ProblemsFound);
    EXPECT_EQ(state.codes.size(), 1u);
    EXPECT_EQ(state.codes[0].ModelIndexes.size(), 1u);
}

TEST_F(ModelSheet, LongCodesAreCutButCompareWhole) {
    std::string code(20, 'C');
    rows("Model", 2,
         {{"P", "Snake", code, "M1"}, {"P", "Snake", code, "M2"}, {"P", "Snake", code.substr(0, 15), "M3"}});
    run();
    ASSERT_EQ(state.codes.size(), 2u);
    EXPECT_EQ(state.codes[0].Code, std::string(15, 'C'));
    EXPECT_EQ(state.codes[1].Code, std::string(15, 'C'));
    // The 15-character code equals the stored, cut codes; it joins the first of them.
    EXPECT_EQ(state.codes[0].ModelIndexes, (Ints{model("M1"), model("M3")}));
    EXPECT_EQ(state.codes[1].ModelIndexes, (Ints{model("M2")}));
}

TEST_F(ModelSheet, UnknownReferencesAreSkippedWithTheirLine) {
    rows("Model", 2,
         {{"Q", "Тетрис", "1", "M1"},           // wrong provider
          {"P", "Tetris", "1", "M1"},           // wrong name
          {"  P ", "<i>тетрис</i>", "1", "M1"}, // trimmed, tags and case do not matter
          {"Q", "snake", "2", "M1"}});          // the other provider's item of that name
    run();
    EXPECT_EQ(protocol(),
              (Strings{"Пропускаю неопределенную ссылку телефонов на программу ТЕТРИС контент Q",
                       "Пропускаю неопределенную ссылку телефонов на программу TETRIS контент P"}));
    EXPECT_EQ(state.models[0].SoftIDs, (Ints{4, 8}));
}

TEST_F(ModelSheet, ItemsRejectedAsStructureErrorsCannotBeLinked) {
    rows("Soft", 10, {{"R"}, {"", "", "", "Stray"}});
    rows("Model", 2, {{"R", "Stray", "1", "M1"}});
    run();
    EXPECT_EQ(protocol(),
              (Strings{"Ошибка в структуре. Нет родителя для Stray",
                       "Пропускаю неопределенную ссылку телефонов на программу STRAY контент R"}));
}

TEST_F(ModelSheet, TooLongModelNamesAreCutAndReported) {
    rows("Model", 2, {{"P", "Snake", "1", "x" + std::string(260, ' ') + "y"}});
    run();
    ASSERT_EQ(state.models.size(), 1u);
    EXPECT_EQ(state.models[0].Model.size(), 255u);
    EXPECT_EQ(state.models[0].MatchKey, "XY");
    EXPECT_EQ(protocol(),
              Strings{"Предупреждение: слишком длинный текст обрезан. Лист Model, строка 2, столбец 4"});
    EXPECT_EQ(state.models[0].SoftIDs, Ints{3});
}

TEST_F(ModelSheet, AModelKeyTooLongToStoreStopsTheRun) {
    rows("Model", 2, {{"P", "Snake", "1", std::string(256, 'k')}});
    EXPECT_THROW(run(), ImportStopped);
    EXPECT_EQ(boxes(), Strings{"Стоп: Проблема в логике 1"});
}

TEST_F(ModelSheet, ProgressIsRedForBothPassesWithTheFirstPassRowCount) {
    rows("Model", 2, {{"P", "Snake", "1", "M1"}, {"P", "Snake", "1", "M2"}});
    ReadModelSheet(book, state, host);
    book.set("Model", 9, 1, "grows after the first pass");
    ReadSoftSheet(book, state, host);
    progress.calls.clear();
    progress.steps = 0;
    LinkModelsToSoft(book, state, host);
    EXPECT_EQ(progress.calls, (Strings{"color 255", "position 0", "max 3"}));
    EXPECT_EQ(progress.steps, 2);
}

TEST_F(ModelSheet, ASheetEndingInRowOneGivesNothing) {
    run();
    EXPECT_TRUE(state.models.empty());
    EXPECT_TRUE(state.codes.empty());
    EXPECT_EQ(progress.steps, 9); // the nine rows of sheet "Soft" only
}
