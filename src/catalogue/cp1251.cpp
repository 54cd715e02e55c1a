#include "cp1251.h"

#include <array>

namespace vexa::cp1251 {
namespace {

// Code points of bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F in order.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

struct UpperTable {
    std::array<unsigned char, 256> map{};
    constexpr UpperTable() {
        for (int i = 0; i < 256; ++i)
            map[i] = static_cast<unsigned char>(i);
        for (int c = 'a'; c <= 'z'; ++c)
            map[c] = static_cast<unsigned char>(c - 32);
        for (int c = 0xE0; c <= 0xFF; ++c)
            map[c] = static_cast<unsigned char>(c - 32);
        // Lower-case letters of 0x80..0xBF and their capitals.
        const unsigned char pairs[][2] = {{0x90, 0x80}, {0x83, 0x81}, {0x9A, 0x8A}, {0x9C, 0x8C},
                                          {0x9D, 0x8D}, {0x9E, 0x8E}, {0x9F, 0x8F}, {0xA2, 0xA1},
                                          {0xBC, 0xA3}, {0xB4, 0xA5}, {0xB8, 0xA8}, {0xBA, 0xAA},
                                          {0xBF, 0xAF}, {0xB3, 0xB2}, {0xBE, 0xBD}};
        for (const auto& p : pairs)
            map[p[0]] = p[1];
    }
};
constexpr UpperTable kUpper;

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

struct ReverseTable {
    // Sorted pairs would do too; 64 entries are searched linearly.
    static int find(char32_t cp) {
        if (cp >= 0x0410 && cp <= 0x044F)
            return static_cast<int>(0xC0 + (cp - 0x0410));
        for (int i = 0; i < 64; ++i)
            if (kHigh[i] == cp && cp != 0xFFFD)
                return 0x80 + i;
        return -1;
    }
};

} // namespace

char32_t toUnicode(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x0410 + (byte - 0xC0);
    return kHigh[byte - 0x80];
}

std::string toUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text)
        appendUtf8(out, toUnicode(static_cast<unsigned char>(c)));
    return out;
}

std::string fromUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        char32_t cp;
        size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            out += '?';
            ++i;
            continue;
        }
        bool ok = i + len <= s.size();
        for (size_t k = 1; ok && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out += '?';
            ++i;
            continue;
        }
        i += len;
        int b = cp < 0x80 ? static_cast<int>(cp) : ReverseTable::find(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

unsigned char toUpper(unsigned char byte) {
    return kUpper.map[byte];
}

std::string toUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(kUpper.map[static_cast<unsigned char>(c)]);
    return out;
}

unsigned char toUpperLatin(unsigned char byte) {
    return (byte >= 'a' && byte <= 'z') ? static_cast<unsigned char>(byte - 32) : byte;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (kUpper.map[static_cast<unsigned char>(a[i])] != kUpper.map[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

namespace {
template <typename Fold> int compareFolded(std::string_view a, std::string_view b, Fold fold) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        int x = fold(static_cast<unsigned char>(a[i]));
        int y = fold(static_cast<unsigned char>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}
} // namespace

int compareNoCase(std::string_view a, std::string_view b) {
    return compareFolded(a, b, [](unsigned char c) { return static_cast<int>(kUpper.map[c]); });
}

int compareLatinNoCase(std::string_view a, std::string_view b) {
    return compareFolded(a, b, [](unsigned char c) { return static_cast<int>(toUpperLatin(c)); });
}

} // namespace vexa::cp1251
