#include "description_layout.h"

#include "cp1251.h"
#include "markup.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>
#include <QTextOption>

#include <cmath>

namespace vexa {

namespace {

constexpr std::size_t kMemoLimit = 4096;

bool isTagLetter(char c) {
    return c == '/' || c == 'b' || c == 'c' || c == 'h' || c == 'i';
}

QString toQString(std::string_view cp1251Text) {
    QString s;
    s.reserve(static_cast<qsizetype>(cp1251Text.size()));
    for (char c : cp1251Text)
        s.append(QChar(static_cast<char16_t>(cp1251::toUnicode(static_cast<unsigned char>(c)))));
    return s;
}

} // namespace

int pointsToPixels(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

DescriptionLayout::DescriptionLayout() {
    // The skin's built-in main font, which the description font follows by default.
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pointsToPixels(8));
    doc_.setDocumentMargin(0);
    doc_.setUndoRedoEnabled(false);
    doc_.setTextWidth(kWidth);
    QTextOption option = doc_.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // Nine tab stops, each 5 points after the one before.
    QList<QTextOption::Tab> tabs;
    for (int k = 1; k <= 9; ++k)
        tabs.append(QTextOption::Tab(k * 5.0 * 96.0 / 72.0, QTextOption::LeftTab));
    option.setTabs(tabs);
    doc_.setDefaultTextOption(option);
    setFont(f);
}

void DescriptionLayout::setFont(const QFont& font) {
    font_ = font;
    doc_.setDefaultFont(font_);
    shortened_.clear();
}

int DescriptionLayout::docPosition(int plain) const {
    if (docPos_.empty())
        return 0;
    if (plain < 0)
        plain = 0;
    if (plain >= static_cast<int>(docPos_.size()))
        plain = static_cast<int>(docPos_.size()) - 1;
    return docPos_[static_cast<std::size_t>(plain)];
}

void DescriptionLayout::applyFormat(int start, int length, const QTextCharFormat& format) {
    int from = docPosition(start), to = docPosition(start + length);
    if (to <= from)
        return;
    QTextCursor c(&doc_);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    c.mergeCharFormat(format);
}

void DescriptionLayout::LayoutDescription(std::string_view markup) {
    // The plain text goes in with every line break (CR LF, or a lone CR or LF) as a
    // paragraph end; docPos_ maps plain positions, where CR LF counts twice, onto it.
    std::string plain = MarkupToPlain(markup);
    QString text;
    text.reserve(static_cast<qsizetype>(plain.size()));
    docPos_.assign(plain.size() + 1, 0);
    int d = 0;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        docPos_[i] = d;
        char c = plain[i];
        if (c == '\r' && i + 1 < plain.size() && plain[i + 1] == '\n') {
            docPos_[++i] = d;
            text.append(QChar('\n'));
        } else if (c == '\r' || c == '\n') {
            text.append(QChar('\n'));
        } else {
            text.append(QChar(static_cast<char16_t>(cp1251::toUnicode(static_cast<unsigned char>(c)))));
        }
        ++d;
    }
    docPos_[plain.size()] = d;
    doc_.clear();
    doc_.setPlainText(text);

    // The walk over the mark-up that finds the plain range of every tagged span.
    int boldStart = -1, italicStart = -1, colorStart = -1, sizeStart = -1;
    QColor pendingColor = mainColor_;
    char pendingLevel = '1';
    int pos = 0;
    std::string_view rest = markup;
    for (;;) {
        std::size_t lt = rest.find('<');
        if (lt == std::string_view::npos)
            break;
        pos += static_cast<int>(lt);
        rest.remove_prefix(lt);
        char kind = rest.size() > 1 ? rest[1] : '\0';
        if (!isTagLetter(kind)) {
            ++pos;
            rest.remove_prefix(1);
            continue;
        }
        std::size_t gt = rest.find('>');
        if (gt == std::string_view::npos)
            break;
        std::string_view tag = rest.substr(0, gt + 1);
        rest.remove_prefix(gt + 1);
        switch (kind) {
        case 'b':
            boldStart = pos;
            break;
        case 'i':
            italicStart = pos;
            break;
        case 'c': {
            colorStart = pos;
            auto rgb = ColorByName(tag.substr(2, tag.size() - 3));
            pendingColor = rgb ? QColor::fromRgb(static_cast<QRgb>(*rgb)) : mainColor_;
            break;
        }
        case 'h':
            pendingLevel = tag.size() > 2 ? tag[2] : '>';
            sizeStart = pos;
            break;
        case '/': {
            char what = tag.size() > 2 ? tag[2] : '\0';
            int* start = what == 'b'   ? &boldStart
                         : what == 'i' ? &italicStart
                         : what == 'c' ? &colorStart
                         : what == 'h' ? &sizeStart
                                       : nullptr;
            if (!start || *start < 0)
                break;
            QTextCharFormat f;
            if (what == 'b')
                f.setFontWeight(QFont::Bold);
            else if (what == 'i')
                f.setFontItalic(true);
            else if (what == 'c')
                f.setForeground(pendingColor);
            else
                f.setProperty(QTextFormat::FontPixelSize,
                              pointsToPixels(HeadingSize(std::string_view(&pendingLevel, 1))));
            applyFormat(*start, pos - *start, f);
            *start = -1;
            break;
        }
        }
    }
    // Lays the whole document out now.
    doc_.documentLayout()->documentSize();
}

int DescriptionLayout::displayLineCount() const {
    int n = 0;
    for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next())
        n += b.layout() ? b.layout()->lineCount() : 0;
    return n;
}

std::string DescriptionLayout::displayLine(int i) const {
    if (i < 0)
        return {};
    for (QTextBlock b = doc_.begin(); b.isValid(); b = b.next()) {
        const QTextLayout* layout = b.layout();
        int lines = layout ? layout->lineCount() : 0;
        if (i < lines) {
            QTextLine line = layout->lineAt(i);
            QString text = b.text().mid(line.textStart(), line.textLength());
            return cp1251::fromUtf8(text.toStdString());
        }
        i -= lines;
    }
    return {};
}

QTextCharFormat DescriptionLayout::formatAt(int plainPosition) const {
    QTextCursor c(const_cast<QTextDocument*>(&doc_));
    c.setPosition(docPosition(plainPosition) + 1);
    return c.charFormat();
}

// A description without mark-up, breaks or tabs whose plain text is clearly narrower
// than the column lays out as one line: its shortened form is the text itself.
bool DescriptionLayout::fitsOnOneLine(std::string_view markup) const {
    for (char c : markup)
        if (c == '<' || c == '#' || c == '\t' || c == '\r' || c == '\n')
            return false;
    QFontMetricsF metrics(font_);
    return metrics.horizontalAdvance(toQString(markup)) < kWidth - 8;
}

std::string DescriptionLayout::ShortenDescription(std::string_view source) {
    if (fitsOnOneLine(source))
        return std::string(source);
    std::string key(source);
    if (auto it = shortened_.find(key); it != shortened_.end())
        return it->second;

    LayoutDescription(source);
    std::string lines;
    for (int i = 0; i < 5; ++i) {
        if (i)
            lines += "\r\n";
        lines += displayLine(i);
    }
    while (lines.size() >= 2 && lines.compare(lines.size() - 2, 2, "\r\n") == 0)
        lines.resize(lines.size() - 2);

    // Every character of the lines other than a line end is the next plain character of
    // the source: copy the tags in front of it and the character itself. Line breaks of
    // the source (markers and raw CR or LF, which the lines already hold as line ends)
    // are skipped.
    std::string result;
    std::size_t j = 0;
    const std::size_t n = source.size();
    for (char ch : lines) {
        if (ch == '\r' || ch == '\n') {
            result += ch;
            continue;
        }
        for (;;) {
            if (j + 1 < n && source[j] == '#' && source[j + 1] == ' ') {
                j += 2;
                continue;
            }
            if (j < n && (source[j] == '\r' || source[j] == '\n')) {
                ++j;
                continue;
            }
            if (j + 1 < n && source[j] == '<' && isTagLetter(source[j + 1])) {
                std::size_t gt = source.find('>', j);
                std::size_t end = gt == std::string_view::npos ? n : gt + 1;
                result.append(source.substr(j, end - j));
                j = end;
                continue;
            }
            break;
        }
        if (j < n)
            result += source[j++];
    }
    if (source.size() > result.size())
        result += "...";
    if (shortened_.size() >= kMemoLimit)
        shortened_.clear();
    shortened_.emplace(std::move(key), result);
    return result;
}

} // namespace vexa
