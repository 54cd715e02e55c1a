// Sheet "Soft": levels, the tree's structure, duplicate names, folders and file checks.
#include "import_fixture.h"

using namespace vexa;
using namespace vexa::test;
using Strings = std::vector<std::string>;

namespace {
class SoftSheet : public ImportFixture {};
} // namespace

TEST_F(SoftSheet, LevelsParentsAndFieldsFollowTheColumns) {
    rows("Soft", 1,
         {{"Prov", "ignored", "", "", "i5", "i6", "i7", "", "d9"},
          {"", "Games", "", "", "c5.gif", "c6.gif", "c7", "1", "cat\ndesc"},
          {"", "", "Action", "", "g5.gif", "g6.gif", "g7", "act\\", "gd"},
          {"", "", "", "Item", "p1.jpg", "p2.jpg", "p3.jpg", "p4.jpg", "text"},
          {"", "", "", "", "only", "columns", "five", "to", "nine"}});
    state.NoFileChecks = true;
    run();
    ASSERT_EQ(state.content.size(), 4u);
    const auto& p = state.content[0];
    EXPECT_EQ(p.Level, 1);
    EXPECT_EQ(p.ParentID, 0);
    EXPECT_EQ(p.Brief, "Prov");
    EXPECT_EQ(p.Image1 + p.Image2 + p.Image3 + p.Descript, "");
    EXPECT_EQ(p.Image4, "CONTENT1\\");
    const auto& c = state.content[1];
    EXPECT_EQ(c.ParentID, 0);
    EXPECT_EQ(c.Image1, "c5.gif");
    EXPECT_EQ(c.Image2, "c6.gif");
    EXPECT_EQ(c.Image3, "");
    EXPECT_EQ(c.Image4, "1");
    EXPECT_EQ(c.Descript, "cat# desc");
    const auto& g = state.content[2];
    EXPECT_EQ(g.ParentID, 1);
    EXPECT_EQ(g.Image3 + g.Descript, "");
    EXPECT_EQ(g.Image4, "act\\");
    const auto& i = state.content[3];
    EXPECT_EQ(i.ParentID, 2);
    EXPECT_EQ(i.Image1 + i.Image2 + i.Image3 + i.Image4, "p1.jpgp2.jpgp3.jpgp4.jpg");
    EXPECT_EQ(i.Descript, "text");
    EXPECT_EQ(state.ProviderIndexList, std::vector<std::int32_t>{0});
    EXPECT_FALSE(state.ProblemsFound);
    EXPECT_TRUE(shown.empty());
}

TEST_F(SoftSheet, StructureErrorsAreShownLoggedAndCascade) {
    rows("Soft", 1,
         {{"", "Orphan category"},
          {"", "", "Orphan genre"},
          {"P"},
          {"", "", "Genre under provider"},
          {"", "", "", "Item below the discarded genre"},
          {"", "Cat"},
          {"", "", "", "Item under category"},
          {"", "", "Genre"},
          {"", "", "", "Good item"}});
    state.NoFileChecks = true;
    run();
    Strings errors{"Ошибка в структуре. Нет родителя для Orphan category",
                   "Ошибка в структуре. Нет родителя для Orphan genre",
                   "Ошибка в структуре. Нет родителя для Genre under provider",
                   "Ошибка в структуре. Нет родителя для Item below the discarded genre",
                   "Ошибка в структуре. Нет родителя для Item under category"};
    EXPECT_EQ(protocol(), errors);
    Strings expectedBoxes;
    for (const auto& e : errors)
        expectedBoxes.push_back("Проблем-с: " + e);
    EXPECT_EQ(boxes(), expectedBoxes);
    EXPECT_EQ(briefs(), (Strings{"P", "Cat", "Genre", "Good item"}));
    EXPECT_EQ(state.content[3].ParentID, 2);
    EXPECT_TRUE(state.ProblemsFound);
}

TEST_F(SoftSheet, ANewProviderClearsTheGenreAndItemSlots) {
    rows("Soft", 1, {{"P1"}, {"", "C"}, {"", "", "G"}, {"", "", "", "I1"}, {"P2"}, {"", "", "", "I2"}});
    state.NoFileChecks = true;
    run();
    EXPECT_EQ(briefs(), (Strings{"P1", "C", "G", "I1", "P2"}));
    EXPECT_EQ(protocol(), Strings{"Ошибка в структуре. Нет родителя для I2"});
}

TEST_F(SoftSheet, DefaultProviderFoldersCountEveryProvider) {
    rows("Soft", 1, {{"A"}, {"B", "", "", "", "", "", "", "own\\"}, {"C"}});
    run();
    EXPECT_EQ(state.content[0].Image4, "CONTENT1\\");
    EXPECT_EQ(state.content[1].Image4, "own\\");
    EXPECT_EQ(state.content[2].Image4, "CONTENT3\\");
    EXPECT_EQ(state.ProviderIndexList, (std::vector<std::int32_t>{0, 1, 2}));
}

TEST_F(SoftSheet, TheProviderCounterWrapsAfter255) {
    std::vector<std::vector<std::string>> r;
    for (int i = 0; i < 257; ++i)
        r.push_back({"P" + std::to_string(i)});
    rows("Soft", 1, r);
    run();
    EXPECT_EQ(state.content[254].Image4, "CONTENT255\\");
    EXPECT_EQ(state.content[255].Image4, "CONTENT0\\");
    EXPECT_EQ(state.content[256].Image4, "CONTENT1\\");
}

TEST_F(SoftSheet, DuplicateItemNamesWithinOneProvider) {
    rows("Soft", 1,
         {{"P"},
          {"", "C"},
          {"", "", "G1"},
          {"", "", "", "<b>Snake</b>"},
          {"", "", "G2"},
          {"", "", "", "snake"},
          {"", "", "", "Змея"},
          {"", "", "", "<i>змея</i>"},
          {"Other"},
          {"", "C"},
          {"", "", "G"},
          {"", "", "", "Snake"}});
    state.NoFileChecks = true;
    run();
    EXPECT_EQ(protocol(),
              (Strings{"Внимание, дубликаты названия: SNAKE", "Внимание, дубликаты названия: ЗМЕЯ"}));
    // Every duplicate is kept, but the name index points at the first of each name.
    EXPECT_EQ(state.content.size(), 12u);
    ASSERT_EQ(state.nameIndex.size(), 3u);
    EXPECT_EQ(state.nameIndex[0].SoftID, 3);
    EXPECT_EQ(state.nameIndex[0].NameKey, "SNAKE");
    EXPECT_EQ(state.nameIndex[0].ProviderKey, "P");
    EXPECT_EQ(state.nameIndex[1].SoftID, 6);
    EXPECT_EQ(state.nameIndex[2].ProviderKey, "OTHER");
    EXPECT_TRUE(shown.empty());
}

TEST_F(SoftSheet, WithoutDuplicateWarningsTheProblemStillCounts) {
    rows("Soft", 1, {{"P"}, {"", "C"}, {"", "", "G"}, {"", "", "", "X"}, {"", "", "", "x"}});
    state.NoFileChecks = true;
    state.NoDuplicateWarnings = true;
    run();
    EXPECT_TRUE(protocol().empty());
    EXPECT_TRUE(state.ProblemsFound);
}

TEST_F(SoftSheet, FilesAreLookedUpUnderTheRightFolders) {
    rows("Soft", 1,
         {{"P", "", "", "", "", "", "", "prov\\"},
          {"", "C", "", "", "cat.gif", "abcd", "", "1"},
          {"", "", "G", "", "\\abs.gif", ".\\rel.gif", "", "gen\\"},
          {"", "", "", "I", "one.jpg", "two.jpg", "three.jpg", "a.gf"},
          {"P2"},
          {"", "C2", "", "", "x.gif"}});
    existing = {cp("prov\\gen\\two.jpg"), cp("prov\\cat.gif")};
    run();
    EXPECT_EQ(lookedUp.size(), 7u);
    EXPECT_EQ(protocol(), (Strings{"Предупреждение: Не найден файл \\abs.gif",
                                   "Предупреждение: Не найден файл .\\rel.gif",
                                   "Предупреждение: Не найден файл prov\\gen\\one.jpg",
                                   "Предупреждение: Не найден файл prov\\gen\\three.jpg",
                                   "Предупреждение: Не найден файл CONTENT2\\x.gif"}));
}

TEST_F(SoftSheet, NoFileChecksLooksUpNothing) {
    rows("Soft", 1, {{"P"}, {"", "C", "", "", "missing.gif"}});
    state.NoFileChecks = true;
    run();
    EXPECT_TRUE(lookedUp.empty());
    EXPECT_FALSE(state.ProblemsFound);
}

TEST_F(SoftSheet, RealFilesAreFoundWithoutRegardToCase) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.path() / "Prov" / "Gen");
    writeFile(dir.path() / "Prov" / "Gen" / "Pic.JPG", "x");
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    host.fileExists = nullptr;
    rows("Soft", 1,
         {{"P", "", "", "", "", "", "", "prov\\"},
          {"", "C"},
          {"", "", "G", "", "", "", "", "gen\\"},
          {"", "", "", "I", "pic.jpg", "nope.jpg"}});
    run();
    std::filesystem::current_path(previous);
    EXPECT_EQ(protocol(), Strings{"Предупреждение: Не найден файл prov\\gen\\nope.jpg"});
}

TEST_F(SoftSheet, TooLongTextsAreCutAndReported) {
    std::string longName(300, 'n'), longDesc(70000, 'd');
    rows("Soft", 1, {{"P"}, {"", "C"}, {"", "", "G"}, {"", "", "", longName, "", "", "", "", longDesc}});
    state.NoFileChecks = true;
    run();
    ASSERT_EQ(state.content.size(), 4u);
    EXPECT_EQ(state.content[3].Brief, std::string(255, 'n'));
    EXPECT_EQ(state.content[3].Descript.size(), 65535u);
    EXPECT_EQ(protocol(),
              (Strings{"Предупреждение: слишком длинный текст обрезан. Лист Soft, строка 4, столбец 4",
                       "Предупреждение: слишком длинный текст обрезан. Лист Soft, строка 4, столбец 9"}));
}

TEST_F(SoftSheet, ProgressIsTealAndStepsEveryRow) {
    rows("Soft", 1, {{"P"}, {""}, {"", "", "", "", "x"}});
    book.set("Soft", 6, 9, "");
    state.NoFileChecks = true;
    ReadSoftSheet(book, state, host);
    EXPECT_EQ(progress.calls, (Strings{"color 8421376", "position 0", "max 6"}));
    EXPECT_EQ(progress.steps, 6);
}

TEST_F(SoftSheet, LongTextsAreCutOnlyInTheRecords) {
    // Keys, messages and file checks use the whole texts; only what is stored is cut.
    std::string longName(300, 'n'), longFile(260, 'f');
    std::string sameStart = longName.substr(0, 290) + "xyz";
    rows("Soft", 1,
         {{"P", "", "", "", "", "", "", "p\\"},
          {"", "", "", longName},
          {"", "C"},
          {"", "", "G", "", "", "", "", "g\\"},
          {"", "", "", longName, longFile},
          {"", "", "", sameStart},
          {"", "", "", longName.substr(0, 255)}});
    run();
    std::string cut = "Предупреждение: слишком длинный текст обрезан. Лист Soft, строка ";
    EXPECT_EQ(protocol(), (Strings{"Ошибка в структуре. Нет родителя для " + longName, cut + "5, столбец 4",
                                   cut + "5, столбец 5", "Предупреждение: Не найден файл p\\g\\" + longFile,
                                   cut + "6, столбец 4",
                                   // The cut key stored for the first long name matches a name
                                   // of exactly those 255 characters.
                                   "Внимание, дубликаты названия: " + std::string(255, 'N')}));
    ASSERT_EQ(state.content.size(), 6u);
    EXPECT_EQ(state.content[3].Brief, longName.substr(0, 255));
    EXPECT_EQ(state.content[3].Image1, longFile.substr(0, 255));
    ASSERT_EQ(state.nameIndex.size(), 2u);
    EXPECT_EQ(state.nameIndex[0].NameKey, std::string(255, 'N'));
    EXPECT_EQ(state.nameIndex[1].SoftID, 4);
}
