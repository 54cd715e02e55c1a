#pragma once
// The skin: pictures, colours and fonts of the windows, read once from the INI file
// beside the executable. Every key has a default; without the file all defaults apply.
// The values are kept in one Skin object that the windows read; the controls of this
// library take what they need from it as plain parameters.
#include "ini_file.h"
#include "picture_file.h"

#include <QColor>
#include <QFont>
#include <QImage>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace vexa {

// A colour in the Windows encoding: 0x00BBGGRR; 0x02BBGGRR is palette-relative; a value
// whose highest byte is 255 names a system colour by the index in its lowest byte.
using WinColor = std::uint32_t;

constexpr WinColor winRGB(int r, int g, int b) {
    return static_cast<WinColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr WinColor winPaletteRGB(int r, int g, int b) {
    return 0x02000000u | winRGB(r, g, b);
}
constexpr WinColor kSystemColorFlag = 0xFF000000u;
constexpr WinColor kColorButtonFace = kSystemColorFlag | 15;

// The one place where a Windows colour becomes a QColor.
QColor toQColor(WinColor color);

// A size in points on the 96-dpi screen the layout was drawn for.
int pointsToPixels(int points);

struct SkinFont {
    std::string name; // cp1251 face name
    int size = 8;     // points
    WinColor color = winRGB(255, 255, 255);
};
// The font as Qt draws it: the face, and the size as a pixel size.
QFont toQFont(const SkinFont& font);

// Loaders for the skin's pictures (paths are cp1251 as the file writes them). A null
// image means "no picture": the element keeps its built-in look.
using PictureLoader = std::function<QImage(const std::string& cp1251Path)>;
// A loader that keeps every frame of an animated GIF.
using AnimatedPictureLoader = std::function<Picture(const std::string& cp1251Path)>;
struct SkinPictureLoaders {
    // The catalogue's picture loader (BackImage, NotFound): an animated GIF plays.
    AnimatedPictureLoader loadPicture;
    // Any picture type by its extension (the page and sort buttons).
    PictureLoader loadAnyPicture;
    // Windows bitmaps only (tree background, back buttons, detail background).
    PictureLoader loadBitmap;
};
// Loaders over the program's own picture decoding. loadPicture follows the catalogue's
// rules with no provider chosen: a path of 3 characters or fewer, or one that begins
// with neither '.' nor '\', gives no picture; files ending in .BMP, .GIF and .JPG are
// decoded as that kind, a GIF with all its frames.
SkinPictureLoaders defaultSkinPictureLoaders();

struct Skin {
    Picture BackImage;                            // may be animated
    Picture GifNotFound;                          // may be animated
    QImage BtnHome, BtnEnd, BtnSortDn, BtnSortUp; // null: the built-in picture
    QImage TreeBackImage;                         // null: the tree is painted with TreeBackColor
    QImage BtnBack1;                              // null: the built-in glyph

    WinColor MainBackColor = kColorButtonFace;
    WinColor Header1 = winRGB(238, 200, 0);
    WinColor Header2 = winRGB(238, 200, 0);
    WinColor TreeBackColor = kColorButtonFace;

    SkinFont MainFont{"MS Sans Serif", 8, winRGB(255, 255, 255)};
    WinColor Title1FontColor = winRGB(255, 255, 255);
    WinColor Title2FontColor = winRGB(0, 255, 0);
    SkinFont TreeFont = MainFont;
    SkinFont DescFont = MainFont;
    SkinFont ListFont = MainFont; // also the other selectors and the search phrase field
};

// The two keys that the detail window reads for itself.
struct DetailSkin {
    QImage BtnBack2;   // null: the caption "Назад" stays
    QImage BackDetail; // null: no background picture
};

// The skin file of an executable: its path with the extension replaced by ".INI" (any
// case of the extension is accepted when the exact name is missing).
std::filesystem::path skinFilePath(const std::filesystem::path& executable);

// A colour value read by the skin's rules: the RGB(r,g,b) form, or an integer; the
// default when the key is missing, empty or not a number.
WinColor ReadSkinColor(const IniFile& ini, std::string_view section, std::string_view key, WinColor fallback);
// The RGB(r,g,b) form (the text begins with "RGB(" in any case): palette-relative,
// every number taken modulo 256. A piece that is not a number gives the fallback.
WinColor ParseRGB(std::string_view text, WinColor fallback);

Skin ReadSkin(const IniFile& ini, const SkinPictureLoaders& loaders);
DetailSkin ReadDetailSkin(const IniFile& ini, const SkinPictureLoaders& loaders);

} // namespace vexa
