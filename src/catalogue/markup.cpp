#include "markup.h"

#include <algorithm>

namespace vexa {

namespace {
bool isTagLetter(char c) {
    return c == '/' || c == 'b' || c == 'c' || c == 'h' || c == 'i';
}
} // namespace

std::string MarkupToPlain(std::string_view text) {
    std::string result;
    MarkupToPlain(text, result);
    return result;
}

void MarkupToPlain(std::string_view rest, std::string& result) {
    result.clear();
    result.reserve(rest.size());
    for (;;) {
        size_t lt = rest.find('<');
        if (lt == std::string_view::npos) {
            result.append(rest);
            break;
        }
        result.append(rest.substr(0, lt));
        rest.remove_prefix(lt);
        if (rest.size() >= 2 && isTagLetter(rest[1])) {
            size_t gt = rest.find('>');
            rest = gt == std::string_view::npos ? std::string_view() : rest.substr(gt + 1);
        } else {
            result += '<';
            rest.remove_prefix(1);
        }
    }
    for (size_t i = 0; i + 1 < result.size(); ++i) {
        if (result[i] == '#' && result[i + 1] == ' ') {
            result[i] = '\r';
            result[i + 1] = '\n';
            ++i;
        }
    }
}

std::optional<std::uint32_t> ColorByName(std::string_view argument) {
    std::string s(argument.substr(0, std::min<size_t>(argument.size(), 255)));
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    if (size_t eq = s.find('='); eq != std::string::npos)
        s.erase(0, eq + 1);
    if (s.find(']') != std::string::npos && !s.empty())
        s.pop_back();
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    static const struct {
        const char* name;
        std::uint32_t rgb;
    } table[] = {{"aqua", 0x00FFFF},    {"black", 0x000000},  {"blue", 0x0000FF},   {"dkgray", 0x808080},
                 {"fuchsia", 0xFF00FF}, {"gray", 0x808080},   {"green", 0x008000},  {"lime", 0x00FF00},
                 {"ltgray", 0xC0C0C0},  {"maroon", 0x800000}, {"navy", 0x000080},   {"olive", 0x808000},
                 {"purple", 0x800080},  {"red", 0xFF0000},    {"silver", 0xC0C0C0}, {"teal", 0x008080},
                 {"white", 0xFFFFFF},   {"yellow", 0xFFFF00}};
    for (const auto& e : table)
        if (s == e.name)
            return e.rgb;
    return std::nullopt;
}

std::uint8_t HeadingSize(std::string_view a) {
    size_t i = 0;
    bool negative = false;
    if (i < a.size() && (a[i] == '+' || a[i] == '-')) {
        negative = a[i] == '-';
        ++i;
    }
    if (i >= a.size())
        return 8;
    std::uint32_t n = 0;
    for (; i < a.size(); ++i) {
        if (a[i] < '0' || a[i] > '9')
            return 8;
        n = n * 10 + static_cast<std::uint32_t>(a[i] - '0');
    }
    if (negative)
        n = 0u - n;
    return static_cast<std::uint8_t>((2 * n + 6) & 0xFF);
}

} // namespace vexa
