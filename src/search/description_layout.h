#pragma once
// The layout of item descriptions: the hidden rich-text view RichTest, which lays a marked-up
// description out with its formatting, word-wrapped to the width of a result entry's text
// column, and the shortening of a description to its first five display lines.
#include <QColor>
#include <QFont>
#include <QTextDocument>
#include <QTextFormat>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace vexa {

// A font size in points as pixels on the 96-dpi screen the layout is drawn for.
int pointsToPixels(double points);

class DescriptionLayout {
public:
    // The text column of a games entry: 744 - 129 - 8 - 25 pixels.
    static constexpr int kWidth = 582;

    // Uses the description font the skin gives when nothing overrides it.
    DescriptionLayout();

    // The description font (its pixel size matters) and the main text colour, which colour
    // names outside the table stand for.
    void setFont(const QFont& font);
    const QFont& font() const { return font_; }
    void setMainTextColor(QColor color) { mainColor_ = color; }

    // Replaces the view's content by the description laid out with its formatting.
    void LayoutDescription(std::string_view markup);
    // Display line i (0-based) of the laid-out text without its line end, in cp1251;
    // empty when there is no such line.
    std::string displayLine(int i) const;
    int displayLineCount() const;

    // The first five display lines rebuilt with the description's tags and CR LF line
    // ends, with "..." when text was left out.
    std::string ShortenDescription(std::string_view markup);

    // The formatting at a plain-text position (CR LF counting as two characters), for tests.
    QTextCharFormat formatAt(int plainPosition) const;
    const QTextDocument& document() const { return doc_; }

private:
    void applyFormat(int start, int length, const QTextCharFormat& format);
    int docPosition(int plainPosition) const;
    bool fitsOnOneLine(std::string_view markup) const;

    QTextDocument doc_;
    QFont font_;
    QColor mainColor_ = Qt::white;
    std::vector<int> docPos_;                                // document position of every plain position
    std::unordered_map<std::string, std::string> shortened_; // bounded memo
};

} // namespace vexa
