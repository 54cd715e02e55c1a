#include "rtf_reader.h"

#include "cp1251.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include <iconv.h>

namespace vexa {

namespace {

// A 256-entry table of a code page, built once through iconv.
const std::array<char16_t, 256>& codePageTable(int codePage) {
    static std::mutex mutex;
    static std::map<int, std::array<char16_t, 256>> tables;
    std::lock_guard lock(mutex);
    auto it = tables.find(codePage);
    if (it != tables.end())
        return it->second;
    std::array<char16_t, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[i] = static_cast<char16_t>(i < 0x80 ? i : 0xFFFD);
    std::string name = codePage == 866 ? "CP866" : "CP" + std::to_string(codePage);
    iconv_t cd = iconv_open("UTF-16LE", name.c_str());
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        for (int i = 0x80; i < 256; ++i) {
            char in = static_cast<char>(i);
            char out[8];
            char* inp = &in;
            char* outp = out;
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                outLeft == sizeof out - 2)
                table[i] = static_cast<char16_t>(static_cast<unsigned char>(out[0]) |
                                                 (static_cast<unsigned char>(out[1]) << 8));
        }
        iconv_close(cd);
    }
    return tables.emplace(codePage, table).first->second;
}

} // namespace

char16_t codePageToUnicode(int codePage, unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (codePage == 1251)
        return static_cast<char16_t>(cp1251::toUnicode(byte));
    switch (codePage) {
    case 874:
    case 866:
    case 1250:
    case 1252:
    case 1253:
    case 1254:
    case 1255:
    case 1256:
    case 1257:
    case 1258:
        return codePageTable(codePage)[byte];
    default:
        return codePageTable(1252)[byte];
    }
}

int charsetToCodePage(int charset) {
    switch (charset) {
    case 0:
        return 1252;
    case 204:
        return 1251;
    case 238:
        return 1250;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 163:
        return 1258;
    case 222:
        return 874;
    default:
        return 0;
    }
}

QString RtfParagraph::text() const {
    QString t;
    for (const RtfRun& r : runs)
        t += r.text;
    return t;
}

QString RtfDocument::plainText() const {
    QString t;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i)
            t += QLatin1Char('\n');
        t += paragraphs[i].text();
    }
    return t;
}

namespace {

// Bounds that keep broken documents cheap.
constexpr int kMaxDepth = 200;
constexpr int kMaxTableEntries = 4096;
constexpr int kMaxWordLength = 32;

enum class Destination { Text, FontTable, FontEntry, ColorTable, Skip };

struct CharFormat {
    bool bold = false, italic = false, underline = false;
    int halfPoints = 24;
    int color = 0; // colour table index; 0 is the automatic colour
    int font = -1;
};

struct State {
    Destination dest = Destination::Text;
    CharFormat format;
    int unicodeSkip = 1; // \ucN
};

struct Font {
    QString name;
    int codePage = 0;
};

class Reader {
public:
    explicit Reader(std::string_view in) : in_(in) {}

    RtfDocument run() {
        doc_.paragraphs.emplace_back();
        while (pos_ < in_.size()) {
            char c = in_[pos_++];
            switch (c) {
            case '{':
                openGroup();
                break;
            case '}':
                closeGroup();
                break;
            case '\\':
                controlWord();
                break;
            case '\r':
            case '\n':
                break;
            default:
                byteText(static_cast<unsigned char>(c));
            }
        }
        // A document that ends inside a group keeps the text read so far.
        if (doc_.paragraphs.size() > 1 && doc_.paragraphs.back().runs.empty())
            doc_.paragraphs.pop_back();
        return std::move(doc_);
    }

private:
    State& st() { return stack_.back(); }

    void openGroup() {
        ++depth_;
        if (depth_ > kMaxDepth) {
            ++ignoredDepth_;
            return;
        }
        stack_.push_back(stack_.back());
        pendingSkip_ = 0;
    }

    void closeGroup() {
        if (depth_ == 0)
            return; // a stray '}' is ignored
        --depth_;
        if (ignoredDepth_ > 0) {
            --ignoredDepth_;
            return;
        }
        Destination was = st().dest;
        if (was == Destination::FontEntry)
            endFontEntry();
        if (stack_.size() > 1)
            stack_.pop_back();
        pendingSkip_ = 0;
    }

    // The code page that the current text is in.
    int codePage() {
        auto it = fonts_.find(st().format.font);
        if (it != fonts_.end() && it->second.codePage)
            return it->second.codePage;
        return docCodePage_;
    }

    void byteText(unsigned char byte) {
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        if (byte == ';' && st().dest == Destination::ColorTable) {
            endColor();
            return;
        }
        // A face name is in the character set of the font it names.
        bool fontName = st().dest == Destination::FontTable || st().dest == Destination::FontEntry;
        char16_t ch = codePageToUnicode(fontName && fontCodePage_ ? fontCodePage_ : codePage(), byte);
        charText(ch);
    }

    void charText(char16_t ch) {
        switch (st().dest) {
        case Destination::Text:
            appendText(QString(QChar(ch)));
            break;
        case Destination::FontTable:
        case Destination::FontEntry:
            if (ch == u';')
                endFontEntry();
            else if (fontName_.size() < 256)
                fontName_ += QChar(ch);
            break;
        default:
            break;
        }
    }

    void appendText(const QString& s) {
        const CharFormat& f = st().format;
        RtfParagraph& par = doc_.paragraphs.back();
        std::optional<QColor> color;
        if (f.color > 0 && f.color < static_cast<int>(colors_.size()) && colors_[f.color])
            color = colors_[f.color];
        QString face;
        if (auto it = fonts_.find(f.font); it != fonts_.end())
            face = it->second.name;
        if (!par.runs.empty()) {
            RtfRun& last = par.runs.back();
            if (last.bold == f.bold && last.italic == f.italic && last.underline == f.underline &&
                last.halfPoints == f.halfPoints && last.color == color && last.fontName == face) {
                last.text += s;
                return;
            }
        }
        RtfRun run;
        run.text = s;
        run.bold = f.bold;
        run.italic = f.italic;
        run.underline = f.underline;
        run.halfPoints = f.halfPoints;
        run.color = color;
        run.fontName = face;
        par.runs.push_back(std::move(run));
    }

    void newParagraph() {
        if (st().dest != Destination::Text)
            return;
        Qt::Alignment a = doc_.paragraphs.back().alignment;
        doc_.paragraphs.emplace_back();
        doc_.paragraphs.back().alignment = a;
    }

    void endFontEntry() {
        if (fontNumber_ >= 0 && fonts_.size() < kMaxTableEntries && !fonts_.count(fontNumber_)) {
            Font f;
            f.name = fontName_.trimmed();
            f.codePage = fontCodePage_;
            fonts_[fontNumber_] = f;
        }
        fontNumber_ = -1;
        fontCodePage_ = 0;
        fontName_.clear();
    }

    void endColor() {
        if (colors_.size() < kMaxTableEntries)
            colors_.push_back(colorSet_ ? std::optional<QColor>(QColor(red_, green_, blue_)) : std::nullopt);
        red_ = green_ = blue_ = 0;
        colorSet_ = false;
    }

    void skipDestination() { st().dest = Destination::Skip; }

    void controlWord() {
        if (pos_ >= in_.size())
            return;
        char c = in_[pos_];
        if (!std::isalpha(static_cast<unsigned char>(c))) {
            ++pos_;
            controlSymbol(c);
            return;
        }
        std::size_t start = pos_;
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])) &&
               pos_ - start < kMaxWordLength)
            ++pos_;
        std::string_view word = in_.substr(start, pos_ - start);
        // Any further letters of an overlong word are dropped.
        while (pos_ < in_.size() && std::isalpha(static_cast<unsigned char>(in_[pos_])))
            ++pos_;
        bool hasParam = false;
        bool negative = false;
        long long param = 0;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() &&
            std::isdigit(static_cast<unsigned char>(in_[pos_ + 1]))) {
            negative = true;
            ++pos_;
        }
        while (pos_ < in_.size() && std::isdigit(static_cast<unsigned char>(in_[pos_]))) {
            hasParam = true;
            if (param < 100000000000LL)
                param = param * 10 + (in_[pos_] - '0');
            ++pos_;
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;
        if (param > INT32_MAX)
            param = INT32_MAX;
        int value = static_cast<int>(negative ? -param : param);
        handleWord(word, hasParam, value);
    }

    void controlSymbol(char c) {
        switch (c) {
        case '\'': {
            int hi = pos_ < in_.size() ? hexValue(in_[pos_]) : -1;
            int lo = pos_ + 1 < in_.size() ? hexValue(in_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0)
                return; // a broken escape is dropped
            pos_ += 2;
            byteText(static_cast<unsigned char>(hi * 16 + lo));
            return;
        }
        case '*':
            // An ignorable destination: nothing in it is text that the view shows.
            skipDestination();
            return;
        case '\\':
        case '{':
        case '}':
            byteText(static_cast<unsigned char>(c));
            return;
        case '~':
            emitSpecial(u'\u00A0');
            return;
        case '_':
            emitSpecial(u'\u2011');
            return;
        case '\r':
        case '\n':
            newParagraph();
            return;
        case '\t':
            emitSpecial(u'\t');
            return;
        default:
            return; // \- optional hyphen and unknown symbols
        }
    }

    void emitSpecial(char16_t ch) {
        if (pendingSkip_ > 0) {
            --pendingSkip_;
            return;
        }
        if (st().dest == Destination::Text)
            appendText(QString(QChar(ch)));
    }

    static int hexValue(char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    void handleWord(std::string_view w, bool hasParam, int v) {
        CharFormat& f = st().format;
        bool on = !hasParam || v != 0;
        if (w == "bin") {
            // Binary data: the parameter says how many bytes to pass over.
            std::size_t n = hasParam && v > 0 ? static_cast<std::size_t>(v) : 0;
            pos_ += std::min(n, in_.size() - pos_);
            return;
        }
        if (st().dest == Destination::Skip)
            return;
        if (w == "par" || w == "sect" || w == "page" || w == "row")
            newParagraph();
        else if (w == "line")
            emitSpecial(u'\u2028');
        else if (w == "tab" || w == "cell")
            emitSpecial(u'\t');
        else if (w == "emdash")
            emitSpecial(u'\u2014');
        else if (w == "endash")
            emitSpecial(u'\u2013');
        else if (w == "bullet")
            emitSpecial(u'\u2022');
        else if (w == "lquote")
            emitSpecial(u'\u2018');
        else if (w == "rquote")
            emitSpecial(u'\u2019');
        else if (w == "ldblquote")
            emitSpecial(u'\u201C');
        else if (w == "rdblquote")
            emitSpecial(u'\u201D');
        else if (w == "b")
            f.bold = on;
        else if (w == "i")
            f.italic = on;
        else if (w == "ul")
            f.underline = on;
        else if (w == "ulnone")
            f.underline = false;
        else if (w == "fs")
            f.halfPoints = hasParam && v > 0 && v <= 3276 ? v : 24;
        else if (w == "cf")
            f.color = std::max(0, v);
        else if (w == "plain") {
            int font = f.font;
            f = CharFormat{};
            f.font = deff_ >= 0 ? deff_ : font;
        } else if (w == "pard")
            doc_.paragraphs.back().alignment = Qt::AlignLeft;
        else if (w == "ql")
            doc_.paragraphs.back().alignment = Qt::AlignLeft;
        else if (w == "qc")
            doc_.paragraphs.back().alignment = Qt::AlignHCenter;
        else if (w == "qr")
            doc_.paragraphs.back().alignment = Qt::AlignRight;
        else if (w == "qj")
            doc_.paragraphs.back().alignment = Qt::AlignJustify;
        else if (w == "uc")
            st().unicodeSkip = std::clamp(v, 0, 16);
        else if (w == "u") {
            int code = v < 0 ? v + 65536 : v;
            if (hasParam && code > 0 && code <= 0xFFFF)
                charTextUnicode(static_cast<char16_t>(code));
            pendingSkip_ = st().unicodeSkip;
        } else if (w == "ansicpg") {
            if (v > 0)
                docCodePage_ = v;
        } else if (w == "deff") {
            deff_ = v;
            if (f.font < 0)
                f.font = v;
        } else if (w == "f") {
            if (st().dest == Destination::FontTable || st().dest == Destination::FontEntry) {
                st().dest = Destination::FontEntry;
                fontNumber_ = v;
            } else
                f.font = v;
        } else if (w == "fcharset") {
            fontCodePage_ = charsetToCodePage(v);
        } else if (w == "cpg") {
            if (st().dest == Destination::FontEntry && v > 0)
                fontCodePage_ = v;
        } else if (w == "fonttbl")
            st().dest = Destination::FontTable;
        else if (w == "colortbl") {
            st().dest = Destination::ColorTable;
            red_ = green_ = blue_ = 0;
            colorSet_ = false;
        } else if (w == "red" || w == "green" || w == "blue") {
            if (st().dest == Destination::ColorTable) {
                (w == "red" ? red_ : w == "green" ? green_ : blue_) = std::clamp(v, 0, 255);
                colorSet_ = true;
            }
        } else if (isSkippedDestination(w))
            skipDestination();
    }

    void charTextUnicode(char16_t ch) {
        if (st().dest == Destination::Text)
            appendText(QString(QChar(ch)));
        else
            charText(ch);
    }

    // The number or bullet text of a list item ({\listtext ...}, {\pntext ...}) is read as
    // text: the reader makes no numbering of its own, so this is the only way it is seen.
    static bool isSkippedDestination(std::string_view w) {
        static const char* const kSkipped[] = {
            "info",       "stylesheet", "pict",      "object",     "header",
            "headerl",    "headerr",    "headerf",   "footer",     "footerl",
            "footerr",    "footerf",    "footnote",  "annotation", "fldinst",
            "nonshppict", "xe",         "tc",        "txe",        "rxe",
            "shp",        "shpinst",    "sp",        "listtable",  "listoverridetable",
            "pn",         "pntxta",     "pntxtb",    "template",   "revtbl",
            "filetbl",    "themedata",  "datastore", "private",    "objdata",
            "result",     "atnauthor",  "atndate",   "atnid",      "bkmkstart",
            "bkmkend",    "field_inst", "comment",   "doccomm",    "title",
            "subject",    "author",     "operator",  "keywords",
        };
        for (const char* s : kSkipped)
            if (w == s)
                return true;
        return false;
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    RtfDocument doc_;
    std::vector<State> stack_{State{}};
    int depth_ = 0, ignoredDepth_ = 0;
    int pendingSkip_ = 0;
    int docCodePage_ = 1252;
    int deff_ = -1;
    std::map<int, Font> fonts_;
    int fontNumber_ = -1, fontCodePage_ = 0;
    QString fontName_;
    std::vector<std::optional<QColor>> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorSet_ = false;
};

} // namespace

RtfDocument readRtf(std::string_view bytes) {
    return Reader(bytes).run();
}

} // namespace vexa
