#include "file_paths.h"

#include "cp1251.h"

#include <system_error>

namespace fs = std::filesystem;

namespace vexa {

fs::path catalogueNameToPath(std::string_view name) {
    std::string utf8 = cp1251::toUtf8(name);
    for (char& c : utf8)
        if (c == '\\')
            c = '/';
    return fs::path(utf8);
}

std::optional<fs::path> resolvePathNoCase(const fs::path& path) {
    std::error_code ec;
    if (path.empty())
        return std::nullopt;
    if (fs::exists(path, ec))
        return path;
    fs::path current = path.is_absolute() ? path.root_path() : fs::path(".");
    bool first = true;
    for (const fs::path& part : path.relative_path()) {
        std::string name = part.string();
        if (name.empty() || name == ".") {
            continue;
        }
        if (name == "..") {
            current /= "..";
            continue;
        }
        fs::path exact = current / part;
        if (fs::exists(exact, ec)) {
            current = exact;
        } else {
            // Compare in cp1251 so that Cyrillic letters match without regard to case.
            std::string wanted = cp1251::fromUtf8(name);
            bool found = false;
            for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
                std::string candidate = cp1251::fromUtf8(it->path().filename().string());
                if (cp1251::equalsNoCase(candidate, wanted)) {
                    current = it->path();
                    found = true;
                    break;
                }
            }
            if (!found)
                return std::nullopt;
        }
        first = false;
    }
    if (first)
        return std::nullopt;
    // Keep relative results relative, without the leading "./".
    if (!path.is_absolute())
        current = current.lexically_normal();
    return current;
}

std::optional<fs::path> resolveCatalogueFile(std::string_view name) {
    return resolvePathNoCase(catalogueNameToPath(name));
}

bool catalogueFileExists(std::string_view name) {
    auto p = resolveCatalogueFile(name);
    std::error_code ec;
    return p && fs::is_regular_file(*p, ec);
}

} // namespace vexa
