#pragma once
// Texts inside Vexa are cp1251 byte strings, exactly as the data files store them.
// This module is the one place where they meet Unicode (UTF-8) and where the
// locale's upper-casing and case-insensitive comparison for cp1251 live.
#include <string>
#include <string_view>

namespace vexa::cp1251 {

// cp1251 bytes to UTF-8. The one byte cp1251 leaves undefined (0x98) becomes U+FFFD.
std::string toUtf8(std::string_view text);

// UTF-8 to cp1251. Characters that cp1251 cannot hold, and malformed UTF-8, become '?'.
std::string fromUtf8(std::string_view utf8);

// Unicode code point of one cp1251 byte (0xFFFD for 0x98).
char32_t toUnicode(unsigned char byte);

// Upper case of one byte under the Russian locale: Latin a-z, Cyrillic а-я, ё and the
// other Cyrillic letters of the code page.
unsigned char toUpper(unsigned char byte);
std::string toUpper(std::string_view text);

// Upper case of Latin letters a-z only; every other byte stays as it is.
unsigned char toUpperLatin(unsigned char byte);

// Equality and ordering without regard to case (all letters of the code page).
bool equalsNoCase(std::string_view a, std::string_view b);
int compareNoCase(std::string_view a, std::string_view b);

// Ordering without regard to the case of Latin letters only; other bytes compare by code,
// and of two texts where one begins the other, the shorter comes first.
int compareLatinNoCase(std::string_view a, std::string_view b);

} // namespace vexa::cp1251

// A cp1251 text from a UTF-8 literal in the source, e.g. cp("Проблема").
inline std::string cp(std::string_view utf8) {
    return vexa::cp1251::fromUtf8(utf8);
}
