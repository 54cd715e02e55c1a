// The .xls reader: FreeXL parses the whole workbook once when it is opened; selecting a
// sheet and reading cells then only look into what it holds.
#include "workbook.h"

#include "cp1251.h"

#include <freexl.h>

#include <cmath>
#include <cstdio>
#include <cstring>

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
        int found = -1;
        // The exact name first; otherwise the first sheet whose name differs only in case,
        // as spreadsheet programs find sheets.
        for (std::size_t i = 0; i < sheetNames_.size() && found < 0; ++i)
            if (sheetNames_[i] == name)
                found = static_cast<int>(i);
        for (std::size_t i = 0; i < sheetNames_.size() && found < 0; ++i)
            if (cp1251::equalsNoCase(sheetNames_[i], name))
                found = static_cast<int>(i);
        if (found < 0)
            throw WorkbookError(cp("В книге ") + cp1251::fromUtf8(path_) + cp(" нет листа ") + name);
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle_, static_cast<unsigned short>(found)) != FREEXL_OK ||
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

} // namespace

std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path) {
    return std::make_unique<FreeXlWorkbook>(path);
}

} // namespace vexa
