#include "skin.h"

#include "cp1251.h"
#include "file_paths.h"
#include "picture_file.h"

#include <array>
#include <cmath>
#include <fstream>
#include <optional>

namespace vexa {

namespace {

// Default Windows system colours by index, as 0xRRGGBB.
constexpr std::array<std::uint32_t, 31> kSystemColors = {
    0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
    0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
    0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
    0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0,
};

std::string lowerExtension(const std::string& cp1251Path) {
    std::size_t dot = cp1251Path.find_last_of('.');
    std::size_t slash = cp1251Path.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = cp1251::toUpper(cp1251Path.substr(dot + 1));
    return ext;
}

// The regular file that a skin path names, if there is one.
std::optional<std::filesystem::path> existingFile(const std::string& cp1251Path) {
    auto file = resolveCatalogueFile(cp1251Path);
    std::error_code ec;
    if (!file || !std::filesystem::is_regular_file(*file, ec))
        return std::nullopt;
    return file;
}

Picture still(const QImage& image) {
    Picture p;
    if (!image.isNull()) {
        p.frames.push_back(image);
        p.delaysMs.push_back(0);
    }
    return p;
}

bool isWindowsBitmap(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    char magic[2] = {};
    return in.read(magic, 2) && magic[0] == 'B' && magic[1] == 'M';
}

} // namespace

QColor toQColor(WinColor color) {
    if ((color >> 24) == 0xFF) {
        unsigned index = color & 0xFF;
        std::uint32_t rgb = index < kSystemColors.size() ? kSystemColors[index] : 0;
        return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    }
    // Palette-relative and plain colours both name their red, green and blue directly.
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

int pointsToPixels(int points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

QFont toQFont(const SkinFont& font) {
    QFont f(QString::fromStdString(cp1251::toUtf8(font.name)));
    f.setPixelSize(std::max(1, pointsToPixels(font.size)));
    return f;
}

SkinPictureLoaders defaultSkinPictureLoaders() {
    SkinPictureLoaders l;
    l.loadPicture = [](const std::string& path) -> Picture {
        if (path.size() <= 3)
            return {};
        // With no provider chosen, only paths from the root or the working folder work.
        if (path.front() != '.' && path.front() != '\\')
            return {};
        PictureKind kind = pictureKindOfName(path);
        if (kind == PictureKind::None)
            return {};
        auto file = existingFile(path);
        if (!file)
            return {};
        // The ending chooses the decoder; a GIF keeps all its frames.
        switch (kind) {
        case PictureKind::Gif:
            return decodeGifFile(*file);
        case PictureKind::Bmp:
            return still(decodeBmpFile(*file));
        default:
            return still(decodeJpegFile(*file).convertToFormat(QImage::Format_RGB888));
        }
    };
    l.loadAnyPicture = [](const std::string& path) -> QImage {
        // The extension chooses the decoder, as for every picture of the skin.
        std::string ext = lowerExtension(path);
        if (ext != "BMP" && ext != "GIF" && ext != "JPG" && ext != "JPEG" && ext != "ICO")
            return {}; // metafiles are not drawn here
        auto file = existingFile(path);
        if (!file)
            return {};
        if (ext == "BMP")
            return decodeBmpFile(*file);
        if (ext == "GIF")
            return decodeGifFile(*file).first();
        if (ext == "ICO")
            return QImage(QString::fromStdString(file->string()), "ICO");
        return decodeJpegFile(*file);
    };
    l.loadBitmap = [](const std::string& path) -> QImage {
        auto file = resolveCatalogueFile(path);
        if (!file || !isWindowsBitmap(*file))
            return {};
        return decodePictureFile(*file).first();
    };
    return l;
}

std::filesystem::path skinFilePath(const std::filesystem::path& executable) {
    std::filesystem::path ini = executable;
    ini.replace_extension(".INI");
    std::error_code ec;
    if (std::filesystem::exists(ini, ec))
        return ini;
    if (auto found = resolvePathNoCase(ini))
        return *found;
    return ini;
}

WinColor ParseRGB(std::string_view text, WinColor fallback) {
    if (text.size() < 4)
        return fallback;
    std::string_view rest = text.substr(4, 50);
    int parts[3];
    for (int i = 0; i < 3; ++i) {
        std::size_t end = rest.find(i < 2 ? ',' : ')');
        if (end == std::string_view::npos)
            return fallback;
        auto n = parseIniInteger(rest.substr(0, end));
        if (!n)
            return fallback;
        parts[i] = *n;
        rest.remove_prefix(end + 1);
    }
    return winPaletteRGB(parts[0], parts[1], parts[2]);
}

WinColor ReadSkinColor(const IniFile& ini, std::string_view section, std::string_view key,
                       WinColor fallback) {
    std::string text = ini.value(section, key);
    if (text.size() >= 4 && cp1251::toUpper(std::string_view(text).substr(0, 4)) == "RGB(")
        return ParseRGB(text, fallback);
    auto n = parseIniInteger(text);
    return n ? static_cast<WinColor>(*n) : fallback;
}

namespace {

void readFont(const IniFile& ini, const char* prefix, SkinFont& font) {
    std::string p = prefix;
    std::string name = ini.value("FONT", p + "FontName");
    if (!name.empty())
        font.name = name;
    int size = parseIniInteger(ini.value("FONT", p + "FontSize")).value_or(font.size);
    if (size > 0)
        font.size = size;
    font.color = ReadSkinColor(ini, "FONT", p + "FontColor", font.color);
}

} // namespace

Skin ReadSkin(const IniFile& ini, const SkinPictureLoaders& loaders) {
    Skin s;
    auto load = [&](const auto& loader, const char* key, auto& into) {
        std::string path = ini.value("IMAGES", key);
        if (path.empty() || !loader)
            return;
        auto picture = loader(path);
        if (!picture.isNull())
            into = std::move(picture);
    };
    load(loaders.loadPicture, "BackImage", s.BackImage);
    load(loaders.loadPicture, "NotFound", s.GifNotFound);
    load(loaders.loadAnyPicture, "BtnHome", s.BtnHome);
    load(loaders.loadAnyPicture, "BtnEnd", s.BtnEnd);
    load(loaders.loadAnyPicture, "BtnSortDn", s.BtnSortDn);
    load(loaders.loadAnyPicture, "BtnSortUp", s.BtnSortUp);
    load(loaders.loadBitmap, "TreeBackImage", s.TreeBackImage);

    s.MainBackColor = ReadSkinColor(ini, "COLOR", "MainBackColor", kColorButtonFace);
    s.Header1 = ReadSkinColor(ini, "COLOR", "Header1", winRGB(238, 200, 0));
    s.Header2 = ReadSkinColor(ini, "COLOR", "Header2", winRGB(238, 200, 0));
    s.TreeBackColor = ReadSkinColor(ini, "COLOR", "TreeBackColor", s.MainBackColor);

    // The main font starts as the built-in one; the other fonts start from it.
    s.MainFont = SkinFont{"MS Sans Serif", 8, winRGB(255, 255, 255)};
    std::string name = ini.value("FONT", "MainFontName");
    if (!name.empty())
        s.MainFont.name = name;
    int size = parseIniInteger(ini.value("FONT", "MainFontSize")).value_or(8);
    if (size > 0)
        s.MainFont.size = size;
    s.MainFont.color = ReadSkinColor(ini, "FONT", "MainFontColor", winRGB(255, 255, 255));
    s.Title1FontColor = ReadSkinColor(ini, "FONT", "Title1FontColor", winRGB(255, 255, 255));
    s.Title2FontColor = ReadSkinColor(ini, "FONT", "Title2FontColor", winRGB(0, 255, 0));

    s.TreeFont = s.DescFont = s.ListFont = s.MainFont;
    readFont(ini, "Tree", s.TreeFont);
    readFont(ini, "Desc", s.DescFont);
    readFont(ini, "List", s.ListFont);

    load(loaders.loadBitmap, "BtnBack1", s.BtnBack1);
    return s;
}

DetailSkin ReadDetailSkin(const IniFile& ini, const SkinPictureLoaders& loaders) {
    DetailSkin d;
    if (!loaders.loadBitmap)
        return d;
    if (std::string p = ini.value("IMAGES", "BtnBack2"); !p.empty())
        d.BtnBack2 = loaders.loadBitmap(p);
    if (std::string p = ini.value("IMAGES", "BackDetail"); !p.empty())
        d.BackDetail = loaders.loadBitmap(p);
    return d;
}

} // namespace vexa
