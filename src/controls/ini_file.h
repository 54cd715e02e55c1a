#pragma once
// Vexa's own reader of INI files (the skin file). It follows the classic Windows rules:
// section and key names are compared without regard to case; a value is the text after
// the first '=' of its line, without surrounding blanks and without one pair of enclosing
// quotes, cut to 2047 characters; lines beginning with ';' are comments; of sections or
// keys with the same name the first one counts; whatever is missing reads as empty.
// Texts are cp1251 bytes as they stand in the file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

class IniFile {
public:
    // The longest value that is read; longer values are cut.
    static constexpr std::size_t kMaxValue = 2047;

    IniFile() = default;
    static IniFile parse(std::string_view bytes);
    // A file that cannot be read gives an empty reader (every key reads as empty).
    static IniFile load(const std::filesystem::path& file);

    // The value of a key, or empty when the section or the key is missing.
    std::string value(std::string_view section, std::string_view key) const;
    // True when the key is present in the section (even with an empty value).
    bool has(std::string_view section, std::string_view key) const;

private:
    struct Key {
        std::string name, value;
    };
    struct Section {
        std::string name;
        std::vector<Key> keys;
    };
    const Key* find(std::string_view section, std::string_view key) const;
    std::vector<Section> sections_;
};

// An integer as the skin writes it: optional blanks, an optional sign, then decimal
// digits, or hexadecimal after "$", "0x" or "0X". Hexadecimal may use all 32 bits (the
// value wraps into the signed range); decimal must fit. Anything else is not a number.
std::optional<std::int32_t> parseIniInteger(std::string_view text);

} // namespace vexa
