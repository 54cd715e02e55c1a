#pragma once
// The catalogue in memory: every record of the four data files, the provider and node
// lists, the two-level section tree with its counts, and the lines of the selectors.
// The main window owns one Catalogue and mirrors its tree and selector lines into widgets;
// nothing here touches a widget.
#include "data_files.h"
#include "records.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vexa {

// One content provider (a level-1 record).
struct TProviderRecord {
    std::int32_t ContentID = 0;
    std::string Brief;
    std::string Folder;
};

// One record of level 1, 2 or 3 as the section tree sees it.
struct TNodeRecord {
    std::int32_t SoftID = 0;
    std::int32_t ContentID = 0;
    std::int32_t ItemCount = 0;
    std::int32_t ImageIndex = 0;
    std::int32_t SelectedIndex = 1;
    std::uint16_t Level = 0;
    std::string Brief;
    std::string Folder;
    std::uint8_t Section = 0;
    // Index in the node list of the same-named genre record most recently merged into the
    // tree node that carries this record; -1 for none.
    std::int32_t Next = -1;
};

// A node of the section tree: categories at the top, genres below them.
struct TreeNode {
    std::string Text;       // the name; after SumTreeCounts with " [count]" appended
    std::int32_t Node = -1; // index in the node list of the record that created it
    std::int32_t ImageIndex = 0;
    std::int32_t SelectedIndex = 0;
    std::vector<TreeNode> Children;
};

// The lines of one selector in the order they were added, the first line included.
class SelectorLines {
public:
    explicit SelectorLines(std::string first = {}) { reset(std::move(first)); }
    void reset(std::string first);
    void add(const std::string& line);
    // Adds the line unless one equal to it without regard to case is there already.
    void addUnique(const std::string& line);
    bool containsNoCase(const std::string& line) const;
    const std::vector<std::string>& lines() const { return lines_; }
    std::size_t size() const { return lines_.size(); }

private:
    std::vector<std::string> lines_;
    std::unordered_set<std::string> upper_;
};

// A data file that could not be opened; the text is the message to show (cp1251), the
// title is "Проблема".
class DataFileError : public std::runtime_error {
public:
    explicit DataFileError(std::string cp1251Message)
        : std::runtime_error("data file cannot be opened"), message_(std::move(cp1251Message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

// Loads a tree icon from an existing file: its index in the tree image list, or -1 when
// the file cannot be read as an icon. Indexes 0 and 1 are the built-in default icons.
using IconLoader = std::function<int(const std::filesystem::path&)>;

class Catalogue {
public:
    explicit Catalogue(std::filesystem::path dataDir = ".");

    void setIconLoader(IconLoader loader) { iconLoader_ = std::move(loader); }
    const std::filesystem::path& dataDir() const { return dataDir_; }

    // Start-up loading, one record per call: the bytes consumed, or 0 (end) / negative
    // (read error) once the file is exhausted. Each throws DataFileError when its file
    // cannot be opened.
    int LoadSoftRecord();
    int LoadModelRecord();
    int LoadCodeRecord();
    void SumTreeCounts();
    void LoadOperators();
    void FlushPendingCount();

    // Rebuilds the tree for the model at the model selector's position (0 = the prompt
    // line, all models); `step` is called once per record walked.
    void RebuildTree(int modelSelectorPosition, const std::function<void()>& step = {});

    // The count label's text for n items, with its Russian plural (cp1251).
    static std::string FoundCountText(std::int32_t n);

    // The path of a catalogue file name: names beginning with '\' or '.' as they stand,
    // others below `folder`; resolved without regard to case. Nothing when missing.
    std::optional<std::filesystem::path> resolveFile(const std::string& folder,
                                                     const std::string& name) const;

    // Lists, in file order.
    std::vector<TSoftRecord> Content;
    std::vector<TProviderRecord> Providers;
    std::vector<TNodeRecord> Nodes;
    std::vector<TModelRecord> Models;
    std::vector<TSoftCodeRecord> Codes;
    std::vector<TOperatorRecord> Operators;

    std::vector<TreeNode> Tree;

    SelectorLines ProviderSelector;
    SelectorLines CategorySelector;
    SelectorLines GenreSelector;
    SelectorLines ModelSelector;
    SelectorLines OperatorSelector;

    // Loading state.
    std::int32_t CurrentSoftID = -1;
    std::int32_t CurrentProvider = -1; // index in Providers
    std::int32_t CurrentNode = -1;     // index in Nodes
    std::int32_t PendingCount = 0;
    std::uint8_t CurrentSection = 0;
    std::int32_t CategoryCursor = -1; // index in Tree
    std::int32_t SelectedModel = -1;  // model index, -1 = none
    std::int32_t TotalCount = 0;
    bool RebuildMode = false;

    // Records that the loaders found broken or out of place and left out, per file name.
    struct Damage {
        std::string file;
        int records = 0;
    };
    std::vector<Damage> damage() const;

    // Node-list index of the record with this SoftID, or -1.
    std::int32_t nodeOf(std::int32_t softId) const;

    // The item this code record links, when the record is sound; used by the code loader.
    bool isLiveItem(std::int32_t softId) const;

private:
    void EnterNode();
    void PlaceNodeInTree();
    int LoadNodeIcon(const std::string& field);
    bool checkSoftOrder(TSoftRecord& rec);
    [[noreturn]] void fail(const char* utf8Message);
    const TSoftRecord* currentRecord_ = nullptr;

    std::filesystem::path dataDir_;
    IconLoader iconLoader_;
    RecordReader softFile_, modelsFile_, codesFile_;
    bool softStarted_ = false, modelsStarted_ = false, codesStarted_ = false;

    std::vector<std::int32_t> nodeBySoftId_;
    std::unordered_map<std::string, std::int32_t> categoryByText_;
    std::vector<std::unordered_map<std::string, std::int32_t>> genreByText_; // per category
    std::vector<std::uint8_t> modelHas_; // SoftIDs of the selected model, as flags

    // The nearest sound provider, category and genre while reading Soft.dat, for the
    // order checks.
    std::int32_t orderProvider_ = -1, orderCategory_ = -1, orderGenre_ = -1;
    int badSoft_ = 0, badModels_ = 0, badCodes_ = 0, badOperators_ = 0;
};

} // namespace vexa
