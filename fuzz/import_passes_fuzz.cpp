// The import on any input: as an in-memory workbook through the four passes (checking the
// records they leave), or as an .xls file through the FreeXL reader.
//
// In-memory form: the first byte holds the switches (bit 0 "/d", bit 1 "/i"); the rest is
// split into the sheets "Model", "Soft", "Operator" by 0x03, rows by 0x02, cells by 0x01.
//
// An .xls file (first byte 0x80 and up) is read by FreeXL in a child process. FreeXL itself
// reads past its buffers on many damaged files; the sanitizer then reports in that child
// (and libFuzzer saves a crash-* file from there) while this process goes on, as the import
// does: such reports are FreeXL's, not the import's. Run with -detect_leaks=0 (FreeXL leaks
// on some damaged files too).
#include "data_files.h"
#include "import_passes.h"
#include "workbook.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace vexa;

namespace {

void check(bool ok) {
    if (!ok)
        __builtin_trap();
}

void checkRecords(const ImportState& s) {
    for (std::size_t i = 0; i < s.content.size(); ++i) {
        const TSoftRecord& r = s.content[i];
        check(r.Level >= 1 && r.Level <= 4);
        if (r.Level == 1)
            check(r.ParentID == 0);
        else
            check(r.ParentID >= 0 && static_cast<std::size_t>(r.ParentID) < i &&
                  s.content[r.ParentID].Level == r.Level - 1);
        for (const std::string* t : {&r.Brief, &r.Image1, &r.Image2, &r.Image3, &r.Image4})
            check(t->size() <= kShortTextLimit);
        check(r.Descript.size() <= kLongTextLimit);
    }
    for (const auto& m : s.models) {
        check(m.Model.size() <= kShortTextLimit);
        for (auto id : m.SoftIDs)
            check(id >= 0 && static_cast<std::size_t>(id) < s.content.size() && s.content[id].Level == 4);
    }
    for (const auto& c : s.codes) {
        check(c.Code.size() <= static_cast<std::size_t>(kMaxCodeLength));
        check(c.SoftID >= 0 && static_cast<std::size_t>(c.SoftID) < s.content.size());
        for (auto m : c.ModelIndexes)
            check(m >= 0 && static_cast<std::size_t>(m) < s.models.size());
    }
    for (const auto& o : s.operators) {
        check(o.ContentID >= 0 && static_cast<std::size_t>(o.ContentID) < s.content.size() &&
              s.content[o.ContentID].Level == 1);
        check(o.Operator.size() <= kShortTextLimit && o.Regions.size() <= kLongTextLimit);
    }
}

void runPasses(const std::uint8_t* data, std::size_t size) {
    MemoryWorkbook book;
    const char* sheets[] = {"Model", "Soft", "Operator"};
    for (const char* s : sheets)
        book.addSheet(s);
    ImportState state;
    state.NoDuplicateWarnings = data[0] & 1;
    state.NoFileChecks = data[0] & 2;
    int sheet = 0, row = 1, column = 1;
    std::string cell;
    auto flush = [&] {
        if (!cell.empty() && row <= 2000 && column <= 12)
            book.set(sheets[sheet], row, column, cell);
        cell.clear();
    };
    for (std::size_t i = 1; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c == 1) {
            flush();
            ++column;
        } else if (c == 2) {
            flush();
            ++row;
            column = 1;
        } else if (c == 3) {
            flush();
            if (sheet == 2)
                break;
            ++sheet;
            row = 1;
            column = 1;
        } else {
            cell += c;
        }
    }
    flush();
    ImportHost host;
    host.fileExists = [](const std::string& path) { return path.size() % 3 == 0; };
    try {
        RunImportPasses(book, state, host);
    } catch (const ImportStopped&) {
        return;
    }
    state.releaseIndexes();
    sortOperators(state);
    checkRecords(state);
    // What is written reads back as the same number of records.
    RecordReader soft(encodeSoftFile(state.content));
    std::size_t n = 0;
    for (TSoftRecord r; readSoftRecord(soft, r) > 0; r = TSoftRecord())
        ++n;
    check(n == state.content.size());
}

void readWorkbook(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("vexa-fuzz-" + std::to_string(getpid()) + ".xls"))
            .string();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    try {
        auto book = openXlsWorkbook(path);
        for (const char* s : {"Model", "Soft", "Operator"}) {
            try {
                book->selectSheet(s);
            } catch (const WorkbookError&) {
                continue;
            }
            int last = book->lastUsedRow();
            for (int r = 1; r <= last && r <= 500; ++r)
                for (int c = 1; c <= 9; ++c)
                    book->cellText(r, c);
        }
    } catch (const WorkbookError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    if (data[0] & 0x80)
        readWorkbook(data, size);
    else
        runPasses(data, size);
    return 0;
}
