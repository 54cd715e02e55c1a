#include "biff_formulas.h"

#include "cell_text.h"
#include "cp1251.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <memory>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
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
        // The header takes a whole sector; a file without one more holds nothing.
        if (file_.size() < 2 * sectorSize_)
            return false;
        sectorCount_ =
            static_cast<std::uint32_t>(std::min<std::size_t>(file_.size() / sectorSize_ - 1, 0xFFFFFFF0u));
        miniCutoff_ = u32(file_, 0x38);
        miniFatStart_ = u32(file_, 0x3C);
        dirStart_ = u32(file_, 0x30);
        // The sectors that hold the allocation table: 109 named in the header, the rest in a
        // chain of further sectors.
        std::uint32_t fatSectors = u32(file_, 0x2C);
        if (fatSectors > sectorCount_)
            return false;
        std::vector<std::uint32_t> fatList;
        for (std::uint32_t i = 0; i < 109 && fatList.size() < fatSectors; ++i)
            fatList.push_back(u32(file_, 0x4C + 4 * i));
        std::uint32_t dif = u32(file_, 0x44);
        const std::size_t perDif = sectorSize_ / 4 - 1;
        for (std::uint32_t guard = 0; fatList.size() < fatSectors && guard <= sectorCount_; ++guard) {
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

    // The bytes of a chain of sectors, cut to size (size 0: the whole chain): a view into the
    // file where the sectors follow one another, as writers usually lay them out; otherwise
    // a copy in storage.
    bool chain(std::uint32_t start, std::size_t size, std::string& storage, std::string_view& out) const {
        std::vector<std::uint32_t> sectors;
        std::size_t total = 0;
        for (std::uint32_t s = start; s != kEndOfChain && (!size || total < size);) {
            if (!validSector(s) || s >= fat_.size() || sectors.size() > sectorCount_)
                return false;
            sectors.push_back(s);
            total += sectorSize_;
            s = fat_[s];
        }
        if (size > total)
            return false;
        if (!size)
            size = total;
        bool contiguous = true;
        for (std::size_t i = 1; i < sectors.size() && contiguous; ++i)
            contiguous = sectors[i] == sectors[i - 1] + 1;
        if (contiguous) {
            out = sectors.empty() ? std::string_view()
                                  : file_.substr((std::size_t(sectors[0]) + 1) * sectorSize_, size);
            return out.size() == size;
        }
        storage.clear();
        storage.reserve(total);
        for (std::uint32_t s : sectors)
            storage.append(sector(s));
        storage.resize(size);
        out = storage;
        return true;
    }

    // The workbook stream: the first entry, in directory order, among the root's children
    // named "Workbook" or "Book". Entries of sub-storages (embedded objects) are not looked at.
    bool workbook(std::string& storage, std::string_view& out) const {
        std::string dirStorage;
        std::string_view dir;
        if (!chain(dirStart_, 0, dirStorage, dir) || dir.size() < 128)
            return false;
        const std::size_t entries = dir.size() / 128;
        auto entry = [&](std::size_t i) { return dir.substr(i * 128, 128); };
        // The root's children form a tree through their left and right sibling links.
        std::vector<std::uint32_t> pending{u32(entry(0), 0x4C)};
        std::vector<bool> seen(entries, false);
        std::size_t found = entries;
        while (!pending.empty()) {
            std::uint32_t i = pending.back();
            pending.pop_back();
            if (i >= entries || seen[i])
                continue;
            seen[i] = true;
            std::string_view e = entry(i);
            pending.push_back(u32(e, 0x44));
            pending.push_back(u32(e, 0x48));
            unsigned nameBytes = std::min<unsigned>(u16(e, 0x40), 64);
            std::string name;
            for (unsigned k = 0; k + 1 < nameBytes; k += 2) {
                std::uint16_t c = u16(e, k);
                if (c == 0)
                    break;
                name += c < 128 ? static_cast<char>(c) : '?';
            }
            if (static_cast<unsigned char>(e[0x42]) == 2 && i < found &&
                (cp1251::equalsNoCase(name, "Workbook") || cp1251::equalsNoCase(name, "Book")))
                found = i;
        }
        if (found == entries)
            return false;
        std::string_view e = entry(found);
        std::uint32_t start = u32(e, 0x74);
        std::size_t size = u32(e, 0x78);
        if (size >= miniCutoff_)
            return chain(start, size, storage, out);
        // A small stream lies in the mini stream (the root's own stream), in sectors of 64 bytes.
        std::string miniStorage, miniFatStorage;
        std::string_view mini, miniFat;
        if (!chain(u32(entry(0), 0x74), u32(entry(0), 0x78), miniStorage, mini) ||
            !chain(miniFatStart_, 0, miniFatStorage, miniFat))
            return false;
        storage.clear();
        std::uint32_t s = start;
        for (std::size_t steps = 0; s != kEndOfChain && storage.size() < size; ++steps) {
            if (steps > mini.size() / 64 || (std::size_t(s) + 1) * 64 > mini.size() ||
                4 * (std::size_t(s) + 1) > miniFat.size())
                return false;
            storage.append(mini.substr(std::size_t(s) * 64, 64));
            s = u32(miniFat, 4 * std::size_t(s));
        }
        if (storage.size() < size)
            return false;
        storage.resize(size);
        out = storage;
        return true;
    }

private:
    bool validSector(std::uint32_t s) const { return s < sectorCount_; }
    std::string_view sector(std::uint32_t s) const {
        return file_.substr((std::size_t(s) + 1) * sectorSize_, sectorSize_);
    }

    std::string_view file_;
    std::size_t sectorSize_ = 512;
    std::uint32_t sectorCount_ = 0;
    std::uint32_t miniCutoff_ = 4096, miniFatStart_ = kEndOfChain, dirStart_ = kEndOfChain;
    std::vector<std::uint32_t> fat_;
};

// One character as UTF-8; a NUL character is left out (the texts are NUL-free C strings).
void appendCodePoint(char32_t c, std::string& utf8) {
    if (c == 0)
        return;
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

// Bytes of an older workbook's texts in its code page, as UTF-8; the converter is opened
// once for all the texts of a workbook.
class CodePage {
public:
    explicit CodePage(unsigned codePage) : codePage_(codePage) {}
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;
    ~CodePage() {
        if (open_)
            ::iconv_close(cd_);
    }

    std::string toUtf8(std::string_view bytes) {
        if (codePage_ == 1251 || codePage_ == 0)
            return cp1251::toUtf8(bytes);
        if (!tried_) {
            tried_ = true;
            cd_ = ::iconv_open("UTF-8", name().c_str());
            open_ = cd_ != reinterpret_cast<iconv_t>(-1);
        }
        std::string out;
        if (!open_) {
            for (char c : bytes)
                out += static_cast<unsigned char>(c) < 0x80 ? c : '?';
            return out;
        }
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        out.resize(bytes.size() * 4 + 4);
        char* in = const_cast<char*>(bytes.data());
        std::size_t inLeft = bytes.size(), outLeft = out.size();
        char* o = out.data();
        while (inLeft > 0) {
            if (::iconv(cd_, &in, &inLeft, &o, &outLeft) == static_cast<std::size_t>(-1)) {
                if (outLeft == 0)
                    break;
                *o++ = '?'; // a byte the code page does not define
                --outLeft;
                ++in;
                --inLeft;
            }
        }
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    // The converter's name for a workbook's code page number, as FreeXL names them.
    std::string name() const {
        switch (codePage_) {
        case 367:
            return "ASCII";
        case 1200:
            return "UTF-16LE";
        case 10000:
        case 0x8000:
            return "MACINTOSH";
        case 0x8001:
            return "CP1252";
        default:
            return "CP" + std::to_string(codePage_);
        }
    }

    unsigned codePage_;
    bool tried_ = false, open_ = false;
    iconv_t cd_{};
};

constexpr std::uint16_t kFormula = 0x0006, kString = 0x0207, kContinue = 0x003C, kBof = 0x0809, kEof = 0x000A,
                        kBoundSheet = 0x0085, kCodePage = 0x0042, kBoolErr = 0x0205, kFilePass = 0x002F;

} // namespace

bool readWorkbookStream(std::string_view file, std::string& storage, std::string_view& stream) {
    Compound doc(file);
    return doc.open() && doc.workbook(storage, stream);
}

std::vector<std::vector<FormulaResult>> parseFormulaResults(std::string_view biff) {
    std::vector<std::vector<FormulaResult>> sheets;
    std::unordered_map<std::uint32_t, std::size_t> sheetAt; // BOF offset -> sheet
    bool biff8 = true;
    unsigned codePage = 1252;
    long current = -1; // the sheet whose records are being read; -1 none
    int nested = 0;    // substreams inside a sheet (charts), whose records are not its cells
    FormulaResult* pendingText = nullptr; // a formula whose text result follows
    std::unique_ptr<CodePage> converter;  // for an older workbook's texts
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
        case kFilePass:
            // The records that follow are encrypted: nothing in them can be read.
            return {};
        case kBoolErr:
            pendingText = nullptr;
            // An error constant: FreeXL reads it as the number 1; its text is empty.
            if (current >= 0 && nested == 0 && len >= 8 && data[7] != 0) {
                FormulaResult r;
                r.row = u16(data, 0) + 1u;
                r.column = u16(data, 2) + 1u;
                r.replaces = true;
                sheets[static_cast<std::size_t>(current)].push_back(std::move(r));
            }
            break;
        case kFormula: {
            pendingText = nullptr;
            if (current < 0 || nested > 0 || len < 16)
                break;
            FormulaResult r;
            r.row = u16(data, 0) + 1u;
            r.column = u16(data, 2) + 1u;
            // A result that is no number is marked by 0xFFFF in its last two bytes; its first
            // byte tells what it is.
            const bool special = u16(data, 12) == 0xFFFF;
            const auto kind = static_cast<unsigned char>(data[6]);
            if (special) {
                switch (kind) {
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
            if (special && kind == 0)
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
                if (!converter)
                    converter = std::make_unique<CodePage>(codePage);
                utf8 = converter->toUtf8(data.substr(2, std::min<std::size_t>(count, len - 2)));
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
    std::string storage;
    std::string_view stream;
    if (!readWorkbookStream(file, storage, stream))
        return {};
    return parseFormulaResults(stream);
}

std::vector<std::vector<FormulaResult>> readFormulaResults(const std::string& path) {
    // The file is mapped rather than copied: its sectors are read where they lie.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat st {};
    void* map = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && st.st_size > 0)
        map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return {};
    std::vector<std::vector<FormulaResult>> results;
    try {
        results = formulaResultsOfFile(
            std::string_view(static_cast<const char*>(map), static_cast<std::size_t>(st.st_size)));
    } catch (const std::exception&) {
        // Out of memory on a huge file: the workbook is read without its formula results.
        results.clear();
    }
    ::munmap(map, static_cast<std::size_t>(st.st_size));
    return results;
}

} // namespace vexa
