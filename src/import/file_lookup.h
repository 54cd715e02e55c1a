#pragma once
// Finding the catalogue's picture and icon files during an import, as catalogueFileExists
// finds them (the exact path, else each component without regard to case), but with each
// folder listed only once: a catalogue names tens of thousands of files in a few hundred
// folders, and most lookups are then answered from memory.
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace vexa {

class FileLookup {
public:
    // Whether the cp1251 catalogue name (backslash or slash separators, relative to the
    // current directory) names a regular file; a file that is found costs one look at it. The folders are
    // assumed not to change while the object lives.
    bool exists(std::string_view cp1251Name);

private:
    struct Entries {
        bool listed = false;                                 // false: the folder could not be read
        std::unordered_set<std::string> exact;               // real names (UTF-8)
        std::unordered_map<std::string, std::string> folded; // upper-cased cp1251 -> first real name
    };
    const Entries& listing(const std::string& dir);

    std::unordered_map<std::string, Entries> listings_;
};

} // namespace vexa
