#include "cell_text.h"

#include "cp1251.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexa {

// Appends UTF-8 text as cp1251. Plain ASCII and the Russian alphabet, which make up nearly
// every cell of a catalogue, are converted here directly, straight into the output; any other
// text goes through the full converter.
void appendCellTextFromUtf8(const char* utf8, std::string& out) {
    std::size_t n = std::strlen(utf8);
    const std::size_t start = out.size();
    out.resize(start + n); // cp1251 never takes more bytes than UTF-8
    char* o = out.data() + start;
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            ++i;
            continue;
        }
        if (i + 1 < n && (s[i + 1] & 0xC0) == 0x80 && (c == 0xD0 || c == 0xD1)) {
            unsigned cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            if (cp >= 0x410 && cp <= 0x44F) {
                *o++ = static_cast<char>(0xC0 + (cp - 0x410));
                i += 2;
                continue;
            }
        }
        out.resize(start);
        out += cp1251::fromUtf8(std::string_view(utf8, n));
        return;
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string numberText(double v) {
    if (!std::isfinite(v))
        return {};
    char buf[64];
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
        // -0 is written as 0.
        return std::strcmp(buf, "-0") == 0 ? std::string("0") : std::string(buf);
    }
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s = buf;
    for (char& c : s)
        if (c == '.')
            c = ',';
    return s;
}

} // namespace vexa
