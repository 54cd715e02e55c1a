#pragma once
// A workbook in memory and a host that records what the passes show and ask.
#include "cp1251.h"
#include "import_passes.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace vexa::test {

// Records every call on the progress line as a short text.
class RecordingProgress : public ImportProgress {
public:
    std::vector<std::string> calls;
    int position = 0, max = 0;
    void SetColor(std::uint32_t c) override { calls.push_back("color " + std::to_string(c)); }
    void Step() override {
        ++position;
        ++steps;
    }
    void setPosition(std::int32_t p) override {
        position = p;
        calls.push_back("position " + std::to_string(p));
    }
    void setMax(std::int32_t m) override {
        max = m;
        calls.push_back("max " + std::to_string(m));
    }
    int steps = 0;
};

class ImportFixture : public ::testing::Test {
protected:
    ImportFixture();

    // Rows of a sheet from UTF-8 texts, starting at a row.
    void rows(const std::string& sheet, int firstRow, const std::vector<std::vector<std::string>>& cells);
    // Runs the four passes.
    void run();
    // Protocol lines and message boxes as UTF-8.
    std::vector<std::string> protocol() const;
    std::vector<std::string> boxes() const;
    // Brief of every record of the content list, as UTF-8.
    std::vector<std::string> briefs() const;

    MemoryWorkbook book;
    ImportState state;
    ImportHost host;
    RecordingProgress progress;
    std::vector<std::pair<std::string, std::string>> shown; // title, text (cp1251)
    std::set<std::string> existing;                         // files that exist (cp1251 paths)
    std::vector<std::string> lookedUp;                      // every path asked about
};

} // namespace vexa::test
