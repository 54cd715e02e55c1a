// Feeds one input to the loaders as each of the four data files in turn (the others
// holding a small sound catalogue), then rebuilds the tree for every model.
#include "catalogue.h"
#include "data_files.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>

using namespace vexa;
namespace fs = std::filesystem;

namespace {

fs::path scratch() {
    static fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("vexa-fuzz-" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void writeSound(const fs::path& dir) {
    std::vector<TSoftRecord> soft(4);
    soft[0].Level = 1;
    soft[1].Level = 2;
    soft[1].Image4 = "1";
    soft[2].Level = 3;
    soft[2].ParentID = 1;
    soft[3].Level = 4;
    soft[3].ParentID = 2;
    writeWholeFile(dir / kSoftFile, encodeSoftFile(soft));
    writeWholeFile(dir / kModelsFile, encodeModelsFile({{"M", "", {3}}}));
    writeWholeFile(dir / kCodesFile, encodeCodesFile({{3, "1", {0}}}));
    writeWholeFile(dir / kContentFile, encodeContentFile({{"Op", 0, "r"}}));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fs::path dir = scratch();
    std::string bytes(reinterpret_cast<const char*>(data), size);
    for (const char* file : {kSoftFile, kModelsFile, kCodesFile, kContentFile}) {
        writeSound(dir);
        writeWholeFile(dir / file, bytes);
        Catalogue cat(dir);
        while (cat.LoadSoftRecord() > 0) {
        }
        while (cat.LoadModelRecord() > 0) {
        }
        while (cat.LoadCodeRecord() > 0) {
        }
        cat.SumTreeCounts();
        cat.LoadOperators();
        for (std::size_t m = 0; m <= cat.Models.size() && m < 16; ++m)
            cat.RebuildTree(static_cast<int>(m));
    }
    return 0;
}
