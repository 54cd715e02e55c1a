// The import's file lookup answers as the catalogue's own lookup does, from folder listings.
#include "cp1251.h"
#include "file_lookup.h"
#include "file_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace vexa;
using namespace vexa::test;
namespace fs = std::filesystem;

namespace {

void touch(const fs::path& p) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
}

// Runs the body with the scratch folder as the current directory.
class InFolder {
public:
    explicit InFolder(const fs::path& dir) : previous_(fs::current_path()) { fs::current_path(dir); }
    ~InFolder() { fs::current_path(previous_); }

private:
    fs::path previous_;
};

} // namespace

TEST(FileLookup, AnswersAsTheCatalogueLookupDoes) {
    ScratchDir dir;
    touch(dir / "Prov/Gen/Pic.JPG");
    touch(dir / "Папка/Файл.gif");
    touch(dir / "twin/Same.gif");
    touch(dir / "twin/same.GIF");
    fs::create_directories(dir / "Prov/Gen/Sub.jpg"); // a folder with a file's name
    fs::create_symlink("Prov/Gen/Pic.JPG", dir / "link.jpg");
    fs::create_symlink("Prov/Gen/none.jpg", dir / "broken.jpg");
    InFolder in(dir.path());

    const std::string absolute = cp1251::fromUtf8((dir / "Prov/Gen/Pic.JPG").string());
    struct Case {
        std::string name; // UTF-8
        bool found;
    };
    const std::vector<Case> cases = {
        {"Prov\\Gen\\Pic.JPG", true},
        {"prov\\gen\\pic.jpg", true},
        {"PROV/GEN/PIC.JPG", true},
        {".\\prov\\gen\\pic.jpg", true},
        {"prov\\\\gen\\pic.jpg", true},
        {"prov\\..\\prov\\gen\\pic.jpg", true},
        {"папка\\ФАЙЛ.GIF", true},
        {"twin\\SAME.gif", true},
        {"twin\\same.GIF", true},
        {"link.JPG", true},
        {"prov\\gen\\nope.jpg", false},
        {"nope\\pic.jpg", false},
        {"prov\\gen", false},
        {"prov\\gen\\sub.jpg", false},
        {"broken.jpg", false},
        {"", false},
        {".", false},
        {"prov\\gen\\pic.jpg\\x", false},
    };
    FileLookup lookup;
    for (const auto& c : cases) {
        std::string name = cp1251::fromUtf8(c.name);
        EXPECT_EQ(lookup.exists(name), c.found) << c.name;
        EXPECT_EQ(lookup.exists(name), catalogueFileExists(name)) << c.name;
    }
    EXPECT_TRUE(lookup.exists(absolute));
    EXPECT_TRUE(lookup.exists("\\" + absolute.substr(1))); // a leading backslash is the root
}

// A folder that may be entered but not read: the names in it are found by their exact
// spelling only, as the catalogue's own lookup finds them, and the folders before it still
// without regard to case. Run in a child process as an unprivileged user, since the
// superuser reads every folder.
TEST(FileLookup, AFolderThatCannotBeListedIsEnteredByExactNames) {
    ScratchDir dir;
    touch(dir / "pics/secret/x.gif");
    fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    fs::permissions(dir / "pics", fs::perms::all, fs::perm_options::add);
    fs::permissions(dir / "pics/secret", fs::perms(0311));
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(100);
        if (::chdir(dir.path().c_str()) != 0)
            ::_exit(101);
        int failures = 0;
        const std::pair<const char*, bool> cases[] = {{"PICS\\secret\\x.gif", true},
                                                      {"pics\\secret\\x.gif", true},
                                                      {"pics\\secret\\X.GIF", false},
                                                      {"pics\\SECRET\\x.gif", true},
                                                      {"pics\\secret\\none.gif", false}};
        FileLookup lookup;
        for (const auto& [name, found] : cases)
            if (lookup.exists(name) != found || catalogueFileExists(name) != found) {
                std::fprintf(stderr, "%s: lookup %d, catalogue %d, expected %d\n", name, lookup.exists(name),
                             catalogueFileExists(name), found);
                ++failures;
            }
        ::_exit(failures);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    fs::permissions(dir / "pics/secret", fs::perms::owner_all, fs::perm_options::add);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "cases that differ (100, 101: the child could not start)";
}
