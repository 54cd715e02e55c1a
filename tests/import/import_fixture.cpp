#include "import_fixture.h"

namespace vexa::test {

ImportFixture::ImportFixture() {
    host.progress = &progress;
    host.message = [this](const std::string& title, const std::string& text) {
        shown.emplace_back(title, text);
    };
    host.fileExists = [this](const std::string& path) {
        lookedUp.push_back(path);
        return existing.count(path) > 0;
    };
    book.addSheet("Model");
    book.addSheet("Soft");
    book.addSheet("Operator");
}

void ImportFixture::rows(const std::string& sheet, int firstRow,
                         const std::vector<std::vector<std::string>>& cells) {
    int row = firstRow;
    for (const auto& r : cells) {
        std::vector<std::string> converted;
        for (const auto& c : r)
            converted.push_back(cp(c));
        book.setRow(sheet, row++, converted);
    }
}

void ImportFixture::run() {
    RunImportPasses(book, state, host);
}

std::vector<std::string> ImportFixture::protocol() const {
    std::vector<std::string> out;
    for (const auto& l : state.protocol)
        out.push_back(u8(l));
    return out;
}

std::vector<std::string> ImportFixture::boxes() const {
    std::vector<std::string> out;
    for (const auto& [title, text] : shown)
        out.push_back(u8(title) + ": " + u8(text));
    return out;
}

std::vector<std::string> ImportFixture::briefs() const {
    std::vector<std::string> out;
    for (const auto& r : state.content)
        out.push_back(u8(r.Brief));
    return out;
}

} // namespace vexa::test
