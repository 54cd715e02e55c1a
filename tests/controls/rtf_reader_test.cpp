#include "my_rich_edit.h"
#include "rtf_reader.h"

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

using namespace vexa;

namespace {

QString text(const char* rtf) {
    return readRtf(rtf).plainText();
}

const QString kPrivet = QString::fromUtf8("Привет");

} // namespace

TEST(RtfReader, CyrillicInBothEncodings) {
    // cp1251 escapes through the font's character set, and through the document's code page.
    EXPECT_EQ(text("{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"),
              kPrivet);
    EXPECT_EQ(text("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}"), kPrivet);
    // Unicode with one replacement character each (the default \uc1), and with \uc2.
    EXPECT_EQ(text("{\\rtf1 \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090?}"), kPrivet);
    EXPECT_EQ(text("{\\rtf1\\uc2 \\u1055\\'3f\\'3f\\u1088??\\u1080??\\u1074??\\u1077??\\u1090??}"), kPrivet);
    // Negative \u values name characters above 32767.
    EXPECT_EQ(text("{\\rtf1 \\u-3?}"), QString(QChar(0xFFFD)));
    // Latin-1 text in a cp1252 document.
    EXPECT_EQ(text("{\\rtf1\\ansi caf\\'e9}"), QString::fromUtf8("café"));
    // A Cyrillic font and a Western font in one paragraph.
    EXPECT_EQ(
        text("{\\rtf1{\\fonttbl{\\f0\\fcharset0 Times;}{\\f1\\fcharset204 Arial;}}\\f0 \\'e9 \\f1 \\'e9}"),
        QString::fromUtf8("é й"));
    // A face name in the font's own character set, in a Western document.
    RtfDocument named =
        readRtf("{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0\\fcharset204 \\'c0\\'f0\\'e8\\'e0\\'eb;}}"
                "\\f0 x}");
    ASSERT_EQ(named.paragraphs.size(), 1u);
    ASSERT_EQ(named.paragraphs[0].runs.size(), 1u);
    EXPECT_EQ(named.paragraphs[0].runs[0].fontName, QString::fromUtf8("Ариал"));
}

TEST(RtfReader, ParagraphsBreaksTabsAndEscapes) {
    RtfDocument doc = readRtf("{\\rtf1 one\\par two\\line three\\tab four\\par \\{x\\}\\\\ y\\~z}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.paragraphs[0].text(), "one");
    EXPECT_EQ(doc.paragraphs[1].text(), QString("two") + QChar(0x2028) + "three\tfour");
    EXPECT_EQ(doc.paragraphs[2].text(), QString("{x}\\ y") + QChar(0xA0) + "z");
}

TEST(RtfReader, FormattingFollowsGroups) {
    RtfDocument doc = readRtf("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}"
                              "{\\fonttbl{\\f2 Courier New;}}"
                              "plain {\\b bold {\\i both}} \\ul under\\ulnone  {\\fs40\\cf1 big red}"
                              "{\\f2\\cf2 mono}\\b on\\b0 off}");
    ASSERT_EQ(doc.paragraphs.size(), 1u);
    const auto& runs = doc.paragraphs[0].runs;
    auto find = [&](const QString& t) -> const RtfRun& {
        for (const RtfRun& r : runs)
            if (r.text == t)
                return r;
        ADD_FAILURE() << "no run " << t.toStdString();
        return runs.front();
    };
    EXPECT_FALSE(find("plain ").bold);
    EXPECT_TRUE(find("bold ").bold);
    EXPECT_TRUE(find("both").bold && find("both").italic);
    EXPECT_TRUE(find("under").underline);
    EXPECT_EQ(find("big red").halfPoints, 40);
    EXPECT_EQ(find("big red").color, QColor(255, 0, 0));
    EXPECT_EQ(find("mono").fontName, "Courier New");
    EXPECT_EQ(find("mono").color, QColor(0, 0, 255));
    EXPECT_TRUE(find("on").bold);
    EXPECT_FALSE(find("off").bold);
    EXPECT_EQ(doc.plainText(), "plain bold both under big redmonoonoff");
}

TEST(RtfReader, SkipsWhatIsNotText) {
    // A picture, an object, document information, a style sheet, an ignorable
    // destination, a field instruction (its result stays) and binary data.
    EXPECT_EQ(text("{\\rtf1{\\info{\\title T}{\\author A}}{\\stylesheet{\\s1 Heading;}}"
                   "a{\\pict\\wmetafile8\\picw10 0123456789abcdef}b"
                   "{\\object\\objemb{\\*\\objdata 01050000}{\\result R}}c"
                   "{\\*\\generator Writer;}{\\*\\unknownthing {nested} x}d"
                   "{\\field{\\*\\fldinst HYPERLINK \"x\"}{\\fldrslt link}}e"
                   "{\\pict\\bin4 }}}}}f}"),
              "abcdlinkef");
}

TEST(RtfReader, ListItemsKeepTheirNumbers) {
    EXPECT_EQ(text("{\\rtf1{\\*\\listtable{\\list{\\listlevel{\\leveltext \\'02\\'00.;}}}}"
                   "{\\listtext 1.\\tab}First\\par{\\pntext\\pard\\plain "
                   "2.\\tab}{\\pn\\pnlvlbody{\\pntxta .}}Second}"),
              "1.\tFirst\n2.\tSecond");
}

TEST(RtfReader, TablesBecomeTabbedRows) {
    RtfDocument doc = readRtf("{\\rtf1 before\\par\\trowd\\cellx1000\\cellx2000 \\intbl A\\cell B\\cell\\row"
                              "\\trowd\\cellx1000\\cellx2000 \\intbl C\\cell D\\cell\\row after}");
    EXPECT_EQ(doc.plainText(), "before\nA\tB\t\nC\tD\t\nafter");
}

TEST(RtfReader, BrokenDocumentsGiveWhatCanBeRead) {
    // Unclosed groups, stray braces, broken escapes, overlong words and numbers, a
    // truncated \bin and a document that is not RTF at all.
    EXPECT_EQ(text("{\\rtf1 {\\b open groups"), "open groups");
    EXPECT_EQ(text("}}}text}{"), "text");
    EXPECT_EQ(text("{\\rtf1 a\\'zz b\\'4"), "azz b4");
    EXPECT_EQ(text(("{\\rtf1 \\" + std::string(5000, 'x') + " y}").c_str()), "y");
    EXPECT_EQ(text("{\\rtf1\\fs99999999999999999999 z\\u99999999999 w}"), "z"); // w is the replacement
    EXPECT_EQ(text("{\\rtf1 q\\bin999999 abc"), "q");
    EXPECT_EQ(text("plain text, not RTF"), "plain text, not RTF");
    EXPECT_EQ(text(""), "");
    EXPECT_EQ(text("\\"), "");
    EXPECT_EQ(text("{\\rtf1 \\u"), "");
}

TEST(RtfReader, DeepNestingIsCapped) {
    std::string deep = "{\\rtf1 a";
    for (int i = 0; i < 100000; ++i)
        deep += "{\\b ";
    deep += "x";
    for (int i = 0; i < 100000; ++i)
        deep += "}";
    deep += "b}";
    RtfDocument doc = readRtf(deep);
    EXPECT_EQ(doc.plainText(), "axb");
}

TEST(RtfReader, AlignmentPerParagraph) {
    RtfDocument doc = readRtf("{\\rtf1\\qc centred\\par\\pard left\\par\\qr right}");
    ASSERT_EQ(doc.paragraphs.size(), 3u);
    EXPECT_EQ(doc.paragraphs[0].alignment, Qt::AlignHCenter);
    EXPECT_EQ(doc.paragraphs[1].alignment, Qt::AlignLeft);
    EXPECT_EQ(doc.paragraphs[2].alignment, Qt::AlignRight);
}

TEST(TMyRichEdit, ShowsTheDocumentWithItsFormats) {
    QWidget parent;
    parent.resize(400, 300);
    TMyRichEdit view(&parent);
    view.setGeometry(10, 20, 200, 100);
    parent.show();
    view.showRtf("{\\rtf1\\ansi\\ansicpg1251{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0\\fs24 "
                 "{\\b \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2}\\par second}");
    EXPECT_EQ(view.toPlainText(), kPrivet + "\nsecond");
    QTextCursor c(view.document()->firstBlock());
    c.movePosition(QTextCursor::NextCharacter);
    EXPECT_EQ(c.charFormat().fontWeight(), QFont::Bold);
    EXPECT_EQ(c.charFormat().property(QTextFormat::FontPixelSize).toInt(), 16); // 12 pt
    EXPECT_TRUE(view.isReadOnly());
    // The bar covers the view's right edge in the same parent.
    EXPECT_EQ(view.scrollBar()->parentWidget(), &parent);
    EXPECT_EQ(view.scrollBar()->geometry(), QRect(10 + 200 - 16, 20, 16, 100));
}

TEST(TMyRichEdit, BarAppearsOnlyWhenThereIsSomethingToScroll) {
    QWidget parent;
    parent.resize(400, 300);
    TMyRichEdit view(&parent);
    view.setGeometry(0, 0, 200, 100);
    parent.show();
    view.showRtf("{\\rtf1 short}");
    EXPECT_FALSE(view.scrollBar()->isVisible());
    std::string longText = "{\\rtf1 ";
    for (int i = 0; i < 60; ++i)
        longText += "line " + std::to_string(i) + "\\par ";
    view.showRtf(longText + "}");
    EXPECT_TRUE(view.scrollBar()->isVisible());
    // A click low on the track scrolls the text down to about that place.
    int before = view.verticalScrollBar()->value();
    TMyScroll* bar = view.scrollBar();
    bar->PartMouseDown(TMyScroll::Part::Track, Qt::LeftButton, Qt::NoModifier, 0,
                       bar->trackRect().height() / 2);
    EXPECT_GT(view.verticalScrollBar()->value(), before);
    EXPECT_EQ(bar->Position(), view.verticalScrollBar()->value());
    view.hide();
    EXPECT_FALSE(bar->isVisible());
}

TEST(TMyRichEdit, MissingFileShowsNothing) {
    TMyRichEdit view;
    view.setPlainText("old");
    EXPECT_FALSE(view.loadRtfFile("/nonexistent/readme.rtf"));
    EXPECT_EQ(view.toPlainText(), "");
}
