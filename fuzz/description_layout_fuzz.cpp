// Lays one input out as a marked-up description and shortens it. Fontconfig keeps its
// caches until exit: run with ASAN_OPTIONS=detect_leaks=0.
#include "description_layout.h"

#include <QGuiApplication>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
vexa::DescriptionLayout* layout = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    static vexa::DescriptionLayout instance;
    layout = &instance;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string shortened = layout->ShortenDescription(text);
    return shortened.size() > text.size() + 3 + 20 * size ? 1 : 0;
}
