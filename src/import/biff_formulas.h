#pragma once
// The results of formula cells, as the spreadsheet program stored them when it last
// calculated the workbook. FreeXL reads no formula cells at all, yet a catalogue often builds
// texts such as model lists with formulas; the import takes these stored results instead.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

struct FormulaResult {
    std::uint32_t row = 0, column = 0; // from 1
    std::string text;                  // cp1251, as workbook.h gives a cell's text
};

// The stored results of the formula cells of each sheet, in the order of the workbook's sheet
// list, each sheet's by row and column. Numbers are written as numberText writes them, booleans
// as 1 or 0, error values and empty results as empty text. Throws nothing: a file that is not
// an .xls workbook, or one damaged where this reader looks, gives no results.
std::vector<std::vector<FormulaResult>> readFormulaResults(const std::string& path);

// The same for the bytes of a whole .xls file.
std::vector<std::vector<FormulaResult>> formulaResultsOfFile(std::string_view file);

// One stream of a compound document ("Workbook", "Book"), found by name without regard to
// case; false when the bytes are not a compound document or the stream cannot be read whole.
bool readCompoundStream(std::string_view file, std::string_view name, std::string& stream);

// The formula results of a workbook stream (BIFF5 or BIFF8 records).
std::vector<std::vector<FormulaResult>> parseFormulaResults(std::string_view biff);

} // namespace vexa
