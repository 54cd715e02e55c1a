#include "ini_file.h"

#include "cp1251.h"

#include <fstream>
#include <iterator>

namespace vexa {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

IniFile IniFile::parse(std::string_view bytes) {
    IniFile ini;
    // A UTF-8 byte-order mark is not part of the first line.
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    Section* current = nullptr;
    while (!bytes.empty()) {
        std::size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        line = trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            std::string_view name =
                line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1);
            ini.sections_.push_back(Section{std::string(trim(name)), {}});
            current = &ini.sections_.back();
            continue;
        }
        if (!current)
            continue; // keys before the first section belong to no section
        std::size_t eq = line.find('=');
        std::string_view name = trim(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        if (value.size() > kMaxValue)
            value = value.substr(0, kMaxValue);
        current->keys.push_back(Key{std::string(name), std::string(value)});
    }
    return ini;
}

IniFile IniFile::load(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return parse(bytes);
}

const IniFile::Key* IniFile::find(std::string_view section, std::string_view key) const {
    section = trim(section);
    key = trim(key);
    // Only the first section of a name is looked at, as the Windows reader does.
    for (const Section& s : sections_) {
        if (!cp1251::equalsNoCase(s.name, section))
            continue;
        for (const Key& k : s.keys)
            if (cp1251::equalsNoCase(k.name, key))
                return &k;
        return nullptr;
    }
    return nullptr;
}

std::string IniFile::value(std::string_view section, std::string_view key) const {
    const Key* k = find(section, key);
    return k ? k->value : std::string();
}

bool IniFile::has(std::string_view section, std::string_view key) const {
    return find(section, key) != nullptr;
}

std::optional<std::int32_t> parseIniInteger(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hex = false;
    if (!text.empty() && text.front() == '$') {
        hex = true;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        hex = true;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t n = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        n = n * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (n > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (hex) {
        auto bits = static_cast<std::uint32_t>(n);
        if (negative)
            bits = 0u - bits;
        return static_cast<std::int32_t>(bits);
    }
    if (negative) {
        if (n > 0x80000000ull)
            return std::nullopt;
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(n));
    }
    if (n > 0x7FFFFFFFull)
        return std::nullopt;
    return static_cast<std::int32_t>(n);
}

} // namespace vexa
