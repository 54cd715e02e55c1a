// The workbook readers: cell texts, last used rows, sheets and files that are not there.
#include "import_fixture.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

using namespace vexa;
using namespace vexa::test;

namespace {
const std::string kCells = std::string(VEXA_IMPORT_DATA) + "/cells.xls";
}

TEST(FreeXlWorkbook, CellTextsOfEveryKind) {
    auto book = openXlsWorkbook(kCells);
    book->selectSheet("Cells");
    EXPECT_EQ(book->lastUsedRow(), 5);
    std::vector<std::string> expected{"42",
                                      "-7",
                                      "3,25",
                                      "1E+20",
                                      "1,5E-05",
                                      "1",
                                      "0",
                                      "05.03.2024",
                                      "05.03.2024 7:08:09",
                                      "13:04:05",
                                      cp("Привет, мир"),
                                      cp("€ ? ё"),
                                      "",
                                      "65536",
                                      "  spaced \n",
                                      ""}; // an error constant (FreeXL reads it as 1)
    for (std::size_t c = 0; c < expected.size(); ++c)
        EXPECT_EQ(book->cellText(1, static_cast<int>(c) + 1), expected[c]) << "column " << c + 1;
    EXPECT_EQ(book->cellText(5, 3), "last row");
    // Outside the used range and nonsense coordinates give empty text.
    EXPECT_EQ(book->cellText(6, 1), "");
    EXPECT_EQ(book->cellText(1, 300), "");
    EXPECT_EQ(book->cellText(0, 1), "");
    EXPECT_EQ(book->cellText(-1, -1), "");
}

TEST(FreeXlWorkbook, SheetsByNameAndTheirLastRows) {
    auto book = openXlsWorkbook(kCells);
    book->selectSheet("heading ONLY");
    EXPECT_EQ(book->lastUsedRow(), 1);
    EXPECT_EQ(book->cellText(1, 1), "Heading");
    book->selectSheet("Empty");
    EXPECT_EQ(book->lastUsedRow(), 1);
    EXPECT_EQ(book->cellText(1, 1), "");
    book->selectSheet(cp("ЛИСТ"));
    try {
        book->selectSheet("Operator");
        FAIL() << "a missing sheet must fail";
    } catch (const WorkbookError& e) {
        EXPECT_NE(u8(e.message()).find("нет листа Operator"), std::string::npos) << u8(e.message());
        EXPECT_NE(e.message().find("cells.xls"), std::string::npos);
    }
}

TEST(FreeXlWorkbook, FilesThatAreNoWorkbooksFailClearly) {
    ScratchDir dir;
    writeFile(dir / "text.xls", "this is not a workbook\n");
    writeFile(dir / "empty.xls", "");
    std::string garbage(4096, '\0');
    for (std::size_t i = 0; i < garbage.size(); ++i)
        garbage[i] = static_cast<char>(i * 7919 % 251);
    writeFile(dir / "garbage.xls", garbage);
    // A workbook cut in half.
    writeFile(dir / "cut.xls", readFile(kCells).substr(0, 3000));
    for (const char* name : {"missing.xls", "text.xls", "empty.xls", "garbage.xls"}) {
        try {
            openXlsWorkbook((dir / name).string());
            ADD_FAILURE() << name << " opened";
        } catch (const WorkbookError& e) {
            EXPECT_NE(u8(e.message()).find("Не удалось открыть книгу"), std::string::npos) << u8(e.message());
        }
    }
    // Either they fail to open or they read without harm. damaged.xls makes FreeXL read
    // past a buffer: the reading process ends, and the workbook counts as damaged.
    fs::copy_file(std::string(VEXA_IMPORT_DATA) + "/damaged.xls", dir / "damaged.xls");
    for (const char* name : {"cut.xls", "damaged.xls"}) {
        try {
            auto book = openXlsWorkbook((dir / name).string());
            for (const char* sheet : {"Cells", "Model", "Soft", "Operator"}) {
                try {
                    book->selectSheet(sheet);
                } catch (const WorkbookError&) {
                    continue;
                }
                for (int c = 1; c < 20; ++c)
                    book->cellText(1, c);
            }
        } catch (const WorkbookError& e) {
            EXPECT_NE(u8(e.message()).find("Не удалось"), std::string::npos) << u8(e.message());
        }
    }
}

TEST(FreeXlWorkbook, FormulaCellsGiveTheirStoredResults) {
    auto book = openXlsWorkbook(std::string(VEXA_IMPORT_DATA) + "/formulas.xls");
    book->selectSheet("Formulas");
    std::string longText;
    for (int i = 0; i < 700; ++i)
        longText += "Nokia 3310, ";
    longText += cp("Сименс"); // the part in a CONTINUE record, in two-byte characters
    const std::vector<std::string> expected{
        "42", "3,25", "Nokia 3310, Siemens C55", cp("Модели: Нокиа 6310"), "1", "", "", longText, "0"};
    for (std::size_t c = 0; c < expected.size(); ++c)
        EXPECT_EQ(book->cellText(1, static_cast<int>(c) + 1), expected[c]) << "column " << c + 1;
    EXPECT_EQ(book->cellText(2, 1), "plain text");
    EXPECT_EQ(book->cellText(2, 2), "4");
    // Each sheet keeps its own results.
    book->selectSheet("After");
    EXPECT_EQ(book->cellText(3, 2), "42");
    book->selectSheet("Plain");
    EXPECT_EQ(book->cellText(1, 1), "before");
    EXPECT_EQ(book->cellText(1, 2), "");
}

TEST(MemoryWorkbook, UsedRangeAndMissingSheets) {
    MemoryWorkbook book;
    book.addSheet("A");
    book.set("B", 7, 2, "x");
    book.set("B", 3, 9, "");
    book.selectSheet("A");
    EXPECT_EQ(book.lastUsedRow(), 1);
    book.selectSheet("B");
    EXPECT_EQ(book.lastUsedRow(), 7);
    EXPECT_EQ(book.cellText(7, 2), "x");
    EXPECT_EQ(book.cellText(7, 3), "");
    EXPECT_THROW(book.selectSheet("C"), WorkbookError);
}
