#pragma once
// Catalogue file names are cp1251 texts with '\' separators, written on file systems that
// ignore case. These helpers turn them into real paths of this machine.
#include <filesystem>
#include <optional>
#include <string_view>

namespace vexa {

// The cp1251 name as a path: UTF-8, '/' separators. A name that begins with '\' is taken
// from the root of the file system; any other name is relative to the working directory.
std::filesystem::path catalogueNameToPath(std::string_view cp1251Name);

// The existing file or folder that the name denotes: the exact path when it exists,
// otherwise the path found by matching each component without regard to case (cp1251
// letters included). Nothing when no such entry exists.
std::optional<std::filesystem::path> resolveCatalogueFile(std::string_view cp1251Name);
std::optional<std::filesystem::path> resolvePathNoCase(const std::filesystem::path& path);

// True when the name denotes an existing regular file.
bool catalogueFileExists(std::string_view cp1251Name);

} // namespace vexa
