#include "markup.h"

#include <gtest/gtest.h>

using namespace vexa;

TEST(Markup, PlainText) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"Hello# world", "Hello\r\nworld"},
        {"a<5 and <x>", "a<5 and <x>"},
        {"<b>Bold</b> <i>it</i>", "Bold it"},
        {"</p>text", "text"},
        {"<bq>x", "x"},
        {"ab<c=red", "ab"},
        {"a#b", "a#b"},
        {"<B>x</B>", "<B>x"}, // "<B>" is text, but any "</" begins a closing tag
        {"#<b> </b>x", "\r\nx"},
        {"<h2>Title</h>## x", "Title#\r\nx"},
        {"", ""},
        {"<", "<"},
        {"x<c=blue>y</c>z", "xyz"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MarkupToPlain(c.in), c.out) << c.in;
}

TEST(Markup, ColourNames) {
    EXPECT_EQ(ColorByName("=red"), 0xFF0000u);
    EXPECT_EQ(ColorByName("=Red "), 0xFF0000u);
    EXPECT_EQ(ColorByName("red"), 0xFF0000u);
    EXPECT_EQ(ColorByName("[=navy]"), 0x000080u);
    EXPECT_EQ(ColorByName("=dkgray"), 0x808080u);
    EXPECT_FALSE(ColorByName("= red"));
    EXPECT_FALSE(ColorByName("=orange"));
    EXPECT_FALSE(ColorByName(""));
}

TEST(Markup, HeadingSizes) {
    struct Case {
        const char* in;
        int points;
    } cases[] = {{"2", 10}, {"0", 6}, {"9", 24}, {"12", 30}, {"x", 8},
                 {"", 8},   {">", 8}, {"-3", 0}, {"125", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(HeadingSize(c.in), c.points) << c.in;
}
