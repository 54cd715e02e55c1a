#include "cp1251.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace vexa;

// The hand-written table must agree with the system's converter for every byte.
TEST(Cp1251, AgreesWithIconvForEveryByte) {
    iconv_t cd = iconv_open("UTF-8", "CP1251");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 1; b < 256; ++b) {
        char in[1] = {static_cast<char>(b)};
        char out[8] = {};
        char* ip = in;
        char* op = out;
        size_t il = 1, ol = sizeof out;
        if (iconv(cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
            EXPECT_EQ(b, 0x98) << "iconv refused byte " << b;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            continue;
        }
        EXPECT_EQ(cp1251::toUtf8(std::string(1, static_cast<char>(b))), std::string(out, op)) << "byte " << b;
        EXPECT_EQ(cp1251::fromUtf8(std::string(out, op)), std::string(1, static_cast<char>(b)))
            << "byte " << b;
    }
    iconv_close(cd);
}

TEST(Cp1251, UnrepresentableAndMalformedBecomeQuestionMarks) {
    EXPECT_EQ(cp1251::fromUtf8("a\xE4\xB8\xAD"
                               "b"),
              "a?b");                           // a CJK letter
    EXPECT_EQ(cp1251::fromUtf8("x\xC3"), "x?"); // cut short
    EXPECT_EQ(cp1251::fromUtf8("\xFF"), "?");
    EXPECT_EQ(cp1251::fromUtf8("\xF0\x9F\x98\x80"), "?"); // emoji
}

TEST(Cp1251, UpperCaseCoversCyrillicOfTheCodePage) {
    EXPECT_EQ(cp1251::toUpper(cp("привет, мир! ёжик і ї є ґ ў")), cp("ПРИВЕТ, МИР! ЁЖИК І Ї Є Ґ Ў"));
    EXPECT_EQ(cp1251::toUpper("Nokia 6230i"), "NOKIA 6230I");
    EXPECT_TRUE(cp1251::equalsNoCase(cp("Игры"), cp("иГРЫ")));
    EXPECT_FALSE(cp1251::equalsNoCase(cp("Игры"), cp("Игра")));
    EXPECT_EQ(cp1251::toUpper(cp("№«»")), cp("№«»"));
}

TEST(Cp1251, LatinOnlyComparisonLeavesCyrillicByCode) {
    EXPECT_LT(cp1251::compareLatinNoCase("alpha", "Beta"), 0);
    EXPECT_EQ(cp1251::compareLatinNoCase("MTS", "mts"), 0);
    EXPECT_NE(cp1251::compareLatinNoCase(cp("МТС"), cp("мтс")), 0);
    EXPECT_LT(cp1251::compareLatinNoCase("ab", "abc"), 0);
    // Cyrillic bytes are above every Latin letter.
    EXPECT_LT(cp1251::compareLatinNoCase("z", cp("а")), 0);
}
