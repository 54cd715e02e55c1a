#pragma once
// Helpers shared by the tests: scratch folders and small catalogues built in code.
#include "records.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vexa::test {

// A fresh empty folder, removed when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Builds Soft.dat records in file order with the right ParentIDs.
class SoftBuilder {
public:
    int provider(const std::string& utf8Name, const std::string& folder = "");
    int category(const std::string& utf8Name, int section, const std::string& icon1 = "",
                 const std::string& icon2 = "");
    int genre(const std::string& utf8Name, const std::string& folder = "", const std::string& icon1 = "");
    int item(const std::string& utf8Name, const std::string& descript = "");
    std::vector<TSoftRecord> records;

private:
    int provider_ = -1, category_ = -1, genre_ = -1;
};

// Writes the four files into dir (an empty list writes an empty file).
void writeCatalogue(const std::filesystem::path& dir, const std::vector<TSoftRecord>& soft,
                    const std::vector<TModelRecord>& models = {},
                    const std::vector<TSoftCodeRecord>& codes = {},
                    const std::vector<TOperatorRecord>& ops = {});

std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& bytes);

// UTF-8 of a cp1251 text, for readable assertions.
std::string u8(const std::string& cp1251Text);

} // namespace vexa::test
