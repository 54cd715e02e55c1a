#include "catalogue.h"
#include "cp1251.h"
#include "file_paths.h"
#include "test_support.h"

#include <gtest/gtest.h>

using namespace vexa;
using namespace vexa::test;

TEST(FilePaths, CatalogueNamesResolveWithoutRegardToCase) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "Content1/Игры");
    writeFile(dir / "Content1/Игры/Pic.JPG", "x");
    Catalogue cat(dir.path());
    auto found = cat.resolveFile(cp("CONTENT1\\"), cp("игры\\pic.jpg"));
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, dir / "Content1/Игры/Pic.JPG");
    EXPECT_FALSE(cat.resolveFile(cp("CONTENT1\\"), cp("игры\\nothing.jpg")));
    EXPECT_FALSE(cat.resolveFile("X\\", ""));
    // A name beginning with "." is not put below the folder.
    auto dotted = cat.resolveFile("WRONG\\", cp(".\\content1\\ИГРЫ\\pic.jpg"));
    ASSERT_TRUE(dotted);
    EXPECT_TRUE(std::filesystem::exists(*dotted));
}

TEST(FilePaths, NamesBecomeUtf8PathsWithSlashes) {
    EXPECT_EQ(catalogueNameToPath(cp("A\\Б\\в.gif")).string(), "A/Б/в.gif");
    EXPECT_TRUE(catalogueNameToPath("\\abs\\x").is_absolute());
}
