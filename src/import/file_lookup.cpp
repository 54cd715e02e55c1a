#include "file_lookup.h"

#include "cp1251.h"

#include <filesystem>
#include <system_error>

namespace vexa {

namespace fs = std::filesystem;

// Walks the name's components through the folder listings, each the exact name when the
// folder holds it, else the first entry equal without regard to case. A walk through
// folders that could all be listed gives the answer without asking the file system about
// the name itself: the exact path, when it exists, is the walk's own path. Only in a folder
// that could not be listed (one that may be entered but not read) is the component asked
// for by its exact name.
bool FileLookup::exists(std::string_view cp1251Name) {
    std::string utf8 = cp1251::toUtf8(cp1251Name);
    for (char& c : utf8)
        if (c == '\\')
            c = '/';
    if (utf8.empty())
        return false;
    std::error_code ec;
    std::string current = utf8[0] == '/' ? "/" : ".";
    bool anyPart = false;
    std::size_t pos = 0;
    while (pos <= utf8.size()) {
        std::size_t slash = utf8.find('/', pos);
        if (slash == std::string::npos)
            slash = utf8.size();
        std::string part = utf8.substr(pos, slash - pos);
        pos = slash + 1;
        if (part.empty() || part == ".")
            continue;
        const std::string* name = &part;
        if (part != "..") {
            const Entries& entries = listing(current);
            if (!entries.listed) {
                // A folder that may be entered but not read: only the exact name can be found
                // in it, by asking for it.
                if (!fs::exists(fs::path(current) / part, ec))
                    return false;
            } else if (!entries.exact.count(part)) {
                auto folded = entries.folded.find(cp1251::toUpper(cp1251::fromUtf8(part)));
                if (folded == entries.folded.end())
                    return false;
                name = &folded->second;
            }
            anyPart = true;
        }
        if (current.back() != '/')
            current += '/';
        current += *name;
    }
    return anyPart && fs::is_regular_file(fs::path(current), ec);
}

const FileLookup::Entries& FileLookup::listing(const std::string& dir) {
    auto [it, added] = listings_.try_emplace(dir);
    if (added) {
        std::error_code ec;
        fs::directory_iterator d(fs::path(dir), ec);
        Entries& entries = it->second;
        entries.listed = !ec;
        for (fs::directory_iterator end; !ec && d != end; d.increment(ec)) {
            std::string name = d->path().filename().string();
            entries.exact.insert(name);
            entries.folded.emplace(cp1251::toUpper(cp1251::fromUtf8(name)), name);
        }
        // A listing broken off half-way counts as one that could not be read.
        if (ec)
            entries.listed = false;
    }
    return it->second;
}

} // namespace vexa
