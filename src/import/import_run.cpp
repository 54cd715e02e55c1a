#include "import_run.h"

#include "cp1251.h"

namespace vexa {

int ImportFromSpreadsheet(const std::vector<std::string>& parameters, ImportHost& host) {
    // Only a first parameter ending in ".XLS" (Latin letters in any case) names a workbook;
    // anything else makes the run do nothing at all.
    if (parameters.empty())
        return 0;
    const std::string& name = parameters.front();
    if (name.size() < 4 || cp1251::compareLatinNoCase(name.substr(name.size() - 4), ".XLS") != 0)
        return 0;
    // The workbook conversion itself is not built yet.
    return 0;
}

} // namespace vexa
