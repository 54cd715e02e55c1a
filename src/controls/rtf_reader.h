#pragma once
// Vexa's own reader of RTF documents (the help text). It keeps what the help view shows:
// paragraphs and their alignment, line breaks, tabs, bold, italic, underline, font sizes,
// colours from the colour table and faces from the font table. Text in \'hh escapes and
// plain bytes is decoded in the code page of the current font (from its character set)
// or of the document; \uN gives a Unicode character and skips its \ucN replacement
// characters. Destinations that are not text ({\* ...}, pictures, objects, headers,
// style sheets, document information, field instructions) are skipped; table cells
// become tab-separated text and rows become paragraphs. Broken or unknown input gives
// what can be read: the reader makes one pass over the bytes and never fails.
#include <QColor>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

namespace vexa {

struct RtfRun {
    QString text;
    bool bold = false, italic = false, underline = false;
    int halfPoints = 24;         // font size in half-points
    std::optional<QColor> color; // none: the view's own text colour
    QString fontName;            // empty: the view's own face
};

struct RtfParagraph {
    std::vector<RtfRun> runs;
    Qt::Alignment alignment = Qt::AlignLeft;
    QString text() const;
};

struct RtfDocument {
    std::vector<RtfParagraph> paragraphs;
    // The paragraphs' texts joined by '\n'.
    QString plainText() const;
};

RtfDocument readRtf(std::string_view bytes);

// Unicode of one byte in a Windows code page (1250-1258, 874, 866, or anything else as
// 1252). Used for the document's \'hh escapes.
char16_t codePageToUnicode(int codePage, unsigned char byte);
// The Windows code page of an RTF character set number (\fcharset), or 0 when the set
// says nothing about the code page (the document's is used).
int charsetToCodePage(int charset);

} // namespace vexa
