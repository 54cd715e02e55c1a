// Reads one input as a skin file and every key and colour of it.
#include "ini_file.h"
#include "skin.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    vexa::IniFile ini = vexa::IniFile::parse(bytes);
    // Pictures are not loaded: the reader and the value forms are what is tested here.
    vexa::Skin skin = vexa::ReadSkin(ini, vexa::SkinPictureLoaders{});
    std::size_t total = ini.value("IMAGES", "BackImage").size() + skin.MainFont.name.size();
    // The input itself as a value of every kind.
    vexa::ParseRGB(bytes, 0);
    vexa::parseIniInteger(bytes);
    return total > vexa::IniFile::kMaxValue * 2 ? 1 : 0;
}
