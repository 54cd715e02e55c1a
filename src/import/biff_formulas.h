#pragma once
// The results of formula cells, as the spreadsheet program stored them when it last
// calculated the workbook. FreeXL reads no formula cells at all, yet a catalogue often builds
// texts such as model lists with formulas; the import takes these stored results instead.
// The same walk finds cells holding an error constant, which FreeXL reads as the number 1.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

struct FormulaResult {
    std::uint32_t row = 0, column = 0; // from 1
    std::string text;                  // cp1251, as workbook.h gives a cell's text
    // true: the text replaces whatever FreeXL read for the cell (an error constant, read by
    // FreeXL as 1, is empty); false: it fills a cell FreeXL leaves empty (a formula cell).
    bool replaces = false;
};

// The stored results of the formula cells of each sheet, in the order of the workbook's sheet
// list, each sheet's by row and column. Numbers are written as numberText writes them, booleans
// as 1 or 0, error values and empty results as empty text. Throws nothing: a file that is not
// an .xls workbook, one that is encrypted, or one damaged where this reader looks gives no
// results.
std::vector<std::vector<FormulaResult>> readFormulaResults(const std::string& path);

// The same for the bytes of a whole .xls file.
std::vector<std::vector<FormulaResult>> formulaResultsOfFile(std::string_view file);

// The workbook stream of a compound document: the first stream named "Workbook" or "Book"
// (without regard to case) among the document's top-level entries, as FreeXL takes it. The
// view points into the file where the stream's sectors follow one another, else into storage.
// False when the bytes are not a compound document or the stream cannot be read whole.
bool readWorkbookStream(std::string_view file, std::string& storage, std::string_view& stream);

// The formula results of a workbook stream (BIFF5 or BIFF8 records).
std::vector<std::vector<FormulaResult>> parseFormulaResults(std::string_view biff);

} // namespace vexa
