#include "test_support.h"

#include "cp1251.h"
#include "data_files.h"

#include <fstream>
#include <random>
#include <stdexcept>

namespace fs = std::filesystem;

namespace vexa::test {

ScratchDir::ScratchDir() {
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path p = fs::temp_directory_path() / ("vexa-test-" + std::to_string(rd()));
        if (fs::create_directory(p)) {
            path_ = p;
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch folder");
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

int SoftBuilder::provider(const std::string& name, const std::string& folder) {
    TSoftRecord r;
    r.Level = 1;
    r.Brief = cp(name);
    r.Image4 = cp(folder);
    provider_ = static_cast<int>(records.size());
    records.push_back(r);
    return provider_;
}

int SoftBuilder::category(const std::string& name, int section, const std::string& icon1,
                          const std::string& icon2) {
    TSoftRecord r;
    r.Level = 2;
    r.ParentID = provider_;
    r.Brief = cp(name);
    r.Image1 = cp(icon1);
    r.Image2 = cp(icon2);
    r.Image4 = std::to_string(section);
    category_ = static_cast<int>(records.size());
    records.push_back(r);
    return category_;
}

int SoftBuilder::genre(const std::string& name, const std::string& folder, const std::string& icon1) {
    TSoftRecord r;
    r.Level = 3;
    r.ParentID = category_;
    r.Brief = cp(name);
    r.Image1 = cp(icon1);
    r.Image4 = cp(folder);
    genre_ = static_cast<int>(records.size());
    records.push_back(r);
    return genre_;
}

int SoftBuilder::item(const std::string& name, const std::string& descript) {
    TSoftRecord r;
    r.Level = 4;
    r.ParentID = genre_;
    r.Brief = cp(name);
    r.Descript = cp(descript);
    records.push_back(r);
    return static_cast<int>(records.size()) - 1;
}

void writeFile(const fs::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + p.string());
}

std::string readFile(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

void writeCatalogue(const fs::path& dir, const std::vector<TSoftRecord>& soft,
                    const std::vector<TModelRecord>& models, const std::vector<TSoftCodeRecord>& codes,
                    const std::vector<TOperatorRecord>& ops) {
    writeFile(dir / kSoftFile, encodeSoftFile(soft));
    writeFile(dir / kModelsFile, encodeModelsFile(models));
    writeFile(dir / kCodesFile, encodeCodesFile(codes));
    writeFile(dir / kContentFile, encodeContentFile(ops));
}

std::string u8(const std::string& text) {
    return cp1251::toUtf8(text);
}

} // namespace vexa::test
