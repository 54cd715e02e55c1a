#include "import_run.h"

#include "cp1251.h"
#include "data_file_set.h"
#include "data_files.h"
#include "import_passes.h"
#include "prefault.h"
#include "workbook.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>

namespace vexa {

namespace fs = std::filesystem;

namespace {

const char* const kProtocolFile = "LoadProt.txt";

fs::path& callerDirectory() {
    static fs::path dir;
    return dir;
}

// Shows the hourglass for the life of the object.
class BusyGuard {
public:
    explicit BusyGuard(ImportHost& host) : host_(host) {
        if (host_.busy)
            host_.busy(true);
    }
    ~BusyGuard() {
        if (host_.busy)
            host_.busy(false);
    }

private:
    ImportHost& host_;
};

void tell(ImportHost& host, const std::string& title, const std::string& text) {
    if (host.message)
        host.message(title, text);
}

// The workbook's path: a bare name lies in the current directory (the program's folder);
// a name with a folder part is taken as given, relative to where the program was started.
fs::path workbookPath(std::string name) {
    bool hasFolder = name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
    if (!hasFolder)
        return fs::current_path() / name;
    for (char& c : name)
        if (c == '\\')
            c = '/';
    fs::path p(name);
    if (p.is_relative() && !callerDirectory().empty())
        return callerDirectory() / p;
    return p;
}

// The protocol file: created at the start of the run (so that a folder where nothing can
// be written is found before any work), filled and closed at its end.
class Protocol {
public:
    bool create(std::string& reason) {
        file_ = std::fopen(kProtocolFile, "wb");
        if (!file_)
            reason = std::strerror(errno);
        return file_ != nullptr;
    }
    // Writes the lines and closes the file; false with a reason when that fails.
    bool finish(const std::vector<std::string>& lines, std::string& reason) {
        if (!file_)
            return true;
        bool ok = true;
        for (const auto& line : lines) {
            if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() ||
                std::fwrite("\r\n", 1, 2, file_) != 2) {
                ok = false;
                break;
            }
        }
        int err = errno;
        if (std::fclose(file_) != 0 && ok) {
            ok = false;
            err = errno;
        }
        file_ = nullptr;
        if (!ok)
            reason = std::strerror(err);
        return ok;
    }
    // Closes and deletes the file.
    void discard() {
        if (file_)
            std::fclose(file_);
        file_ = nullptr;
        std::remove(kProtocolFile);
    }
    ~Protocol() {
        if (file_)
            std::fclose(file_);
    }

private:
    std::FILE* file_ = nullptr;
};

// A data file's bytes, in a buffer sized once from an upper bound of its length and faulted
// in at once (growing it step by step would copy and fault in several times as much).
template <typename R, typename Bound, typename Append>
std::string encodeList(const std::vector<R>& records, Bound bound, Append append) {
    std::size_t size = 0;
    for (const auto& r : records)
        size += bound(r);
    std::string out;
    out.reserve(size);
    prefaultCapacity(out);
    for (const auto& r : records)
        append(out, r);
    return out;
}

// Upper bounds of a record's length in its data file: its fixed fields and length prefixes
// and the whole of its texts and lists (the writers only ever cut them).
std::size_t softBound(const TSoftRecord& r) {
    return 16 + r.Brief.size() + r.Image1.size() + r.Image2.size() + r.Image3.size() + r.Image4.size() +
           r.Descript.size();
}
std::size_t modelBound(const TModelRecord& r) {
    return 3 + r.Model.size() + 4 * r.SoftIDs.size();
}
std::size_t codeBound(const TSoftCodeRecord& r) {
    return 7 + r.Code.size() + 4 * r.ModelIndexes.size();
}
std::size_t operatorBound(const TOperatorRecord& r) {
    return 7 + r.Operator.size() + r.Regions.size();
}

// Ends a run that failed. The protocol was created (and an older one replaced) when the run
// began; it keeps the lines found so far, and stays empty when there were none.
int failedRun(Protocol& protocol, const ImportState& state) {
    std::string reason;
    protocol.finish(state.protocol, reason);
    return 1;
}

} // namespace

void setImportCallerDirectory(const std::filesystem::path& dir) {
    callerDirectory() = dir;
}

int ImportFromSpreadsheet(const std::vector<std::string>& parameters, ImportHost& host) {
    // Only a first parameter ending in ".XLS" (Latin letters in any case) names a workbook;
    // anything else makes the run do nothing at all.
    if (parameters.empty())
        return 0;
    const std::string& name = parameters.front();
    if (name.size() < 4 || cp1251::compareLatinNoCase(name.substr(name.size() - 4), ".XLS") != 0)
        return 0;

    ImportState state;
    for (std::size_t i = 1; i < parameters.size(); ++i) {
        if (parameters[i] == "/d")
            state.NoDuplicateWarnings = true;
        else if (parameters[i] == "/i")
            state.NoFileChecks = true;
    }

    int exitCode = 0;
    {
        BusyGuard busy(host);
        Protocol protocol;
        std::string reason;
        if (!protocol.create(reason)) {
            std::error_code ec;
            tell(host, cp("Ошибка"),
                 cp("Не удалось создать файл ") + kProtocolFile + cp(" в папке ") +
                     cp1251::fromUtf8(fs::current_path(ec).string()) + ": " + cp1251::fromUtf8(reason) +
                     cp(". Книга не загружена, файлы данных не изменены."));
            return 1;
        }

        fs::path path = workbookPath(name);
        try {
            auto book = openXlsWorkbook(path.string());
            RunImportPasses(*book, state, host);
        } catch (const WorkbookError& e) {
            tell(host, cp("Ошибка"), e.message());
            return failedRun(protocol, state);
        } catch (const ImportStopped&) {
            return failedRun(protocol, state);
        } catch (const std::bad_alloc&) {
            tell(host, cp("Ошибка"),
                 cp("Не хватает памяти для загрузки книги ") + cp1251::fromUtf8(path.string()));
            return failedRun(protocol, state);
        }
        state.releaseIndexes();

        std::vector<DataFileContent> files(4);
        files[0] = {kModelsFile, encodeList(state.models, modelBound, appendModelRecord)};
        state.models = {};
        files[1] = {kSoftFile, encodeList(state.content, softBound, appendSoftRecord)};
        state.content = {};
        files[2] = {kCodesFile, encodeList(state.codes, codeBound, appendCodeRecord)};
        state.codes = {};
        sortOperators(state);
        files[3] = {kContentFile, encodeList(state.operators, operatorBound, appendOperatorRecord)};
        state.operators = {};

        DataFileSetError error;
        if (!writeDataFileSet(fs::current_path(), files, &error)) {
            tell(host, cp("Ошибка"),
                 cp("Не удалось записать файл ") + error.file + ": " + cp1251::fromUtf8(error.reason) +
                     cp(". Файлы данных остались прежними."));
            return failedRun(protocol, state);
        }

        if (state.ProblemsFound) {
            if (!protocol.finish(state.protocol, reason)) {
                tell(host, cp("Ошибка"),
                     cp("Не удалось записать файл ") + kProtocolFile + ": " + cp1251::fromUtf8(reason));
                exitCode = 1;
            } else {
                tell(host, cp("Упс!"), cp("В процессе загрузки обнаружены ошибки, см. файл LoadProt.txt"));
            }
        } else {
            protocol.discard();
        }
    }
    if (host.progress) {
        host.progress->setPosition(0);
        host.progress->SetColor(0x00FF00); // green
    }
    return exitCode;
}

} // namespace vexa
