#include "workbook.h"

#include "cp1251.h"

#include <algorithm>

namespace vexa {

void MemoryWorkbook::addSheet(const std::string& sheet) {
    sheets_[sheet];
}

void MemoryWorkbook::set(const std::string& sheet, int row, int column, std::string text) {
    if (row < 1 || column < 1)
        return;
    Sheet& s = sheets_[sheet];
    s.cells[{row, column}] = std::move(text);
    s.lastRow = std::max(s.lastRow, row);
}

void MemoryWorkbook::setRow(const std::string& sheet, int row, const std::vector<std::string>& cells) {
    for (std::size_t c = 0; c < cells.size(); ++c)
        set(sheet, row, static_cast<int>(c) + 1, cells[c]);
    if (cells.empty())
        addSheet(sheet);
}

void MemoryWorkbook::selectSheet(const std::string& name) {
    auto it = sheets_.find(name);
    if (it == sheets_.end())
        throw WorkbookError(cp("В книге нет листа ") + name);
    current_ = &it->second;
}

int MemoryWorkbook::lastUsedRow() const {
    return current_ ? current_->lastRow : 1;
}

std::string_view MemoryWorkbook::cellText(int row, int column) const {
    if (!current_)
        return {};
    auto it = current_->cells.find({row, column});
    return it == current_->cells.end() ? std::string_view() : std::string_view(it->second);
}

} // namespace vexa
