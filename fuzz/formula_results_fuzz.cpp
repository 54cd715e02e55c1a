// Reads one input as a whole .xls file and as a bare workbook stream, for the stored results
// of formula cells. Seed the corpus with tests/import/data/formulas.xls.
#include "biff_formulas.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::size_t cells = 0;
    for (const auto& sheet : vexa::formulaResultsOfFile(bytes))
        cells += sheet.size();
    for (const auto& sheet : vexa::parseFormulaResults(bytes))
        for (const auto& cell : sheet)
            // Every cell comes from a record of its own, so there cannot be more than the bytes allow.
            if (cell.row == 0 || cell.column == 0 || ++cells > size)
                __builtin_trap();
    return 0;
}
