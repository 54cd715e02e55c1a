#include "biff_formulas.h"

#include "cell_text.h"
#include "cp1251.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <unordered_map>

namespace vexa {

namespace {

std::uint16_t u16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      (static_cast<unsigned char>(b[at + 1]) << 8));
}
std::uint32_t u32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kNoStream = 0xFFFFFFFF;

// The sectors of a compound document and the chains through them.
class Compound {
public:
    explicit Compound(std::string_view file) : file_(file) {}

    bool open() {
        static const char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
        if (file_.size() < 512 || file_.compare(0, 8, std::string_view(kSignature, 8)) != 0)
            return false;
        unsigned shift = u16(file_, 0x1E), miniShift = u16(file_, 0x20);
        if ((shift != 9 && shift != 12) || miniShift != 6)
            return false;
        sectorSize_ = std::size_t(1) << shift;
        miniCutoff_ = u32(file_, 0x38);
        miniFatStart_ = u32(file_, 0x3C);
        dirStart_ = u32(file_, 0x30);
        // The sectors that hold the allocation table: 109 named in the header, the rest in a
        // chain of further sectors.
        std::uint32_t fatSectors = u32(file_, 0x2C);
        if (fatSectors > sectorCount())
            return false;
        std::vector<std::uint32_t> fatList;
        for (std::uint32_t i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32(file_, 0x4C + 4 * i));
        std::uint32_t dif = u32(file_, 0x44);
        const std::size_t perDif = sectorSize_ / 4 - 1;
        for (std::uint32_t guard = 0; fatList.size() < fatSectors && guard <= sectorCount(); ++guard) {
            if (!validSector(dif))
                return false;
            std::string_view s = sector(dif);
            for (std::size_t i = 0; i < perDif && fatList.size() < fatSectors; ++i)
                fatList.push_back(u32(s, 4 * i));
            dif = u32(s, 4 * perDif);
        }
        if (fatList.size() < fatSectors)
            return false;
        fat_.reserve(fatSectors * (sectorSize_ / 4));
        for (std::uint32_t f : fatList) {
            if (!validSector(f))
                return false;
            std::string_view s = sector(f);
            for (std::size_t i = 0; i < sectorSize_ / 4; ++i)
                fat_.push_back(u32(s, 4 * i));
        }
        return true;
    }

    // The bytes of a chain of sectors, cut to size (size 0: the whole chain).
    bool chain(std::uint32_t start, std::size_t size, std::string& out) const {
        out.clear();
        std::uint32_t s = start;
        for (std::size_t steps = 0; s != kEndOfChain; ++steps) {
            if (!validSector(s) || s >= fat_.size() || steps > sectorCount())
                return false;
            out.append(sector(s));
            if (size && out.size() >= size)
                break;
            s = fat_[s];
        }
        if (size) {
            if (out.size() < size)
                return false;
            out.resize(size);
        }
        return true;
    }

    // A stream found by name in the directory.
    bool stream(std::string_view wanted, std::string& out) const {
        std::string dir;
        if (!chain(dirStart_, 0, dir))
            return false;
        std::uint32_t miniStart = kNoStream;
        std::size_t miniSize = 0;
        for (std::size_t at = 0; at + 128 <= dir.size(); at += 128) {
            std::string_view e(dir.data() + at, 128);
            unsigned nameBytes = std::min<unsigned>(u16(e, 0x40), 64);
            std::string name;
            for (unsigned i = 0; i + 1 < nameBytes; i += 2) {
                std::uint16_t c = u16(e, i);
                if (c == 0)
                    break;
                name += c < 128 ? static_cast<char>(c) : '?';
            }
            auto type = static_cast<unsigned char>(e[0x42]);
            std::uint32_t start = u32(e, 0x74);
            std::size_t size = u32(e, 0x78);
            if (type == 5) {
                miniStart = start;
                miniSize = size;
            }
            if (type != 2 || name.size() != wanted.size() || cp1251::compareLatinNoCase(name, wanted) != 0)
                continue;
            if (size >= miniCutoff_)
                return chain(start, size, out);
            // A small stream lies in the mini stream, in sectors of 64 bytes.
            std::string mini, miniFat;
            if (miniStart == kNoStream || !chain(miniStart, miniSize, mini) ||
                !chain(miniFatStart_, 0, miniFat))
                return false;
            out.clear();
            std::uint32_t s = start;
            for (std::size_t steps = 0; s != kEndOfChain && out.size() < size; ++steps) {
                if (steps > mini.size() / 64 || (std::size_t(s) + 1) * 64 > mini.size() ||
                    4 * (std::size_t(s) + 1) > miniFat.size())
                    return false;
                out.append(mini, std::size_t(s) * 64, 64);
                s = u32(miniFat, 4 * std::size_t(s));
            }
            if (out.size() < size)
                return false;
            out.resize(size);
            return true;
        }
        return false;
    }

private:
    std::uint32_t sectorCount() const {
        return static_cast<std::uint32_t>(std::min<std::size_t>(file_.size() / sectorSize_ - 1, 0xFFFFFFF0u));
    }
    bool validSector(std::uint32_t s) const { return s < sectorCount(); }
    std::string_view sector(std::uint32_t s) const {
        return file_.substr((std::size_t(s) + 1) * sectorSize_, sectorSize_);
    }

    std::string_view file_;
    std::size_t sectorSize_ = 512;
    std::uint32_t miniCutoff_ = 4096, miniFatStart_ = kEndOfChain, dirStart_ = kEndOfChain;
    std::vector<std::uint32_t> fat_;
};

void appendCodePoint(char32_t c, std::string& utf8) {
    if (c < 0x80) {
        utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
        utf8 += static_cast<char>(0xC0 | (c >> 6));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        utf8 += static_cast<char>(0xE0 | (c >> 12));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | (c >> 18));
        utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// count UTF-16 characters from b[at] on, as UTF-8.
void appendUtf16(std::string_view b, std::size_t at, std::size_t count, std::string& utf8) {
    for (std::size_t i = 0; i < count; ++i) {
        char32_t c = u16(b, at + 2 * i);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count) {
            char32_t low = u16(b, at + 2 * i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendCodePoint(c, utf8);
    }
}

// Bytes of an older workbook's text in its code page, as UTF-8.
std::string codePageToUtf8(std::string_view bytes, unsigned codePage) {
    if (codePage == 1251 || codePage == 0)
        return cp1251::toUtf8(bytes);
    std::string from = codePage == 1200 ? "UTF-16LE" : "CP" + std::to_string(codePage);
    iconv_t cd = ::iconv_open("UTF-8", from.c_str());
    std::string out;
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        for (char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
        return out;
    }
    out.resize(bytes.size() * 4 + 4);
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size(), outLeft = out.size();
    char* o = out.data();
    while (inLeft > 0) {
        if (::iconv(cd, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
            if (outLeft == 0)
                break;
            *o++ = '?'; // a byte the code page does not define
            --outLeft;
            ++in;
            --inLeft;
        }
    }
    ::iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

constexpr std::uint16_t kFormula = 0x0006, kString = 0x0207, kContinue = 0x003C, kBof = 0x0809, kEof = 0x000A,
                        kBoundSheet = 0x0085, kCodePage = 0x0042;

} // namespace

bool readCompoundStream(std::string_view file, std::string_view name, std::string& stream) {
    Compound doc(file);
    return doc.open() && doc.stream(name, stream);
}

std::vector<std::vector<FormulaResult>> parseFormulaResults(std::string_view biff) {
    std::vector<std::vector<FormulaResult>> sheets;
    std::unordered_map<std::uint32_t, std::size_t> sheetAt; // BOF offset -> sheet
    bool biff8 = true;
    unsigned codePage = 1252;
    long current = -1; // the sheet whose records are being read; -1 none
    int nested = 0;    // substreams inside a sheet (charts), whose records are not its cells
    FormulaResult* pendingText = nullptr; // a formula whose text result follows
    std::size_t pos = 0;
    bool first = true;
    while (biff.size() - pos >= 4) {
        const std::size_t at = pos;
        std::uint16_t id = u16(biff, pos), len = u16(biff, pos + 2);
        if (biff.size() - pos - 4 < len)
            break;
        std::string_view data = biff.substr(pos + 4, len);
        pos += 4 + std::size_t(len);
        switch (id) {
        case kBof: {
            if (first && len >= 2)
                biff8 = u16(data, 0) >= 0x0600;
            first = false;
            auto sheet = sheetAt.find(static_cast<std::uint32_t>(at));
            if (sheet != sheetAt.end() && nested == 0) {
                current = static_cast<long>(sheet->second);
            } else if (current >= 0) {
                ++nested;
            }
            pendingText = nullptr;
            break;
        }
        case kEof:
            if (nested > 0)
                --nested;
            else
                current = -1;
            pendingText = nullptr;
            break;
        case kBoundSheet:
            if (len >= 4 && current < 0) {
                sheetAt.emplace(u32(data, 0), sheets.size());
                sheets.emplace_back();
            }
            break;
        case kCodePage:
            if (len >= 2)
                codePage = u16(data, 0);
            break;
        case kFormula: {
            pendingText = nullptr;
            if (current < 0 || nested > 0 || len < 16)
                break;
            FormulaResult r;
            r.row = u16(data, 0) + 1u;
            r.column = u16(data, 2) + 1u;
            if (u16(data, 12) == 0xFFFF) {
                switch (static_cast<unsigned char>(data[6])) {
                case 0: // text, in the record that follows
                    break;
                case 1: // boolean
                    r.text.assign(1, data[8] ? '1' : '0');
                    break;
                default: // an error value or empty text
                    break;
                }
            } else {
                double v;
                std::memcpy(&v, data.data() + 6, 8);
                r.text = numberText(v);
            }
            auto& cells = sheets[static_cast<std::size_t>(current)];
            cells.push_back(std::move(r));
            if (u16(data, 12) == 0xFFFF && data[6] == 0)
                pendingText = &cells.back();
            break;
        }
        case kString: {
            FormulaResult* target = pendingText;
            pendingText = nullptr;
            if (!target || len < 2)
                break;
            std::size_t count = u16(data, 0);
            std::string utf8;
            if (!biff8) {
                utf8 = codePageToUtf8(data.substr(2, std::min<std::size_t>(count, len - 2)), codePage);
            } else {
                // Characters of one or two bytes; a long text goes on in CONTINUE records, each
                // beginning with its own flag for the width of its characters.
                std::string_view part = data.substr(2);
                std::size_t done = 0;
                std::size_t next = pos;
                while (done < count && !part.empty()) {
                    bool wide = part[0] & 1;
                    std::size_t width = wide ? 2 : 1;
                    std::size_t n = std::min(count - done, (part.size() - 1) / width);
                    if (wide) {
                        appendUtf16(part, 1, n, utf8);
                    } else {
                        for (std::size_t i = 0; i < n; ++i) // one byte: the character's code, up to 255
                            appendCodePoint(static_cast<unsigned char>(part[1 + i]), utf8);
                    }
                    done += n;
                    if (done >= count || biff.size() - next < 4 || u16(biff, next) != kContinue)
                        break;
                    std::uint16_t clen = u16(biff, next + 2);
                    if (biff.size() - next - 4 < clen)
                        break;
                    part = biff.substr(next + 4, clen);
                    next += 4 + std::size_t(clen);
                }
                pos = next;
            }
            appendCellTextFromUtf8(utf8.c_str(), target->text);
            break;
        }
        default:
            // Records between a formula and its text (shared and array formulas) keep the
            // text's place; any cell record ends it.
            if (id != 0x04BC && id != 0x0221 && id != 0x0236)
                pendingText = nullptr;
            break;
        }
    }
    for (auto& cells : sheets)
        std::stable_sort(cells.begin(), cells.end(), [](const FormulaResult& a, const FormulaResult& b) {
            return a.row != b.row ? a.row < b.row : a.column < b.column;
        });
    return sheets;
}

std::vector<std::vector<FormulaResult>> formulaResultsOfFile(std::string_view file) {
    std::string stream;
    if (!readCompoundStream(file, "Workbook", stream) && !readCompoundStream(file, "Book", stream))
        return {};
    return parseFormulaResults(stream);
}

std::vector<std::vector<FormulaResult>> readFormulaResults(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::streamoff size = in.tellg();
    if (size <= 0 || size > (std::streamoff(1) << 30))
        return {};
    std::string file(static_cast<std::size_t>(size), '\0');
    in.seekg(0);
    if (!in.read(file.data(), size))
        return {};
    return formulaResultsOfFile(file);
}

} // namespace vexa
