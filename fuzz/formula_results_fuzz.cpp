// Reads one input as a whole .xls file and as a bare workbook stream, for the stored results
// of formula cells. Seed the corpus with tests/import/data/formulas.xls.
#include "biff_formulas.h"

#include <cstdint>
#include <string_view>

namespace {

// Every cell comes from a record of its own of at least 12 bytes, so no reading can give more
// cells than the bytes allow.
void check(const std::vector<std::vector<vexa::FormulaResult>>& sheets, std::size_t bytes) {
    std::size_t cells = 0;
    for (const auto& sheet : sheets)
        for (const auto& cell : sheet)
            if (cell.row == 0 || cell.column == 0 || ++cells > bytes / 12)
                __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    check(vexa::formulaResultsOfFile(bytes), size);
    check(vexa::parseFormulaResults(bytes), size);
    return 0;
}
