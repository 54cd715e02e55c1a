#include "ini_file.h"
#include "skin.h"

#include "cp1251.h"
#include "test_support.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <QImage>

#include <fstream>

using namespace vexa;
using vexa::test::ScratchDir;

namespace {

int appendGifBytes(GifFileType* gif, const GifByteType* data, int len) {
    static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
    return len;
}

// A 2 x 2 GIF with one frame per colour index (0 red, 1 blue).
std::string makeGif(const std::vector<GifPixelType>& frames) {
    std::string out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, appendGifBytes, &err);
    ColorMapObject* map = GifMakeMapObject(2, nullptr);
    map->Colors[0] = {255, 0, 0};
    map->Colors[1] = {0, 0, 255};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, 2, 2, 1, 0, map);
    for (GifPixelType index : frames) {
        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, 10, NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
        EGifPutImageDesc(gif, 0, 0, 2, 2, false, nullptr);
        GifPixelType line[2] = {index, index};
        for (int y = 0; y < 2; ++y)
            EGifPutLine(gif, line, 2);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &err);
    return out;
}

// Works in a folder and puts the previous working folder back.
class CurrentDirGuard {
public:
    explicit CurrentDirGuard(const std::filesystem::path& dir) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(dir);
    }
    ~CurrentDirGuard() { std::filesystem::current_path(previous_); }

private:
    std::filesystem::path previous_;
};

// One INI rule per row: the file, what is asked for, what must come back.
struct IniCase {
    const char* what;
    const char* file;
    const char* section;
    const char* key;
    const char* expected;
};

const IniCase kIniCases[] = {
    {"plain value", "[COLOR]\nHeader1=255\n", "COLOR", "Header1", "255"},
    {"section case ignored", "[color]\nHeader1=1\n", "COLOR", "Header1", "1"},
    {"key case ignored", "[COLOR]\nheader1=2\n", "COLOR", "HEADER1", "2"},
    {"Cyrillic key case ignored", "[FONT]\n\xC8\xEC\xFF=x\n", "font", "\xE8\xEC\xFF", "x"},
    {"blanks around everything", "  [ FONT ]  \n\t MainFontName \t=  Arial  \r\n", "FONT", "MainFontName",
     "Arial"},
    {"text after the first = only", "[A]\nk=a=b\n", "A", "k", "a=b"},
    {"one pair of double quotes", "[A]\nk=\"  q  \"\n", "A", "k", "  q  "},
    {"one pair of single quotes", "[A]\nk='v'\n", "A", "k", "v"},
    {"only one pair removed", "[A]\nk=\"\"v\"\"\n", "A", "k", "\"v\""},
    {"unmatched quote stays", "[A]\nk=\"v\n", "A", "k", "\"v"},
    {"comment line skipped", "[A]\n;k=1\nk=2\n", "A", "k", "2"},
    {"commented key is missing", "[A]\n;k=1\n", "A", "k", ""},
    {"first of duplicate keys", "[A]\nk=1\nk=2\n", "A", "k", "1"},
    {"first of duplicate sections", "[A]\nk=1\n[a]\nk=2\nj=3\n", "A", "k", "1"},
    {"later duplicate section not looked at", "[A]\nk=1\n[a]\nj=3\n", "A", "j", ""},
    {"missing key", "[A]\nk=1\n", "A", "x", ""},
    {"missing section", "[A]\nk=1\n", "B", "k", ""},
    {"key in another section", "[A]\n[B]\nk=1\n", "A", "k", ""},
    {"key before any section", "k=1\n[A]\n", "A", "k", ""},
    {"empty value", "[A]\nk=\n", "A", "k", ""},
    {"line without =", "[A]\nk\n", "A", "k", ""},
    {"unclosed section header", "[A\nk=5\n", "A", "k", "5"},
    {"CR LF line ends", "[A]\r\nk=v\r\nj=w\r\n", "A", "j", "w"},
    {"no line end at the end", "[A]\nk=v", "A", "k", "v"},
    {"byte-order mark", "\xEF\xBB\xBF[A]\nk=v\n", "A", "k", "v"},
    {"empty file", "", "A", "k", ""},
};

void PrintTo(const IniCase& c, std::ostream* os) {
    *os << c.what;
}

class IniRules : public ::testing::TestWithParam<IniCase> {};

TEST_P(IniRules, ValueAsWindowsReadsIt) {
    const IniCase& c = GetParam();
    EXPECT_EQ(IniFile::parse(c.file).value(c.section, c.key), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Table, IniRules, ::testing::ValuesIn(kIniCases));

TEST(IniFile, LongValueIsCutTo2047Characters) {
    std::string file = "[A]\nk=" + std::string(5000, 'z') + "\n";
    EXPECT_EQ(IniFile::parse(file).value("A", "k"), std::string(2047, 'z'));
}

TEST(IniFile, SkinFileIsTheExecutableWithIni) {
    ScratchDir dir;
    EXPECT_EQ(skinFilePath(dir.path() / "vexa"), dir.path() / "vexa.INI");
    EXPECT_EQ(skinFilePath(dir.path() / "vexa.exe"), dir.path() / "vexa.INI");
    std::ofstream(dir.path() / "vexa.ini") << "[COLOR]\nHeader1=7\n";
    EXPECT_EQ(skinFilePath(dir.path() / "vexa"), dir.path() / "vexa.ini"); // any case of the extension
    EXPECT_EQ(IniFile::load(skinFilePath(dir.path() / "vexa")).value("color", "header1"), "7");
}

TEST(IniFile, MissingFileReadsAsEmpty) {
    IniFile ini = IniFile::load("/nonexistent/vexa.INI");
    EXPECT_EQ(ini.value("COLOR", "Header1"), "");
}

// Integers and colours: the value text and the colour it gives, or the default.
struct ColorCase {
    const char* value;
    WinColor expected;
};
constexpr WinColor kDefault = winRGB(1, 2, 3);
const ColorCase kColorCases[] = {
    {"RGB(255,0,0)", winPaletteRGB(255, 0, 0)},
    {"rgb(255,0,0)", winPaletteRGB(255, 0, 0)},
    {"Rgb( 0, 128 , 255 )", winPaletteRGB(0, 128, 255)},
    {"RGB(300,0,0)", winPaletteRGB(44, 0, 0)},
    {"RGB($10,$20,$FF)", winPaletteRGB(16, 32, 255)},
    {"RGB(1,2)", kDefault},
    {"RGB(a,b,c)", kDefault},
    {"RGB(", kDefault},
    {"255", winRGB(255, 0, 0)},
    {"$FF", winRGB(255, 0, 0)},
    {"0xFF", winRGB(255, 0, 0)},
    {"0XFF00", winRGB(0, 255, 0)},
    {"$FF000000", 0xFF000000u},
    {"-16777201", 0xFF00000Fu},
    {"16711680", winRGB(0, 0, 255)},
    {"0", winRGB(0, 0, 0)},
    {"", kDefault},
    {"red", kDefault},
    {"12abc", kDefault},
    {"0x", kDefault},
    {"4294967296", kDefault},
    {"$1FFFFFFFF", kDefault},
};

void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << '"' << c.value << '"';
}

class SkinColors : public ::testing::TestWithParam<ColorCase> {};

TEST_P(SkinColors, ValueFormsGiveTheColour) {
    const ColorCase& c = GetParam();
    IniFile ini = IniFile::parse(std::string("[COLOR]\nHeader1=") + c.value + "\n");
    EXPECT_EQ(ReadSkinColor(ini, "COLOR", "Header1", kDefault), c.expected) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Table, SkinColors, ::testing::ValuesIn(kColorCases));

TEST(SkinColor, ToQColorHandlesEveryKind) {
    EXPECT_EQ(toQColor(winRGB(10, 20, 30)), QColor(10, 20, 30));
    EXPECT_EQ(toQColor(winPaletteRGB(10, 20, 30)), QColor(10, 20, 30));
    EXPECT_EQ(toQColor(kColorButtonFace), QColor(240, 240, 240));
    EXPECT_EQ(toQColor(kSystemColorFlag | 200), QColor(0, 0, 0)); // unknown index
}

TEST(SkinFonts, PointsBecomePixelsAt96Dpi) {
    EXPECT_EQ(pointsToPixels(8), 11);
    EXPECT_EQ(pointsToPixels(9), 12);
    EXPECT_EQ(pointsToPixels(10), 13);
    EXPECT_EQ(toQFont(SkinFont{"Arial", 12, 0}).pixelSize(), 16);
}

SkinPictureLoaders noPictures() {
    return {};
}

TEST(ReadSkin, DefaultsWithoutAFile) {
    Skin s = ReadSkin(IniFile(), noPictures());
    EXPECT_EQ(s.MainBackColor, kColorButtonFace);
    EXPECT_EQ(s.TreeBackColor, kColorButtonFace);
    EXPECT_EQ(s.Header1, winRGB(238, 200, 0));
    EXPECT_EQ(s.Header2, winRGB(238, 200, 0));
    EXPECT_EQ(s.MainFont.name, "MS Sans Serif");
    EXPECT_EQ(s.MainFont.size, 8);
    EXPECT_EQ(s.MainFont.color, winRGB(255, 255, 255));
    EXPECT_EQ(s.Title2FontColor, winRGB(0, 255, 0));
    EXPECT_TRUE(s.BackImage.isNull());
    EXPECT_TRUE(s.BtnHome.isNull());
}

TEST(ReadSkin, OtherFontsFollowTheMainFont) {
    Skin s = ReadSkin(IniFile::parse("[FONT]\nMainFontColor=0\nMainFontName=Arial\nMainFontSize=11\n"
                                     "ListFontName=Tahoma\nDescFontSize=14\nTreeFontColor=RGB(1,2,3)\n"
                                     "[COLOR]\nMainBackColor=$102030\n"),
                      noPictures());
    EXPECT_EQ(s.TreeFont.color, winPaletteRGB(1, 2, 3));
    EXPECT_EQ(s.DescFont.color, 0u);
    EXPECT_EQ(s.ListFont.color, 0u);
    EXPECT_EQ(s.TreeFont.name, "Arial");
    EXPECT_EQ(s.ListFont.name, "Tahoma");
    EXPECT_EQ(s.ListFont.size, 11);
    EXPECT_EQ(s.DescFont.size, 14);
    EXPECT_EQ(s.TreeBackColor, 0x102030u); // the main window's colour as just set
}

TEST(ReadSkin, BlackMainFontMakesEveryFontBlack) {
    Skin s = ReadSkin(IniFile::parse("[FONT]\nMainFontColor=0\n"), noPictures());
    for (const SkinFont* f : {&s.MainFont, &s.TreeFont, &s.DescFont, &s.ListFont}) {
        EXPECT_EQ(f->color, winRGB(0, 0, 0));
        EXPECT_EQ(f->size, 8);
        EXPECT_EQ(f->name, "MS Sans Serif");
    }
    EXPECT_EQ(s.Title1FontColor, winRGB(255, 255, 255)); // not a font of the main window
}

TEST(ReadSkin, DetailWindowReadsItsOwnTwoKeys) {
    std::vector<std::string> asked;
    PictureLoader bitmap = [&](const std::string& path) {
        asked.push_back(path);
        return QImage(2, 2, QImage::Format_RGB32);
    };
    IniFile ini = IniFile::parse("[IMAGES]\nBtnBack2=b2.bmp\nBackDetail=\nBtnBack1=b1.bmp\n");
    DetailSkin d = ReadDetailSkin(ini, SkinPictureLoaders{nullptr, nullptr, bitmap});
    EXPECT_EQ(asked, std::vector<std::string>{"b2.bmp"});
    EXPECT_FALSE(d.BtnBack2.isNull());
    EXPECT_TRUE(d.BackDetail.isNull());
}

TEST(ReadSkin, FontSizeAppliedOnlyWhenPositive) {
    for (const char* value : {"0", "-3"}) {
        Skin s = ReadSkin(IniFile::parse(std::string("[FONT]\nMainFontSize=") + value + "\nTreeFontSize=0\n"),
                          noPictures());
        EXPECT_EQ(s.MainFont.size, 8) << value;
        EXPECT_EQ(s.TreeFont.size, 8) << value;
    }
    EXPECT_EQ(ReadSkin(IniFile::parse("[FONT]\nMainFontSize=big\n"), noPictures()).MainFont.size, 8);
    EXPECT_EQ(ReadSkin(IniFile::parse("[FONT]\nMainFontSize=$C\n"), noPictures()).MainFont.size, 12);
}

// Pictures go through the loaders the caller gives; a failed load keeps the built-in.
TEST(ReadSkin, PicturesThroughTheirLoaders) {
    std::vector<std::string> asked;
    auto make = [&](const char* kind) {
        return [&asked, kind](const std::string& path) {
            asked.push_back(std::string(kind) + ":" + path);
            if (path.find("bad") != std::string::npos)
                return QImage();
            QImage img(3, 2, QImage::Format_RGB32);
            img.fill(Qt::red);
            return img;
        };
    };
    AnimatedPictureLoader pic = [&](const std::string& path) {
        asked.push_back("pic:" + path);
        QImage img(3, 2, QImage::Format_RGB32);
        img.fill(Qt::red);
        return Picture{{img}, {0}};
    };
    SkinPictureLoaders l{pic, make("any"), make("bmp")};
    Skin s = ReadSkin(IniFile::parse("[IMAGES]\nBackImage=.\\back.jpg\nNotFound=\nBtnHome=home.gif\n"
                                     "BtnEnd=bad.gif\nTreeBackImage=tree.bmp\nBtnBack1=b.bmp\n"
                                     "BtnBack2=x.bmp\n"),
                      l);
    EXPECT_EQ(asked, (std::vector<std::string>{"pic:.\\back.jpg", "any:home.gif", "any:bad.gif",
                                               "bmp:tree.bmp", "bmp:b.bmp"}));
    EXPECT_FALSE(s.BackImage.isNull());
    EXPECT_TRUE(s.GifNotFound.isNull());
    EXPECT_FALSE(s.BtnHome.isNull());
    EXPECT_TRUE(s.BtnEnd.isNull());
    EXPECT_FALSE(s.TreeBackImage.isNull());
}

// The default loaders on real files: the catalogue's rules for BackImage, bitmaps only
// where a bitmap is required.
TEST(ReadSkin, DefaultLoadersOnRealFiles) {
    ScratchDir dir;
    QImage img(4, 4, QImage::Format_RGB32);
    img.fill(Qt::blue);
    std::filesystem::create_directories(dir.path() / "skin");
    ASSERT_TRUE(img.save(QString::fromStdString((dir.path() / "skin" / "back.bmp").string()), "BMP"));
    ASSERT_TRUE(img.save(QString::fromStdString((dir.path() / "skin" / "tree.bmp").string()), "BMP"));
    ASSERT_TRUE(img.save(QString::fromStdString((dir.path() / "skin" / "fake.bmp").string()), "PNG"));
    CurrentDirGuard cwd(dir.path());

    SkinPictureLoaders l = defaultSkinPictureLoaders();
    auto skinWith = [&](const std::string& key, const std::string& value) {
        return ReadSkin(IniFile::parse("[IMAGES]\n" + key + "=" + value + "\n"), l);
    };
    EXPECT_TRUE(skinWith("BackImage", "skin\\back.bmp").BackImage.isNull());
    EXPECT_FALSE(skinWith("BackImage", ".\\skin\\back.bmp").BackImage.isNull());
    EXPECT_FALSE(skinWith("BackImage", ".\\SKIN\\BACK.BMP").BackImage.isNull());
    EXPECT_TRUE(skinWith("BackImage", ".\\skin\\missing.bmp").BackImage.isNull());
    EXPECT_FALSE(skinWith("TreeBackImage", "skin\\tree.bmp").TreeBackImage.isNull());
    EXPECT_TRUE(skinWith("TreeBackImage", "skin\\fake.bmp").TreeBackImage.isNull());
    EXPECT_FALSE(skinWith("BtnHome", "skin\\tree.bmp").BtnHome.isNull());
    EXPECT_TRUE(skinWith("BtnHome", "skin\\tree.wmf").BtnHome.isNull());
    // The extension chooses the decoder: a PNG named .bmp is no bitmap.
    EXPECT_TRUE(skinWith("BtnHome", "skin\\fake.bmp").BtnHome.isNull());
}

// The background and the nothing-found picture are loaded as the catalogue's pictures
// are: an animated GIF keeps its frames so that it plays, and the ending chooses the
// decoder.
TEST(ReadSkin, NotFoundGifKeepsItsAnimation) {
    ScratchDir dir;
    std::ofstream(dir.path() / "anim.gif", std::ios::binary) << makeGif({0, 1, 0});
    std::ofstream(dir.path() / "still.gif", std::ios::binary) << makeGif({1});
    std::filesystem::copy_file(dir.path() / "anim.gif", dir.path() / "gif.jpg");
    CurrentDirGuard cwd(dir.path());
    IniFile ini = IniFile::parse("[IMAGES]\nNotFound=.\\anim.gif\nBackImage=.\\still.GIF\n");
    Skin s = ReadSkin(ini, defaultSkinPictureLoaders());
    ASSERT_EQ(s.GifNotFound.frames.size(), 3u);
    EXPECT_EQ(s.GifNotFound.frames[1].pixelColor(0, 0), QColor(0, 0, 255));
    EXPECT_FALSE(s.BackImage.animated());
    EXPECT_EQ(s.BackImage.first().pixelColor(1, 1), QColor(0, 0, 255));
    // A GIF named .JPG is handed to the JPEG decoder, which refuses it.
    EXPECT_TRUE(ReadSkin(IniFile::parse("[IMAGES]\nNotFound=.\\gif.jpg\n"), defaultSkinPictureLoaders())
                    .GifNotFound.isNull());
}

} // namespace
