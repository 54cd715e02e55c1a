// The .xls reader: FreeXL parses the whole workbook once when it is opened; selecting a
// sheet and reading cells then only look into what it holds.
#include "workbook.h"

#include "biff_formulas.h"
#include "cell_text.h"
#include "cp1251.h"
#include "prefault.h"

#include <freexl.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <exception>
#include <fcntl.h>
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

// FreeXL over one workbook, in the reading process: sheets by position, cell texts appended
// to a buffer.
class FreeXlWorkbook {
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
    ~FreeXlWorkbook() { close(); }

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

    int lastUsedRow() const {
        if (rows_ == 0)
            return 1;
        return rows_ > 1048576u ? 1048576 : static_cast<int>(rows_);
    }

    // Appends the text of a cell to out; false when FreeXL holds nothing for the cell (an
    // empty cell, or a formula cell, which FreeXL does not read).
    bool appendCellText(int row, int column, std::string& out) const {
        if (row < 1 || column < 1 || static_cast<unsigned>(row) > rows_ ||
            static_cast<unsigned>(column) > columns_)
            return false;
        FreeXL_CellValue v;
        if (freexl_get_cell_value(handle_, static_cast<unsigned int>(row - 1),
                                  static_cast<unsigned short>(column - 1), &v) != FREEXL_OK ||
            v.type == FREEXL_CELL_NULL)
            return false;
        appendValue(v, out);
        return true;
    }

private:
    static void appendValue(const FreeXL_CellValue& v, std::string& out) {
        switch (v.type) {
        case FREEXL_CELL_INT:
            out += std::to_string(v.value.int_value);
            return;
        case FREEXL_CELL_DOUBLE:
            out += numberText(v.value.double_value);
            return;
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            if (v.value.text_value)
                appendCellTextFromUtf8(v.value.text_value, out);
            return;
        case FREEXL_CELL_DATE:
            if (v.value.text_value)
                out += dateText(v.value.text_value);
            return;
        case FREEXL_CELL_DATETIME:
            if (v.value.text_value) {
                std::string t = v.value.text_value;
                if (t.size() > 11)
                    out += dateText(t.substr(0, 10)) + " " + timeText(t.substr(11));
                else
                    out += dateText(t);
            }
            return;
        case FREEXL_CELL_TIME:
            if (v.value.text_value)
                out += timeText(v.value.text_value);
            return;
        default:
            return;
        }
    }

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
        std::uint32_t column = 0, offset = 0, size = 0;
    };
    struct Sheet {
        std::string name;
        int lastRow = 1;
        // The cells of row r are cells[rowStart[r - 1]] up to cells[rowStart[r]], by column;
        // rows past the end of rowStart have none. One flat list keeps the cells of a large
        // sheet in a few allocations.
        std::vector<std::uint32_t> rowStart{0};
        std::vector<Cell> cells;
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
    // populate: fault the pages in at once, which costs much less than one fault per page
    // as the bytes arrive. Large pages where the system gives them: fewer faults still.
    bool reserve(std::size_t n, bool populate = false) {
        if (n <= capacity)
            return true;
        void* p = data ? ::mremap(data, capacity, n, MREMAP_MAYMOVE)
                       : ::mmap(nullptr, n, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            return false;
        data = static_cast<char*>(p);
        capacity = n;
        // Both are only advice: an older system ignores them and the pages fault as they fill.
        ::madvise(data, capacity, MADV_HUGEPAGE);
        if (populate)
            ::madvise(data, capacity, MADV_POPULATE_WRITE);
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
    std::string_view cellText(int row, int column) const override {
        if (!current_ || row < 1 || column < 1 || static_cast<std::size_t>(row) >= current_->rowStart.size())
            return {};
        const Cell* c = current_->cells.data() + current_->rowStart[static_cast<std::size_t>(row - 1)];
        const Cell* end = current_->cells.data() + current_->rowStart[static_cast<std::size_t>(row)];
        for (; c != end && c->column <= static_cast<std::uint32_t>(column); ++c)
            if (c->column == static_cast<std::uint32_t>(column))
                return std::string_view(data + c->offset, c->size);
        return {};
    }

private:
    const Sheet* current_ = nullptr;
};

// Writes to a pipe through a buffer.
class PipeWriter {
public:
    explicit PipeWriter(int fd) : fd_(fd) { buf_.reserve(kSize + 4096); }
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
    // The buffer itself, for appending in place; sent() passes it on once it is full.
    std::string& buffer() { return buf_; }
    void sent() {
        if (buf_.size() >= kSize)
            flush();
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
// 'E' and a message. Cells come row by row, each row by column.
bool sendSnapshot(const std::string& path, int fd) {
    PipeWriter out(fd);
    std::string error;
    try {
        // Formula cells, which FreeXL leaves empty, get the results the workbook stored, and
        // error constants, which FreeXL reads as 1, become empty; only when both readers see
        // the same list of sheets. Read before FreeXL opens the workbook, so that the little
        // this allocates is given back before FreeXL takes the heap.
        auto formulas = readFormulaResults(path);
        // Never closed: the process ends as soon as the snapshot is out, and freeing all that
        // FreeXL holds would only keep the importing process waiting for the end of the pipe.
        auto* book = new FreeXlWorkbook(path);
        const auto& names = book->sheetNames();
        if (formulas.size() != names.size())
            formulas.clear();
        out.bytes("W", 1);
        out.u32(static_cast<std::uint32_t>(names.size()));
        for (std::size_t i = 0; i < names.size(); ++i) {
            book->selectIndex(static_cast<int>(i), names[i]);
            int last = book->lastUsedRow();
            out.u32(static_cast<std::uint32_t>(names[i].size()));
            out.bytes(names[i].data(), names[i].size());
            out.u32(static_cast<std::uint32_t>(last));
            unsigned columns = book->columnCount();
            static const std::vector<FormulaResult> none;
            const auto& results = i < formulas.size() ? formulas[i] : none;
            std::size_t nextResult = 0; // cells are visited in the order of the results
            for (int r = 1; r <= last; ++r)
                for (unsigned c = 1; c <= columns; ++c) {
                    // The text goes straight into the buffer behind room for its header.
                    std::string& buf = out.buffer();
                    const std::size_t head = buf.size();
                    buf.append(12, '\0');
                    bool read = book->appendCellText(r, static_cast<int>(c), buf);
                    while (nextResult < results.size() &&
                           (results[nextResult].row < static_cast<std::uint32_t>(r) ||
                            (results[nextResult].row == static_cast<std::uint32_t>(r) &&
                             results[nextResult].column < c)))
                        ++nextResult;
                    if (nextResult < results.size() &&
                        results[nextResult].row == static_cast<std::uint32_t>(r) &&
                        results[nextResult].column == c && (!read || results[nextResult].replaces)) {
                        buf.resize(head + 12);
                        buf += results[nextResult].text;
                    }
                    const std::size_t size = buf.size() - head - 12;
                    if (size == 0) {
                        buf.resize(head);
                        continue;
                    }
                    const std::uint32_t header[3] = {static_cast<std::uint32_t>(r), c,
                                                     static_cast<std::uint32_t>(size)};
                    std::memcpy(buf.data() + head, header, sizeof header);
                    out.sent();
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

// Counts the cells of each sheet, so that parseSnapshot can size its lists once: on a large
// workbook growing them would copy them several times over and touch that many more pages.
std::vector<std::size_t> countCells(std::string_view data) {
    std::vector<std::size_t> counts;
    Cursor in{data, 1};
    std::uint32_t sheetCount = 0, n = 0, r = 0;
    if (!in.u32(sheetCount))
        return counts;
    for (std::uint32_t i = 0; i < sheetCount; ++i) {
        if (!in.u32(n) || data.size() - in.pos < n)
            return counts;
        in.pos += n;
        if (!in.u32(n))
            return counts;
        std::size_t count = 0;
        while (in.u32(r) && r != 0) {
            if (data.size() - in.pos < 8)
                return counts;
            std::memcpy(&n, data.data() + in.pos + 4, 4);
            in.pos += 8;
            if (data.size() - in.pos < n)
                return counts;
            in.pos += n;
            ++count;
        }
        counts.push_back(count);
    }
    return counts;
}

bool parseSnapshot(SnapshotWorkbook& book) {
    std::string_view data(book.data, book.size);
    const std::vector<std::size_t> counts = countCells(data);
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
        std::uint32_t lastR = 0, lastC = 0;
        if (i < counts.size())
            sheet.cells.reserve(counts[i]);
        prefaultCapacity(sheet.cells);
        sheet.rowStart.reserve(static_cast<std::size_t>(sheet.lastRow) + 1);
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
            // Cells arrive in order; anything else is not a snapshot the reader sent.
            if (r < lastR || (r == lastR && c <= lastC))
                return false;
            while (sheet.rowStart.size() < r)
                sheet.rowStart.push_back(static_cast<std::uint32_t>(sheet.cells.size()));
            sheet.cells.push_back({c, static_cast<std::uint32_t>(in.pos), len});
            lastR = r;
            lastC = c;
            in.pos += len;
        }
        sheet.rowStart.push_back(static_cast<std::uint32_t>(sheet.cells.size()));
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
    // A pipe of a megabyte rather than the usual 64 KB: the two processes then take turns
    // far less often while the snapshot goes through. Only a wish: the size may be refused.
    ::fcntl(fds[1], F_SETPIPE_SZ, 1 << 20);
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        throw WorkbookError(damaged);
    }
    if (pid == 0) {
        ::close(fds[0]);
        // FreeXL keeps the whole workbook in many small blocks, about three and a half times
        // the file's size in all; the heap is grown to that at once rather than page by page.
        std::error_code sizeError;
        auto bytes = std::filesystem::file_size(path, sizeError);
        if (!sizeError)
            growHeap(static_cast<std::size_t>(std::min<std::uintmax_t>(bytes * 4, 256u << 20)));
        bool sent = sendSnapshot(path, fds[1]);
        // The end of the pipe tells the importing process that everything is there; closing
        // it here spares that process the wait while this one frees its memory on exit.
        ::close(fds[1]);
        ::_exit(sent ? 0 : 3);
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
    // The pages are faulted in now, while the reading process is still busy with FreeXL.
    bool ok = book->reserve(want, true);
    // The passes that follow build lists and data files of several times the workbook's size
    // (about six times, measured on a large catalogue); their memory is made ready now too,
    // while there is nothing else to do.
    if (!ec)
        growHeap(static_cast<std::size_t>(std::min<std::uintmax_t>(fileSize * 6, 128u << 20)));
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
    // The snapshot is parsed while the reading process ends; it counts only if that process
    // ended well.
    bool parsed = false;
    std::exception_ptr failure;
    try {
        parsed = ok && book->size > 0 && book->data[0] == 'W' && parseSnapshot(*book);
    } catch (...) {
        failure = std::current_exception();
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (failure)
        std::rethrow_exception(failure);
    if (!ok || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || book->size == 0)
        throw WorkbookError(damaged);
    if (book->data[0] == 'E')
        throw WorkbookError(std::string(book->data + 1, book->size - 1));
    if (!parsed)
        throw WorkbookError(damaged);
    return book;
}

} // namespace vexa
