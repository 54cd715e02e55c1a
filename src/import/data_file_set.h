#pragma once
// Writes the four data files as a set: each goes to a temporary file in the same folder,
// is flushed to disk, and only when all of them were written are they renamed over the
// old files. On any failure the temporary files are removed and the old files stay.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vexa {

struct DataFileContent {
    std::string name;  // file name inside the folder, e.g. "Soft.dat"
    std::string bytes; // the whole file
};

struct DataFileSetError {
    std::string file;   // the file that could not be written (its final name)
    std::string reason; // the system's reason, UTF-8
};

// True when every file was written. On failure fills error (when given).
bool writeDataFileSet(const std::filesystem::path& folder, const std::vector<DataFileContent>& files,
                      DataFileSetError* error = nullptr);

// The same with the step that moves a written file into place given (tests make it fail
// half-way); it returns 0 on success and sets errno otherwise, as rename() does.
bool writeDataFileSet(const std::filesystem::path& folder, const std::vector<DataFileContent>& files,
                      DataFileSetError* error,
                      const std::function<int(const char*, const char*)>& renameFile);

} // namespace vexa
