// Runs the built program on committed workbooks in a scratch folder, as a maintainer would
// from a terminal without a display, and compares what it leaves with the expected files.
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace vexa::test;

namespace {

const fs::path kCases = fs::path(VEXA_IMPORT_DATA) / "e2e";

std::string firstLine(const fs::path& p) {
    std::ifstream in(p);
    std::string line;
    std::getline(in, line);
    return line;
}

// Places the program in the folder (a hard link where possible: it writes into its own
// folder) and runs it there with the parameters; gives the exit code, fills the error text.
int runVexa(const fs::path& folder, const std::string& args, std::string& stderrText,
            const std::string& prefix = "") {
    std::error_code ec;
    fs::create_hard_link(VEXA_EXE, folder / "vexa", ec);
    if (ec)
        fs::copy_file(VEXA_EXE, folder / "vexa");
    fs::path errFile = folder.parent_path() / (folder.filename().string() + ".stderr");
    std::string command = "cd / && " + prefix +
                          " env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u VEXA_UNATTENDED "
                          "XDG_RUNTIME_DIR=/tmp '" +
                          (folder / "vexa").string() + "' " + args + " 2>'" + errFile.string() + "'";
    int status = std::system(command.c_str());
    stderrText = readFile(errFile);
    fs::remove(errFile);
    fs::remove(folder / "vexa");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::set<std::string> filesUnder(const fs::path& root) {
    std::set<std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            out.insert(fs::relative(e.path(), root).string());
    return out;
}

class EndToEnd : public ::testing::TestWithParam<std::string> {};

} // namespace

TEST_P(EndToEnd, LeavesExactlyTheExpectedFiles) {
    fs::path dir = kCases / GetParam();
    ScratchDir scratch;
    fs::path work = scratch.path() / "shop";
    fs::copy(dir / "input", work, fs::copy_options::recursive);
    std::string err;
    int code = runVexa(work, firstLine(dir / "args"), err);
    EXPECT_EQ(code, std::stoi(firstLine(dir / "exit"))) << err;

    // Every expected file byte for byte; nothing else new (no temporary files), and no
    // protocol where none is expected.
    std::set<std::string> expected = filesUnder(dir / "expected");
    for (const auto& name : expected)
        EXPECT_EQ(readFile(work / name), readFile(dir / "expected" / name)) << name;
    std::set<std::string> allowed = filesUnder(dir / "input");
    allowed.insert(expected.begin(), expected.end());
    if (!expected.count("LoadProt.txt"))
        allowed.erase("LoadProt.txt");
    EXPECT_EQ(filesUnder(work), allowed);

    if (fs::exists(dir / "message"))
        EXPECT_NE(err.find(firstLine(dir / "message")), std::string::npos) << err;

    bool problems = expected.count("LoadProt.txt") && code == 0;
    EXPECT_EQ(err.find("Упс!: В процессе загрузки обнаружены ошибки, см. файл LoadProt.txt") !=
                  std::string::npos,
              problems)
        << err;
}

INSTANTIATE_TEST_SUITE_P(Workbooks, EndToEnd,
                         ::testing::Values("shop", "shop_biff5", "shop_switches", "clean", "missing_sheet",
                                           "unreadable", "rules", "logic_stop"));

TEST(EndToEndMessages, StructureErrorsAndFailuresGoToStandardError) {
    ScratchDir scratch;
    fs::path work = scratch.path() / "shop";
    fs::copy(kCases / "shop" / "input", work, fs::copy_options::recursive);
    std::string err;
    ASSERT_EQ(runVexa(work, "shop.xls /i", err), 0);
    auto first = err.find("Проблем-с: Ошибка в структуре. Нет родителя для Обои");
    auto second = err.find("Проблем-с: Ошибка в структуре. Нет родителя для Закат");
    auto last = err.find("Упс!:");
    EXPECT_NE(first, std::string::npos) << err;
    EXPECT_LT(first, second);
    EXPECT_LT(second, last);
    EXPECT_NE(last, std::string::npos);

    fs::copy(kCases / "missing_sheet" / "input" / "partial.xls", work / "partial.xls");
    std::string before = readFile(work / "Soft.dat");
    EXPECT_EQ(runVexa(work, "partial.xls", err), 1);
    EXPECT_NE(err.find("нет листа Operator"), std::string::npos) << err;
    EXPECT_EQ(readFile(work / "Soft.dat"), before);

    // A data file that cannot be replaced: named on standard error, nothing else changes.
    fs::remove(work / "Codes.dat");
    fs::create_directory(work / "Codes.dat");
    std::string models = readFile(work / "Models.dat");
    EXPECT_EQ(runVexa(work, "shop.xls", err), 1);
    EXPECT_NE(err.find("Не удалось записать файл Codes.dat"), std::string::npos) << err;
    EXPECT_EQ(readFile(work / "Models.dat"), models);
    for (const auto& e : fs::directory_iterator(work))
        EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

TEST(EndToEndMessages, AFolderWhereNothingCanBeWrittenIsReportedAndLeftAlone) {
    ScratchDir scratch;
    fs::path work = scratch.path() / "shop";
    fs::copy(kCases / "shop" / "input", work, fs::copy_options::recursive);
    // Root may write anywhere: the program then runs as the unprivileged user "nobody".
    std::string prefix;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv"))
            GTEST_SKIP() << "running as root without setpriv";
        prefix = "setpriv --reuid=65534 --regid=65534 --clear-groups";
        fs::permissions(scratch.path(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(work, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::set<std::string> before = filesUnder(work);
    std::string err;
    EXPECT_EQ(runVexa(work, "shop.xls", err, prefix), 1);
    fs::permissions(work, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_NE(err.find("Не удалось создать файл LoadProt.txt в папке"), std::string::npos) << err;
    EXPECT_EQ(filesUnder(work), before);
}

// Every parameter is the program's, even one that Qt would take as its own option: a first
// parameter that does not name a workbook makes the run do nothing, and the program ends.
TEST(EndToEndMessages, AParameterLikeAQtOptionIsNotTakenAway) {
    ScratchDir scratch;
    fs::path work = scratch.path() / "shop";
    fs::copy(kCases / "shop" / "input", work, fs::copy_options::recursive);
    std::set<std::string> before = filesUnder(work);
    std::string err;
    EXPECT_EQ(runVexa(work, "-reverse shop.xls /i", err), 0);
    EXPECT_EQ(filesUnder(work), before) << err;
    EXPECT_EQ(runVexa(work, "-style shop.xls", err), 0);
    EXPECT_EQ(filesUnder(work), before) << err;
    EXPECT_EQ(runVexa(work, "shop.xls -reverse /i", err), 0);
    EXPECT_TRUE(fs::exists(work / "Soft.dat")) << err;
}
