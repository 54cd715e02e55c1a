#pragma once
// The four passes of the workbook conversion, independent of files and windows: they read
// a Workbook, fill the run's lists and report through the ImportHost and the protocol
// lines of the state.
//
// Pass order: ReadModelSheet, ReadSoftSheet, LinkModelsToSoft, ReadOperatorSheet.
#include "import_run.h"
#include "records.h"
#include "workbook.h"

#include <array>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vexa {

// Sheet "Model" can find an item through its name and its content provider.
struct TSoftNameEntry {
    std::string NameKey;     // plain, upper-cased item name, at most 255 characters
    std::string ProviderKey; // upper-cased provider name, at most 255 characters
    std::int32_t SoftID = 0;
};

// Longest texts the data files can hold.
inline constexpr std::size_t kShortTextLimit = 255;
inline constexpr std::size_t kLongTextLimit = 65535;

// The run cannot go on: a model name of sheet "Model" that the first pass did not register.
// The host has already been told ("Проблема в логике 1").
class ImportStopped : public std::exception {
public:
    const char* what() const noexcept override { return "import stopped"; }
};

struct ImportState {
    bool NoDuplicateWarnings = false; // "/d"
    bool NoFileChecks = false;        // "/i"
    bool ProblemsFound = false;

    std::vector<TSoftRecord> content;            // sheet-row order; position = SoftID
    std::vector<TModelRecord> models;            // sorted by Model after the first pass
    std::vector<TSoftCodeRecord> codes;          // in the order the third pass creates them
    std::vector<TOperatorRecord> operators;      // sheet order until sortOperators()
    std::vector<TSoftNameEntry> nameIndex;       // first appearance of each item name per provider
    std::vector<std::int32_t> ProviderIndexList; // SoftIDs of the level-1 records
    std::vector<std::string> providerKeys;       // their whole names upper-cased, in the same order
    int modelLastRow = 0;                        // last row of sheet "Model" as the first pass found it
    // What the third pass needs of each row of sheet "Model" from row 2 on, as the first pass
    // read it: the workbook does not change during a run, so the third pass reads these.
    struct ModelSheetRow {
        std::string itemKey;  // plain, upper-cased, trimmed column 2; empty: the row is not used
        std::string provider; // trimmed column 1 of a used row
        std::string code;     // trimmed column 3 of a used row
        std::vector<std::pair<std::string, std::string>> models; // SplitModelList(column 4) of a used row
    };
    std::vector<ModelSheetRow> modelRows;

    // Protocol lines (cp1251, without the line end) in the order they were recorded.
    std::vector<std::string> protocol;

    // Lookups that stand for the linear searches of the lists.
    std::unordered_map<std::string, std::size_t> nameLookup; // nameLookupKey -> nameIndex position
    std::unordered_map<std::string, std::int32_t> modelByKey;
    std::vector<std::vector<std::int32_t>> codesOfSoft; // per SoftID: its code records, oldest first

    // Records a problem: sets ProblemsFound and appends the line.
    void problem(std::string line);
    // Drops the import-only structures.
    void releaseIndexes();
};

// The key of the name lookup for an item name key and a provider key.
std::string nameLookupKey(const std::string& nameKey, const std::string& providerKey);

// Removes leading spaces, then trailing spaces and line feeds.
std::string TrimCell(std::string_view text);

// The (model name, MatchKey) pairs of a model-list cell, in order.
std::vector<std::pair<std::string, std::string>> SplitModelList(std::string_view cell);

// A description cell as stored: line feeds become "# ", every "#" is followed by a space,
// "<bq>" becomes a tab.
std::string ConvertDescription(std::string_view cell);

// Ordering of model names and of operator names (Latin letters without regard to case).
int CompareModelNames(const TModelRecord& a, const TModelRecord& b);
int CompareOperatorNames(const TOperatorRecord& a, const TOperatorRecord& b);

void ReadModelSheet(Workbook& book, ImportState& state, ImportHost& host);
void ReadSoftSheet(Workbook& book, ImportState& state, ImportHost& host);
void LinkModelsToSoft(Workbook& book, ImportState& state, ImportHost& host);
void ReadOperatorSheet(Workbook& book, ImportState& state, ImportHost& host);

// The four passes in their order. Throws WorkbookError (missing sheet) or ImportStopped.
void RunImportPasses(Workbook& book, ImportState& state, ImportHost& host);

// Sorts the operator list by name, keeping the sheet order of equal names.
void sortOperators(ImportState& state);

} // namespace vexa
