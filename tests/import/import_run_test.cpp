// The run around the passes: the command line, the protocol file, failures that keep the
// old data files, and the data files written as a set.
#include "data_file_set.h"
#include "import_fixture.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

using namespace vexa;
using namespace vexa::test;
namespace fs = std::filesystem;

namespace {

// Runs the import in a scratch folder as the program's folder.
class ImportRun : public ::testing::Test {
protected:
    ImportRun() : previous_(fs::current_path()) {
        fs::current_path(dir.path());
        host.progress = &progress;
        host.message = [this](const std::string& t, const std::string& x) {
            shown.push_back(u8(t) + ": " + u8(x));
        };
        host.busy = [this](bool on) { busy.push_back(on); };
    }
    ~ImportRun() override { fs::current_path(previous_); }

    int run(std::vector<std::string> parameters) { return ImportFromSpreadsheet(parameters, host); }
    void writeOldFiles() {
        for (const char* f : {"Soft.dat", "Models.dat", "Codes.dat", "Content.dat"})
            writeFile(dir / f, std::string("old ") + f);
    }
    void expectOldFiles() {
        for (const char* f : {"Soft.dat", "Models.dat", "Codes.dat", "Content.dat"})
            EXPECT_EQ(readFile(dir / f), std::string("old ") + f);
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ScratchDir dir;
    ImportHost host;
    RecordingProgress progress;
    std::vector<std::string> shown;
    std::vector<bool> busy;

private:
    fs::path previous_;
};

} // namespace

TEST_F(ImportRun, OnlyAFirstParameterEndingInXlsStartsARun) {
    writeFile(dir / "LoadProt.txt", "older protocol");
    for (auto params : std::vector<std::vector<std::string>>{
             {}, {"book.xlsx"}, {"book"}, {"/d", "book.xls"}, {"xls"}, {"book.xls.bak"}}) {
        EXPECT_EQ(run(params), 0);
    }
    EXPECT_TRUE(shown.empty());
    EXPECT_TRUE(busy.empty());
    EXPECT_EQ(readFile(dir / "LoadProt.txt"), "older protocol");
    EXPECT_EQ(entries(), std::vector<std::string>{"LoadProt.txt"});
}

TEST_F(ImportRun, AWorkbookThatCannotBeOpenedTouchesNoDataFile) {
    writeOldFiles();
    writeFile(dir / "LoadProt.txt", "older protocol");
    writeFile(dir / "broken.XLS", "not a workbook");
    EXPECT_EQ(run({"broken.XLS", "/d"}), 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("Ошибка: Не удалось открыть книгу "), std::string::npos) << shown[0];
    EXPECT_NE(shown[0].find("broken.XLS"), std::string::npos);
    expectOldFiles();
    // The protocol was replaced when the run began and has nothing to say; no temporary files.
    EXPECT_EQ(entries(), (std::vector<std::string>{"Codes.dat", "Content.dat", "LoadProt.txt", "Models.dat",
                                                   "Soft.dat", "broken.XLS"}));
    EXPECT_EQ(readFile(dir / "LoadProt.txt"), "");
    EXPECT_EQ(busy, (std::vector<bool>{true, false}));
}

TEST_F(ImportRun, AMissingSheetNamesTheSheetAndKeepsTheOldFiles) {
    writeOldFiles();
    fs::copy_file(std::string(VEXA_IMPORT_DATA) + "/cells.xls", dir / "cells.Xls");
    EXPECT_EQ(run({"cells.Xls"}), 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].find("нет листа Model"), std::string::npos) << shown[0];
    expectOldFiles();
    EXPECT_EQ(readFile(dir / "LoadProt.txt"), "");
}

TEST_F(ImportRun, ANameWithAFolderIsFoundFromTheCallersFolder) {
    ScratchDir caller;
    fs::create_directory(caller.path() / "sub");
    fs::copy_file(std::string(VEXA_IMPORT_DATA) + "/cells.xls", caller.path() / "sub" / "c.xls");
    setImportCallerDirectory(caller.path());
    EXPECT_EQ(run({"sub/c.xls"}), 1); // found: it fails only for its missing sheets
    EXPECT_NE(shown.at(0).find("нет листа Model"), std::string::npos) << shown[0];
    shown.clear();
    EXPECT_EQ(run({"sub\\c.xls"}), 1);
    EXPECT_NE(shown.at(0).find("нет листа Model"), std::string::npos) << shown[0];
    shown.clear();
    // A bare name is looked for in the program's folder only.
    EXPECT_EQ(run({"c.xls"}), 1);
    EXPECT_NE(shown.at(0).find("Не удалось открыть книгу"), std::string::npos) << shown[0];
    setImportCallerDirectory({});
}

TEST(DataFileSet, WritesAllFilesOrNone) {
    ScratchDir dir;
    std::vector<DataFileContent> files{{"A.dat", "aaa"}, {"B.dat", ""}, {"C.dat", std::string(100000, 'c')}};
    ASSERT_TRUE(writeDataFileSet(dir.path(), files));
    EXPECT_EQ(readFile(dir / "A.dat"), "aaa");
    EXPECT_EQ(readFile(dir / "B.dat"), "");
    EXPECT_EQ(readFile(dir / "C.dat").size(), 100000u);

    // A folder where the last file should go: nothing is replaced, nothing is left over.
    fs::remove(dir / "C.dat");
    fs::create_directory(dir / "C.dat");
    files[0].bytes = "new";
    DataFileSetError error;
    EXPECT_FALSE(writeDataFileSet(dir.path(), files, &error));
    EXPECT_EQ(error.file, "C.dat");
    EXPECT_FALSE(error.reason.empty());
    EXPECT_EQ(readFile(dir / "A.dat"), "aaa");
    int count = 0;
    for (const auto& e : fs::directory_iterator(dir.path())) {
        (void)e;
        ++count;
    }
    EXPECT_EQ(count, 3);
}

TEST(DataFileSet, AFolderThatDoesNotExistFailsWithTheFirstFile) {
    ScratchDir dir;
    DataFileSetError error;
    EXPECT_FALSE(writeDataFileSet(dir / "missing", {{"Models.dat", "x"}, {"Soft.dat", "y"}}, &error));
    EXPECT_EQ(error.file, "Models.dat");
}

TEST(DataFileSet, ARenameThatFailsHalfWayPutsTheOldFilesBack) {
    ScratchDir dir;
    writeFile(dir / "A.dat", "old a");
    writeFile(dir / "C.dat", "old c");
    std::vector<DataFileContent> files{{"A.dat", "new a"}, {"B.dat", "new b"}, {"C.dat", "new c"}};
    DataFileSetError error;
    auto failOnC = [](const char* from, const char* to) {
        if (std::string(to).ends_with("C.dat")) {
            errno = EIO;
            return -1;
        }
        return ::rename(from, to);
    };
    EXPECT_FALSE(writeDataFileSet(dir.path(), files, &error, failOnC));
    EXPECT_EQ(error.file, "C.dat");
    // A.dat is the old one again, B.dat (new to the folder) is gone, nothing else is left.
    EXPECT_EQ(readFile(dir / "A.dat"), "old a");
    EXPECT_EQ(readFile(dir / "C.dat"), "old c");
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.dat", "C.dat"}));

    // Without a failure the kept second names go too.
    ASSERT_TRUE(writeDataFileSet(dir.path(), files));
    names.clear();
    for (const auto& e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"A.dat", "B.dat", "C.dat"}));
    EXPECT_EQ(readFile(dir / "B.dat"), "new b");
}
