// The workbook readers: cell texts, last used rows, sheets and files that are not there.
#include "biff_formulas.h"
#include "import_fixture.h"

#include <cstring>
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
                                      "  spaced \n"};
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

namespace {
std::string biffRecord(std::uint16_t id, const std::string& body) {
    std::string r;
    r += static_cast<char>(id & 0xFF);
    r += static_cast<char>(id >> 8);
    r += static_cast<char>(body.size() & 0xFF);
    r += static_cast<char>(body.size() >> 8);
    return r + body;
}
std::string le16(unsigned v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string le32(unsigned v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}
// A FORMULA record whose stored result is a number.
std::string numberFormula(unsigned row, unsigned column, double v) {
    std::string num(8, '\0');
    std::memcpy(num.data(), &v, 8);
    return biffRecord(0x0006, le16(row) + le16(column) + le16(15) + num + le16(0) + le32(0) + le16(0));
}
} // namespace

// Records the reader must not take for a sheet's cells, and damaged streams, which give what
// can be read and never more.
TEST(FormulaResults, OnlyTheSheetsOwnRecordsCountAndDamageStopsTheReading) {
    const std::string bof8 = le16(0x0600) + le16(0x0010) + std::string(12, '\0');
    std::string globals = biffRecord(0x0809, bof8);
    // Two sheets; their offsets are filled in below.
    std::string sheetA = biffRecord(0x0809, bof8) + numberFormula(0, 0, 1) +
                         // An embedded chart: its own BOF..EOF, whose formulas are not cells.
                         biffRecord(0x0809, bof8) + numberFormula(5, 5, 99) + biffRecord(0x000A, "") +
                         numberFormula(1, 1, 2) + biffRecord(0x000A, "");
    std::string sheetB = biffRecord(0x0809, bof8) + numberFormula(2, 0, 3) +
                         // A text result whose STRING record is missing: a cell record comes first.
                         biffRecord(0x0006, le16(3) + le16(0) + le16(15) + std::string(6, '\0') + "\xFF\xFF" +
                                                le16(0) + le32(0) + le16(0)) +
                         biffRecord(0x0203, std::string(14, '\0')) + biffRecord(0x0207, le16(2) + "\0ab") +
                         biffRecord(0x000A, "");
    auto boundSheet = [](unsigned at) { return biffRecord(0x0085, le32(at) + le16(0) + "\x01\x00" + "x"); };
    const std::size_t headLength = globals.size() + 2 * boundSheet(0).size() + biffRecord(0x000A, "").size();
    std::string stream = globals + boundSheet(static_cast<unsigned>(headLength)) +
                         boundSheet(static_cast<unsigned>(headLength + sheetA.size())) +
                         biffRecord(0x000A, "") + sheetA + sheetB;
    auto sheets = parseFormulaResults(stream);
    ASSERT_EQ(sheets.size(), 2u);
    ASSERT_EQ(sheets[0].size(), 2u);
    EXPECT_EQ(sheets[0][0].row, 1u);
    EXPECT_EQ(sheets[0][0].text, "1");
    EXPECT_EQ(sheets[0][1].row, 2u);
    EXPECT_EQ(sheets[0][1].column, 2u);
    EXPECT_EQ(sheets[0][1].text, "2");
    ASSERT_EQ(sheets[1].size(), 2u);
    EXPECT_EQ(sheets[1][0].text, "3");
    EXPECT_EQ(sheets[1][1].text, ""); // the orphaned STRING record is not taken

    // Cut anywhere, the stream gives a prefix of the results; a record that claims more bytes
    // than there are ends the reading.
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        auto part = parseFormulaResults(std::string_view(stream).substr(0, cut));
        std::size_t count = 0;
        for (const auto& s : part)
            count += s.size();
        EXPECT_LE(count, 4u) << cut;
    }
    std::string lying = stream + biffRecord(0x0006, "");
    lying[lying.size() - 2] = '\x40';
    EXPECT_EQ(parseFormulaResults(lying).size(), 2u);
}

TEST(FormulaResults, FilesThatAreNoCompoundDocumentsGiveNothing) {
    std::string stream;
    EXPECT_FALSE(readCompoundStream("", "Workbook", stream));
    EXPECT_FALSE(readCompoundStream(std::string(4096, '\xD0'), "Workbook", stream));
    EXPECT_TRUE(formulaResultsOfFile("not a workbook").empty());
    // A real workbook cut short or with its sector tables overwritten: no results, no harm.
    std::ifstream in(std::string(VEXA_IMPORT_DATA) + "/formulas.xls", std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(readCompoundStream(file, "workbook", stream)); // the name, without regard to case
    EXPECT_EQ(formulaResultsOfFile(file).size(), 3u);
    for (std::size_t cut : {std::size_t(600), file.size() / 2, file.size() - 1})
        formulaResultsOfFile(file.substr(0, cut));
    std::string broken = file;
    for (std::size_t i = 0x4C; i < 0x200; ++i)
        broken[i] = '\x7F';
    EXPECT_TRUE(formulaResultsOfFile(broken).empty());
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
