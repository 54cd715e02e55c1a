#pragma once
// The catalogue workbook as the import sees it: sheets found by name, the last used row of
// a sheet, and the text of a cell. Texts are cp1251.
//
// Cell text, whatever the reader:
//   - an empty or missing cell gives empty text;
//   - a whole number gives its decimal digits ("42", "-7"), up to 15 digits; larger
//     numbers are written like fractions below;
//   - a number with a fraction gives up to 15 significant digits with "," as the decimal
//     separator and no trailing zeros ("3,25"; very large or small ones as "1,5E+20");
//   - a date gives DD.MM.YYYY, a date with a time DD.MM.YYYY H:MM:SS, a time H:MM:SS;
//   - a boolean gives 1 (true) or 0 (false); a cell holding an error value is empty;
//   - a formula cell gives the result the spreadsheet program stored with it when it last
//     calculated the workbook, by the rules above (a number never as a date: the reader
//     does not apply the cell's format to a formula's result); a workbook saved without
//     results gives empty formula cells;
//   - text is converted to cp1251, characters that cp1251 cannot hold become "?".
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexa {

// A workbook that cannot be opened or read, or a sheet that it does not have. The message
// is cp1251 and says in Russian which workbook or which sheet.
class WorkbookError : public std::runtime_error {
public:
    explicit WorkbookError(std::string cp1251Message)
        : std::runtime_error("workbook error"), message_(std::move(cp1251Message)) {}
    const std::string& message() const { return message_; }

private:
    std::string message_;
};

class Workbook {
public:
    virtual ~Workbook() = default;
    // Makes the named sheet the one that lastUsedRow() and cellText() read. Throws
    // WorkbookError when the workbook has no sheet of that name.
    virtual void selectSheet(const std::string& cp1251Name) = 0;
    // The row of the bottom-right cell of the selected sheet's used range (1 for an empty
    // sheet, as its used range is the first cell).
    virtual int lastUsedRow() const = 0;
    // The text of a cell of the selected sheet; row and column count from 1. The text stays
    // valid as long as the workbook (the import reads tens of thousands of cells and keeps
    // few of them).
    virtual std::string_view cellText(int row, int column) const = 0;
};

// A workbook held in memory, for tests: sheets of cp1251 texts.
class MemoryWorkbook : public Workbook {
public:
    // Sets a cell of a sheet, creating the sheet when needed. The used range grows to hold
    // every cell that was set, empty ones included.
    void set(const std::string& sheet, int row, int column, std::string cp1251Text);
    // Sets a whole row from column 1 on.
    void setRow(const std::string& sheet, int row, const std::vector<std::string>& cp1251Cells);
    // Creates an empty sheet.
    void addSheet(const std::string& sheet);

    void selectSheet(const std::string& cp1251Name) override;
    int lastUsedRow() const override;
    std::string_view cellText(int row, int column) const override;

private:
    struct Sheet {
        std::map<std::pair<int, int>, std::string> cells;
        int lastRow = 1;
    };
    std::map<std::string, Sheet> sheets_;
    const Sheet* current_ = nullptr;
};

// Opens an .xls workbook (BIFF5 or BIFF8) with FreeXL. The path is in the file system's
// encoding. Throws WorkbookError when the file cannot be opened or read.
std::unique_ptr<Workbook> openXlsWorkbook(const std::string& path);

} // namespace vexa
