// The reader of formula results and error constants: compound documents and BIFF records.
#include "biff_formulas.h"
#include "cp1251.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

using namespace vexa;

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

namespace {

constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD,
                        kDifSector = 0xFFFFFFFC;

// One entry of a compound document's directory; -1 links are none.
struct DirEntry {
    DirEntry(std::string entryName, unsigned char entryType) : name(std::move(entryName)), type(entryType) {}
    std::string name;
    unsigned char type = 2; // 1 storage, 2 stream, 5 root
    std::uint32_t left = kFree, right = kFree, child = kFree;
    std::string data;
};

void put32(std::string& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A compound document with the given directory (entry 0 is the root); streams under 4096
// bytes go to the mini stream. extraFat pads the allocation table with unused sectors, so that
// more than 109 of them need the chain of further table sectors.
// scatter: the sectors of large streams are laid out backwards.
std::string compound(std::vector<DirEntry> dir, unsigned shift, std::uint32_t extraFat = 0,
                     bool scatter = false) {
    const std::size_t S = std::size_t(1) << shift;
    std::vector<std::string> sectors;
    std::vector<std::uint32_t> fat;
    auto chainOf = [&](const std::string& bytes, bool backwards = false) {
        std::uint32_t start = static_cast<std::uint32_t>(sectors.size());
        if (backwards) {
            std::size_t n = (bytes.size() + S - 1) / S;
            for (std::size_t k = 0; k < n; ++k) { // position start + k holds piece n - 1 - k
                std::string s = bytes.substr((n - 1 - k) * S, S);
                s.resize(S, '\0');
                sectors.push_back(s);
                fat.push_back(k == 0 ? kEnd : static_cast<std::uint32_t>(start + k - 1));
            }
            return static_cast<std::uint32_t>(start + n - 1);
        }
        for (std::size_t at = 0; at < bytes.size(); at += S) {
            std::string s = bytes.substr(at, S);
            s.resize(S, '\0');
            sectors.push_back(s);
            fat.push_back(static_cast<std::uint32_t>(sectors.size()));
        }
        if (bytes.empty())
            return kEnd;
        fat.back() = kEnd;
        return start;
    };
    std::string mini, miniFat;
    std::vector<std::uint32_t> starts(dir.size(), kEnd);
    for (std::size_t i = 1; i < dir.size(); ++i) {
        if (dir[i].type != 2)
            continue;
        if (dir[i].data.size() >= 4096) {
            starts[i] = chainOf(dir[i].data, scatter);
            continue;
        }
        starts[i] = static_cast<std::uint32_t>(mini.size() / 64);
        std::size_t n = (dir[i].data.size() + 63) / 64;
        for (std::size_t k = 0; k < n; ++k) {
            std::string e(4, '\0');
            put32(e, 0, k + 1 == n ? kEnd : static_cast<std::uint32_t>(mini.size() / 64 + k + 1));
            miniFat += e;
        }
        std::string padded = dir[i].data;
        padded.resize(n * 64, '\0');
        mini += padded;
    }
    starts[0] = chainOf(mini);
    const std::uint32_t miniFatStart = chainOf(miniFat);
    std::string dirBytes;
    for (std::size_t i = 0; i < dir.size(); ++i) {
        std::string e(128, '\0');
        for (std::size_t k = 0; k < dir[i].name.size(); ++k)
            e[2 * k] = dir[i].name[k];
        e[0x40] = static_cast<char>(2 * (dir[i].name.size() + 1));
        e[0x42] = static_cast<char>(dir[i].type);
        put32(e, 0x44, dir[i].left);
        put32(e, 0x48, dir[i].right);
        put32(e, 0x4C, dir[i].child);
        put32(e, 0x74, starts[i]);
        put32(e, 0x78, static_cast<std::uint32_t>(i == 0 ? mini.size() : dir[i].data.size()));
        dirBytes += e;
    }
    const std::uint32_t dirStart = chainOf(dirBytes);
    // The table's own sectors, and those of its continuation, come last.
    const std::uint32_t perSector = static_cast<std::uint32_t>(S / 4);
    std::uint32_t fatCount = 1, difCount = 0;
    for (;;) {
        std::uint32_t total = static_cast<std::uint32_t>(sectors.size()) + fatCount + difCount;
        std::uint32_t needFat = (total + perSector - 1) / perSector + extraFat;
        std::uint32_t needDif = needFat > 109 ? (needFat - 109 + perSector - 2) / (perSector - 1) : 0;
        if (needFat == fatCount && needDif == difCount)
            break;
        fatCount = needFat;
        difCount = needDif;
    }
    const std::uint32_t firstFat = static_cast<std::uint32_t>(sectors.size());
    const std::uint32_t firstDif = firstFat + fatCount;
    fat.resize(std::size_t(fatCount) * perSector, kFree);
    for (std::uint32_t k = 0; k < fatCount; ++k)
        fat[firstFat + k] = kFatSector;
    for (std::uint32_t k = 0; k < difCount; ++k)
        fat[firstDif + k] = kDifSector;
    for (std::uint32_t k = 0; k < fatCount; ++k) {
        std::string s(S, '\0');
        for (std::uint32_t j = 0; j < perSector; ++j)
            put32(s, 4 * j, fat[std::size_t(k) * perSector + j]);
        sectors.push_back(s);
    }
    for (std::uint32_t k = 0; k < difCount; ++k) {
        std::string s(S, '\xFF');
        for (std::uint32_t j = 0; j + 1 < perSector; ++j) {
            std::uint32_t fatIndex = 109 + k * (perSector - 1) + j;
            put32(s, 4 * j, fatIndex < fatCount ? firstFat + fatIndex : kFree);
        }
        put32(s, S - 4, k + 1 < difCount ? firstDif + k + 1 : kEnd);
        sectors.push_back(s);
    }
    std::string header(S, '\0');
    header.replace(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
    header[0x18] = 0x3E;
    header[0x1A] = static_cast<char>(shift == 12 ? 4 : 3);
    header[0x1C] = '\xFE';
    header[0x1D] = '\xFF';
    header[0x1E] = static_cast<char>(shift);
    header[0x20] = 6;
    put32(header, 0x2C, fatCount);
    put32(header, 0x30, dirStart);
    put32(header, 0x38, 4096);
    put32(header, 0x3C, miniFatStart);
    put32(header, 0x40, static_cast<std::uint32_t>((miniFat.size() + S - 1) / S));
    put32(header, 0x44, difCount ? firstDif : kEnd);
    put32(header, 0x48, difCount);
    for (std::uint32_t k = 0; k < 109; ++k)
        put32(header, 0x4C + 4 * k, k < fatCount ? firstFat + k : kFree);
    std::string out = header;
    for (const auto& s : sectors)
        out += s;
    return out;
}

// A one-sheet BIFF8 workbook stream whose sheet holds one formula cell with the given number,
// padded with an unknown record to the given size.
std::string oneFormulaBook(double v, std::size_t padTo = 0) {
    const std::string bof8 = le16(0x0600) + le16(0x0010) + std::string(12, '\0');
    std::string globals = biffRecord(0x0809, bof8);
    std::string boundSheet = biffRecord(0x0085, le32(0) + le16(0) + "\x01\x00" + "x");
    std::string sheet = biffRecord(0x0809, bof8) + numberFormula(0, 0, v) + biffRecord(0x000A, "");
    std::string head = globals + boundSheet + biffRecord(0x000A, "");
    put32(head, globals.size() + 4, static_cast<std::uint32_t>(head.size()));
    std::string book = head + sheet;
    while (book.size() + 4 < padTo)
        book += biffRecord(0x00FF, std::string(std::min<std::size_t>(padTo - book.size() - 4, 8000), 'p'));
    return book;
}

std::string onlyResult(std::string_view file) {
    auto sheets = formulaResultsOfFile(file);
    if (sheets.size() != 1 || sheets[0].size() != 1)
        return "(" + std::to_string(sheets.size()) + " sheets)";
    return sheets[0][0].text;
}

} // namespace

// Every layout of the container that writers produce: small streams in the mini stream, large
// sectors, an allocation table longer than the header can name, streams whose sectors do not
// follow one another; and the workbook of an embedded object, which is not the workbook.
TEST(FormulaResults, TheWorkbookStreamIsFoundInEveryLayout) {
    DirEntry root{"Root Entry", 5};
    root.child = 1;
    DirEntry small{"Workbook", 2};
    small.data = oneFormulaBook(7);
    ASSERT_LT(small.data.size(), 4096u);
    EXPECT_EQ(onlyResult(compound({root, small}, 9)), "7");
    EXPECT_EQ(onlyResult(compound({root, small}, 12)), "7");

    DirEntry large{"Book", 2};
    large.data = oneFormulaBook(8, 20000);
    EXPECT_EQ(onlyResult(compound({root, large}, 9)), "8");
    EXPECT_EQ(onlyResult(compound({root, large}, 12)), "8");
    EXPECT_EQ(onlyResult(compound({root, large}, 9, 120)), "8"); // 121 table sectors

    // An embedded object's storage, earlier in the directory, holds a "Workbook" of its own.
    DirEntry object{"MBD0001", 1};
    object.child = 2;
    object.right = 3;
    DirEntry embedded{"Workbook", 2};
    embedded.data = oneFormulaBook(1, 5000);
    DirEntry own{"Workbook", 2};
    own.data = oneFormulaBook(2, 5000);
    EXPECT_EQ(onlyResult(compound({root, object, embedded, own}, 9)), "2");

    // Sectors in order are read where they lie; out of order, the table is followed.
    std::string storage;
    std::string_view stream;
    std::string file = compound({root, large}, 9);
    ASSERT_TRUE(readWorkbookStream(file, storage, stream));
    EXPECT_EQ(stream, large.data);
    EXPECT_TRUE(storage.empty());
    file = compound({root, large}, 9, 0, true);
    ASSERT_TRUE(readWorkbookStream(file, storage, stream));
    EXPECT_EQ(stream, large.data);
    EXPECT_EQ(onlyResult(file), "8");
}

TEST(FormulaResults, FilesThatAreNoCompoundDocumentsGiveNothing) {
    std::string storage;
    std::string_view stream;
    EXPECT_FALSE(readWorkbookStream("", storage, stream));
    EXPECT_FALSE(readWorkbookStream(std::string(4096, '\xD0'), storage, stream));
    EXPECT_TRUE(formulaResultsOfFile("not a workbook").empty());
    // A header that asks for sectors of 4096 bytes in a file shorter than that.
    std::string shortFile = compound({DirEntry{"Root Entry", 5}}, 9).substr(0, 1024);
    shortFile[0x1E] = 12;
    EXPECT_TRUE(formulaResultsOfFile(shortFile).empty());
    // A real workbook cut short or with its sector tables overwritten: no results, no harm.
    std::ifstream in(std::string(VEXA_IMPORT_DATA) + "/formulas.xls", std::ios::binary);
    std::string file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(formulaResultsOfFile(file).size(), 3u);
    for (std::size_t cut = 0; cut < file.size(); cut += 97)
        formulaResultsOfFile(file.substr(0, cut));
    std::string broken = file;
    for (std::size_t i = 0x4C; i < 0x200; ++i)
        broken[i] = '\x7F';
    EXPECT_TRUE(formulaResultsOfFile(broken).empty());
    // An encrypted workbook: its records cannot be read.
    std::string plain = oneFormulaBook(5);
    ASSERT_EQ(parseFormulaResults(plain).size(), 1u);
    std::string encrypted = plain.substr(0, 20) + biffRecord(0x002F, std::string(6, '\0')) + plain.substr(20);
    EXPECT_TRUE(parseFormulaResults(encrypted).empty());
}

// A text result may follow its formula after the records of a shared or array formula; an error
// constant replaces what FreeXL reads, a boolean constant does not.
TEST(FormulaResults, TextResultsAndErrorConstants) {
    const std::string bof8 = le16(0x0600) + le16(0x0010) + std::string(12, '\0');
    auto textFormula = [](unsigned row, unsigned column) {
        return biffRecord(0x0006, le16(row) + le16(column) + le16(15) + std::string(6, '\0') + "\xFF\xFF" +
                                      le16(0) + le32(0) + le16(0));
    };
    auto boolErr = [](unsigned row, unsigned column, char value, char isError) {
        return biffRecord(0x0205, le16(row) + le16(column) + le16(15) + std::string(1, value) +
                                      std::string(1, isError));
    };
    std::string sheet = biffRecord(0x0809, bof8) + textFormula(0, 0) +
                        biffRecord(0x04BC, std::string(10, 's')) +
                        biffRecord(0x0207, le16(3) + std::string(1, '\0') + "abc") + textFormula(0, 1) +
                        biffRecord(0x0221, std::string(14, 'a')) +
                        // Two-byte characters: "Да" and a NUL, which is left out.
                        biffRecord(0x0207, le16(3) + "\x01" + "\x14\x04\x30\x04\x00\x00") +
                        boolErr(1, 0, 0x2A, 1) + boolErr(1, 1, 1, 0) + biffRecord(0x000A, "");
    std::string head = biffRecord(0x0809, bof8) + biffRecord(0x0085, le32(0) + le16(0) + "\x01\x00" + "x") +
                       biffRecord(0x000A, "");
    put32(head, 20 + 4, static_cast<std::uint32_t>(head.size()));
    auto sheets = parseFormulaResults(head + sheet);
    ASSERT_EQ(sheets.size(), 1u);
    ASSERT_EQ(sheets[0].size(), 3u);
    EXPECT_EQ(sheets[0][0].text, "abc");
    EXPECT_FALSE(sheets[0][0].replaces);
    EXPECT_EQ(sheets[0][1].text, cp("Да"));
    EXPECT_EQ(sheets[0][2].row, 2u);
    EXPECT_EQ(sheets[0][2].column, 1u);
    EXPECT_EQ(sheets[0][2].text, "");
    EXPECT_TRUE(sheets[0][2].replaces);
}
