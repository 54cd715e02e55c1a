#pragma once
// The import mode's entry point: the catalogue workbook named on the command line becomes
// the four data files in the current directory.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vexa {

// The progress line of the splash window, as the import drives it.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;
    virtual void SetColor(std::uint32_t colorref) = 0; // 0x00BBGGRR; draws nothing
    virtual void Step() = 0;                           // Position + 1, then draws
    virtual void setPosition(std::int32_t position) = 0;
    virtual void setMax(std::int32_t max) = 0;
};

// What the import needs from the windows around it.
struct ImportHost {
    ImportProgress* progress = nullptr;
    // A modal message box with one OK button; texts in cp1251.
    std::function<void(const std::string& title, const std::string& text)> message;
    // Shows (true) or hides (false) the hourglass pointer.
    std::function<void(bool)> busy;
    // Whether a catalogue file name (cp1251, backslash separators) names an existing file;
    // by default looked up in the file system without regard to case.
    std::function<bool(const std::string& cp1251Path)> fileExists;
};

// The folder the program was started from: a workbook name with a relative folder part is
// found from there (a bare name is found in the program's folder).
void setImportCallerDirectory(const std::filesystem::path& dir);

// Runs the import for the program's parameters (argv[1..], as the system gives them).
// Returns the process exit code.
int ImportFromSpreadsheet(const std::vector<std::string>& parameters, ImportHost& host);

} // namespace vexa
