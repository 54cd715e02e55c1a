// The layout of descriptions in the hidden view and their shortening to five display lines.
#include "cp1251.h"
#include "description_layout.h"
#include "markup.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <set>

using namespace vexa;

namespace {

std::string words(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += (i ? " " : "") + std::string("word") + std::to_string(i);
    return s;
}

} // namespace

TEST(DescriptionLayout, TaggedSpansAreFormatted) {
    enum Attr { Bold, Italic, Red, MainColour, Size32 };
    struct Case {
        const char* markup;
        Attr attr;
        std::set<int> positions; // plain positions that carry it; the others do not
        int plainLength;
    } cases[] = {
        {"ab<b>cd</b>e", Bold, {2, 3}, 5},
        {"<b>abc", Bold, {}, 3},
        {"a</x>b<i>c</i>", Italic, {2}, 3},
        // Positions after a line break count its two characters.
        {"x# <c=red>rr</c><c=nothing>n</c>", Red, {3, 4}, 6},
        {"x# <c=red>rr</c><c=nothing>n</c>", MainColour, {5}, 6},
        // Level 9 is 24 points, 32 pixels.
        {"a<h9>big</h> small", Size32, {1, 2, 3}, 10},
        // A second opening tag moves the start; a stray closing tag formats nothing.
        {"a<b>b<b>c</b></b>d", Bold, {2}, 4},
        {"<i>a<b>b</i>c</b>", Italic, {0, 1}, 3},
        {"<i>a<b>b</i>c</b>", Bold, {1, 2}, 3},
    };
    DescriptionLayout layout;
    layout.setMainTextColor(QColor(1, 2, 3));
    for (const Case& c : cases) {
        layout.LayoutDescription(c.markup);
        std::string plain = MarkupToPlain(c.markup);
        ASSERT_EQ(static_cast<int>(plain.size()), c.plainLength) << c.markup;
        for (int pos = 0; pos < c.plainLength; ++pos) {
            if (plain[static_cast<std::size_t>(pos)] == '\r' || plain[static_cast<std::size_t>(pos)] == '\n')
                continue; // a line break is no character of its own in the view
            QTextCharFormat f = layout.formatAt(pos);
            bool has = false;
            switch (c.attr) {
            case Bold:
                has = f.font().bold();
                break;
            case Italic:
                has = f.font().italic();
                break;
            case Red:
                has = f.hasProperty(QTextFormat::ForegroundBrush) &&
                      f.foreground().color() == QColor(255, 0, 0);
                break;
            case MainColour:
                has =
                    f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().color() == QColor(1, 2, 3);
                break;
            case Size32:
                has = f.property(QTextFormat::FontPixelSize).toInt() == 32;
                break;
            }
            EXPECT_EQ(has, c.positions.count(pos) == 1) << c.markup << " at " << pos;
        }
    }
}

TEST(DescriptionLayout, DisplayLinesFollowBreaksAndWrapping) {
    DescriptionLayout layout;
    layout.LayoutDescription("one# two\r\nthree\nfour");
    EXPECT_EQ(layout.displayLineCount(), 4);
    EXPECT_EQ(layout.displayLine(0), "one");
    EXPECT_EQ(layout.displayLine(1), "two");
    EXPECT_EQ(layout.displayLine(2), "three");
    EXPECT_EQ(layout.displayLine(3), "four");
    EXPECT_EQ(layout.displayLine(4), "");
    EXPECT_EQ(layout.displayLine(-1), "");

    std::string text = words(200);
    layout.LayoutDescription(text);
    ASSERT_GT(layout.displayLineCount(), 5);
    // The lines hold every character, the blanks where they wrapped included.
    std::string joined;
    QFontMetricsF metrics(layout.font());
    for (int i = 0; i < layout.displayLineCount(); ++i) {
        std::string line = layout.displayLine(i);
        joined += line;
        EXPECT_LE(metrics.horizontalAdvance(QString::fromStdString(line).trimmed()),
                  DescriptionLayout::kWidth + 1);
    }
    EXPECT_EQ(joined, text);
}

TEST(DescriptionLayout, ShortenDescription) {
    DescriptionLayout layout;
    std::string longText = words(300);
    layout.LayoutDescription(longText);
    std::string five;
    for (int i = 0; i < 5; ++i)
        five += (i ? "\r\n" : "") + layout.displayLine(i);

    struct Case {
        std::string source, expected;
    } cases[] = {
        {"", ""},
        {"Just one short line", "Just one short line"},
        {"<b>abc</b>", "<b>abc..."},
        {"a# b", "a\r\nb"},
        // A marker at the end leaves only empty lines behind, which are dropped.
        {"abc# ", "abc..."},
        {"x<b>y</b>z", "x<b>y</b>z"},
        {"\tindented", "\tindented"},
        // Raw line ends in a description break lines like markers and lose nothing.
        {"one\r\ntwo\nthree", "one\r\ntwo\r\nthree"},
        {"1# 2# 3# 4# 5# 6# 7", "1\r\n2\r\n3\r\n4\r\n5..."},
        // Tags go with the character that follows them, so closing tags move past line ends.
        {"<c=red>1</c># 2# <i>3</i># 4# 5", "<c=red>1\r\n</c>2\r\n<i>3\r\n</i>4\r\n5"},
        {longText, five + "..."},
        {"<b>" + longText, "<b>" + five + "..."},
        {"a < b", "a < b"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(layout.ShortenDescription(c.source), c.expected) << c.source;
    // The same text again gives the same answer (from the memo).
    EXPECT_EQ(layout.ShortenDescription("<b>abc</b>"), "<b>abc...");
}

TEST(DescriptionLayout, FontDecidesWhereLinesWrap) {
    DescriptionLayout layout;
    std::string text = words(60);
    layout.LayoutDescription(text);
    int small = layout.displayLineCount();
    QFont big = layout.font();
    big.setPixelSize(24);
    layout.setFont(big);
    layout.LayoutDescription(text);
    EXPECT_GT(layout.displayLineCount(), small);
    EXPECT_EQ(pointsToPixels(8), 11);
    EXPECT_EQ(pointsToPixels(10), 13);
}
