// Reads one input as an RTF document.
#include "rtf_reader.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vexa::RtfDocument doc = vexa::readRtf(std::string_view(reinterpret_cast<const char*>(data), size));
    return doc.plainText().size() > static_cast<qsizetype>(size) * 2 + 1 ? 1 : 0;
}
