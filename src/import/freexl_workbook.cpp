// The .xls reader: FreeXL parses the whole workbook once when it is opened; selecting a
// sheet and reading cells then only look into what it holds.
#include "workbook.h"

#include "cp1251.h"

#include <freexl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa {

namespace {

// "YYYY-MM-DD" → "DD.MM.YYYY"; anything else is returned unchanged.
std::string dateText(const std::string& iso) {
    if (iso.size() < 10 || iso[4] != '-' || iso[7] != '-')
        return iso;
    return iso.substr(8, 2) + "." + iso.substr(5, 2) + "." + iso.substr(0, 4);
}

// "HH:MM:SS" → "H:MM:SS" (no leading zero in the hours).
std::string timeText(const std::string& t) {
    if (t.size() >= 2 && t[0] == '0' && t[1] != ':')
        return t.substr(1);
    return t;
}

// UTF-8 to cp1251. Plain ASCII and the Russian alphabet, which make up nearly every cell of
// a catalogue, are converted here directly; any other text goes through the full converter.
std::string cellTextFromUtf8(const char* utf8) {
    std::size_t n = std::strlen(utf8);
    std::string out(n, '\0');
    char* o = out.data();
    const auto* s = reinterpret_cast<const unsigned char*>(utf8);
    for (std::size_t i = 0; i < n;) {
        unsigned char c = s[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            ++i;
            continue;
        }
        if (i + 1 < n && (s[i + 1] & 0xC0) == 0x80 && (c == 0xD0 || c == 0xD1)) {
            unsigned cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu);
            if (cp >= 0x410 && cp <= 0x44F) {
                *o++ = static_cast<char>(0xC0 + (cp - 0x410));
                i += 2;
                continue;
            }
        }
        return cp1251::fromUtf8(std::string_view(utf8, n));
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string numberText(double v) {
    if (!std::isfinite(v))
        return {};
    char buf[64];
    if (v == std::floor(v) && std::fabs(v) < 1e15) {
        std::snprintf(buf, sizeof buf, "%.0f", v);
        // -0 is written as 0.
        return std::strcmp(buf, "-0") == 0 ? std::string("0") : std::string(buf);
    }
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s = buf;
    for (char& c : s)
        if (c == '.')
            c = ',';
    return s;
}

// The exact name first; otherwise the first sheet whose name differs only in case, as
// spreadsheet programs find sheets. -1 when there is none.
int findSheet(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name)
            return static_cast<int>(i);
    for (std::size_t i = 0; i < names.size(); ++i)
        if (cp1251::equalsNoCase(names[i], name))
            return static_cast<int>(i);
    return -1;
}

class FreeXlWorkbook : public Workbook {
public:
    explicit FreeXlWorkbook(const std::string& path) : path_(path) {
        int rc = freexl_open(path.c_str(), &handle_);
        if (rc != FREEXL_OK) {
            close();
            throw WorkbookError(cp("Не удалось открыть книгу ") + cp1251::fromUtf8(path) + " (" + reason(rc) +
                                ")");
        }
        unsigned int count = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK) {
            close();
            throw WorkbookError(cp("Не удалось прочитать книгу ") + cp1251::fromUtf8(path));
        }
        for (unsigned int i = 0; i < count && i < 65536; ++i) {
            const char* name = nullptr;
            if (freexl_get_worksheet_name(handle_, static_cast<unsigned short>(i), &name) == FREEXL_OK &&
                name)
                sheetNames_.push_back(cp1251::fromUtf8(name));
            else
                sheetNames_.emplace_back();
        }
    }
    ~FreeXlWorkbook() override { close(); }

    void selectSheet(const std::string& name) override {
        int found = findSheet(sheetNames_, name);
        if (found < 0)
            throw WorkbookError(cp("В книге ") + cp1251::fromUtf8(path_) + cp(" нет листа ") + name);
        selectIndex(found, name);
    }

    const std::vector<std::string>& sheetNames() const { return sheetNames_; }
    unsigned columnCount() const { return columns_; }

    void selectIndex(int index, const std::string& name) {
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(index)) != FREEXL_OK ||
            freexl_worksheet_dimensions(handle_, &rows, &columns) != FREEXL_OK)
            throw WorkbookError(cp("Не удалось прочитать лист ") + name + cp(" книги ") +
                                cp1251::fromUtf8(path_));
        rows_ = rows;
        columns_ = columns;
    }

    int lastUsedRow() const override {
        if (rows_ == 0)
            return 1;
        return rows_ > 1048576u ? 1048576 : static_cast<int>(rows_);
    }

    std::string cellText(int row, int column) const override {
        if (row < 1 || column < 1 || static_cast<unsigned>(row) > rows_ ||
            static_cast<unsigned>(column) > columns_)
            return {};
        FreeXL_CellValue v;
        if (freexl_get_cell_value(handle_, static_cast<unsigned int>(row - 1),
                                  static_cast<unsigned short>(column - 1), &v) != FREEXL_OK)
            return {};
        switch (v.type) {
        case FREEXL_CELL_INT:
            return std::to_string(v.value.int_value);
        case FREEXL_CELL_DOUBLE:
            return numberText(v.value.double_value);
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            return v.value.text_value ? cellTextFromUtf8(v.value.text_value) : std::string();
        case FREEXL_CELL_DATE:
            return v.value.text_value ? dateText(v.value.text_value) : std::string();
        case FREEXL_CELL_DATETIME:
            if (!v.value.text_value)
                return {};
            {
                std::string t = v.value.text_value;
                if (t.size() > 11)
                    return dateText(t.substr(0, 10)) + " " + timeText(t.substr(11));
                return dateText(t);
            }
        case FREEXL_CELL_TIME:
            return v.value.text_value ? timeText(v.value.text_value) : std::string();
        default:
            return {};
        }
    }

private:
    static std::string reason(int rc) {
        switch (rc) {
        case FREEXL_FILE_NOT_FOUND:
            return cp("файл не найден");
        case FREEXL_INSUFFICIENT_MEMORY:
            return cp("не хватает памяти");
        default:
            return cp("это не книга .xls или она повреждена");
        }
    }
    void close() {
        if (handle_)
            freexl_close(handle_);
        handle_ = nullptr;
    }

    std::string path_;
    const void* handle_ = nullptr;
    std::vector<std::string> sheetNames_;
    unsigned int rows_ = 0;
    unsigned short columns_ = 0;
};

// What the reading process hands back: every sheet with its last used row and the text of
// its non-empty cells, which stay in the bytes received and are copied out when read.
class SnapshotWorkbook : public Workbook {
public:
    struct Cell {
        std::uint32_t offset = 0, size = 0;
    };
    struct Sheet {
        std::string name;
        int lastRow = 1;
        std::vector<std::vector<Cell>> rows; // rows[r - 1][c - 1]
    };
    // The bytes received, in pages of their own (see openXlsWorkbook).
    char* data = nullptr;
    std::size_t size = 0, capacity = 0;
    std::vector<Sheet> sheets;
    std::string path;

    SnapshotWorkbook() = default;
    SnapshotWorkbook(const SnapshotWorkbook&) = delete;
    SnapshotWorkbook& operator=(const SnapshotWorkbook&) = delete;
    ~SnapshotWorkbook() override {
        if (data)
            ::munmap(data, capacity);
    }
    bool reserve(std::size_t n) {
        if (n <= capacity)
            return true;
        void* p = data ? ::mremap(data, capacity, n, MREMAP_MAYMOVE)
                       : ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        data = static_cast<char*>(p);
        capacity = n;
        return true;
    }

    void selectSheet(const std::string& name) override {
        std::vector<std::string> names;
        for (const auto& s : sheets)
            names.push_back(s.name);
        int found = findSheet(names, name);
        if (found < 0)
            throw WorkbookError(cp("В книге ") + cp1251::fromUtf8(path) + cp(" нет листа ") + name);
        current_ = &sheets[static_cast<std::size_t>(found)];
    }
    int lastUsedRow() const override { return current_ ? current_->lastRow : 1; }
    std::string cellText(int row, int column) const override {
        if (!current_ || row < 1 || column < 1 || static_cast<std::size_t>(row) > current_->rows.size())
            return {};
        const auto& r = current_->rows[static_cast<std::size_t>(row - 1)];
        if (static_cast<std::size_t>(column) > r.size())
            return {};
        const Cell& c = r[static_cast<std::size_t>(column - 1)];
        return std::string(data + c.offset, c.size);
    }

private:
    const Sheet* current_ = nullptr;
};

// Writes to a pipe through a buffer.
class PipeWriter {
public:
    explicit PipeWriter(int fd) : fd_(fd) { buf_.reserve(kSize); }
    void u32(std::uint32_t v) { bytes(reinterpret_cast<const char*>(&v), 4); }
    void bytes(const char* p, std::size_t n) {
        if (buf_.size() + n > kSize)
            flush();
        if (n > kSize) {
            writeAll(p, n);
            return;
        }
        buf_.append(p, n);
    }
    void flush() {
        writeAll(buf_.data(), buf_.size());
        buf_.clear();
    }
    bool ok() const { return ok_; }

private:
    static constexpr std::size_t kSize = 1 << 18;
    void writeAll(const char* p, std::size_t n) {
        while (ok_ && n > 0) {
            ssize_t w = ::write(fd_, p, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                ok_ = false;
                return;
            }
            p += w;
            n -= static_cast<std::size_t>(w);
        }
    }
    int fd_;
    std::string buf_;
    bool ok_ = true;
};

// In the reading process: the whole workbook to the pipe. 'W', the number of sheets, and
// for each its name, last row, and cells as (row, column, text) ended by a row of 0; or
// 'E' and a message.
bool sendSnapshot(const std::string& path, int fd) {
    PipeWriter out(fd);
    std::string error;
    try {
        FreeXlWorkbook book(path);
        const auto& names = book.sheetNames();
        out.bytes("W", 1);
        out.u32(static_cast<std::uint32_t>(names.size()));
        for (std::size_t i = 0; i < names.size(); ++i) {
            book.selectIndex(static_cast<int>(i), names[i]);
            int last = book.lastUsedRow();
            out.u32(static_cast<std::uint32_t>(names[i].size()));
            out.bytes(names[i].data(), names[i].size());
            out.u32(static_cast<std::uint32_t>(last));
            unsigned columns = book.columnCount();
            for (int r = 1; r <= last; ++r)
                for (unsigned c = 1; c <= columns; ++c) {
                    std::string text = book.cellText(r, static_cast<int>(c));
                    if (text.empty())
                        continue;
                    out.u32(static_cast<std::uint32_t>(r));
                    out.u32(c);
                    out.u32(static_cast<std::uint32_t>(text.size()));
                    out.bytes(text.data(), text.size());
                }
            out.u32(0);
        }
    } catch (const WorkbookError& e) {
        error = e.message();
    } catch (const std::exception&) {
        error = cp("Не удалось прочитать книгу ") + cp1251::fromUtf8(path);
    }
    if (!error.empty()) {
        // Usually nothing was sent yet (FreeXL reads the whole file when it opens it); if part
        // of the snapshot went out already, the receiver cannot parse it and reports the
        // workbook as damaged.
        out = PipeWriter(fd);
        out.bytes("E", 1);
        out.bytes(error.data(), error.size());
    }
    out.flush();
    return out.ok();
}

struct Cursor {
    std::string_view data;
    std::size_t pos = 0;
    bool u32(std::uint32_t& v) {
        if (data.size() - pos < 4)
            return false;
        std::memcpy(&v, data.data() + pos, 4);
        pos += 4;
        return true;
    }
};

bool parseSnapshot(SnapshotWorkbook& book) {
    std::string_view data(book.data, book.size);
    Cursor in{data, 1};
    std::uint32_t sheetCount = 0;
    if (!in.u32(sheetCount))
        return false;
    for (std::uint32_t i = 0; i < sheetCount; ++i) {
        SnapshotWorkbook::Sheet sheet;
        std::uint32_t n = 0, last = 0;
        if (!in.u32(n) || data.size() - in.pos < n)
            return false;
        sheet.name.assign(data.substr(in.pos, n));
        in.pos += n;
        if (!in.u32(last))
            return false;
        sheet.lastRow = static_cast<int>(std::min<std::uint32_t>(std::max<std::uint32_t>(last, 1), 1048576));
        for (;;) {
            std::uint32_t r = 0, c = 0, len = 0;
            if (!in.u32(r))
                return false;
            if (r == 0)
                break;
            if (!in.u32(c) || !in.u32(len) || data.size() - in.pos < len)
                return false;
            if (r > static_cast<std::uint32_t>(sheet.lastRow) || c < 1 || c > 65536)
                return false;
            if (sheet.rows.size() < r)
                sheet.rows.resize(r);
            auto& row = sheet.rows[r - 1];
            if (row.size() < c)
                row.resize(c);
            row[c - 1] = {static_cast<std::uint32_t>(in.pos), len};
            in.pos += len;
        }
        book.sheets.push_back(std::move(sheet));
    }
    return in.pos == data.size();
}

} // namespace

// FreeXL reads a workbook of the largest size in a few seconds.
constexpr int kReaderSilenceMs = 120000;

std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path) {
    // FreeXL reads past its buffers on some damaged files. It runs in a child process of
    // its own, so that such a file ends that process only and is reported as damaged.
    const std::string damaged =
        cp("Не удалось прочитать книгу ") + cp1251::fromUtf8(path) + cp(" (файл повреждён)");
    int fds[2];
    if (::pipe(fds) != 0)
        throw WorkbookError(damaged);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw WorkbookError(damaged);
    }
    if (pid == 0) {
        ::close(fds[0]);
        ::_exit(sendSnapshot(path, fds[1]) ? 0 : 3);
    }
    ::close(fds[1]);
    auto book = std::make_unique<SnapshotWorkbook>();
    book->path = path;
    // The buffer gets pages of its own rather than heap pages: after the fork the heap's
    // pages are shared with the reading process, and writing to them would copy each.
    std::error_code ec;
    auto fileSize = std::filesystem::file_size(path, ec);
    std::size_t want =
        ec ? std::size_t(1) << 20
           : static_cast<std::size_t>(std::min<std::uintmax_t>(fileSize * 2 + 65536, 1u << 30));
    bool ok = book->reserve(want);
    while (ok) {
        if (book->size == book->capacity && !book->reserve(book->capacity * 2)) {
            ok = false;
            break;
        }
        // A reader that stays silent this long is caught in a damaged file for good.
        pollfd wait{fds[0], POLLIN, 0};
        int ready = ::poll(&wait, 1, kReaderSilenceMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ::kill(pid, SIGKILL);
            ok = false;
            break;
        }
        ssize_t n = ::read(fds[0], book->data + book->size, book->capacity - book->size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        book->size += static_cast<std::size_t>(n);
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!ok || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || book->size == 0)
        throw WorkbookError(damaged);
    if (book->data[0] == 'E')
        throw WorkbookError(std::string(book->data + 1, book->size - 1));
    if (book->data[0] != 'W' || !parseSnapshot(*book))
        throw WorkbookError(damaged);
    return book;
}

} // namespace vexa
