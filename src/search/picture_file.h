#pragma once
// Pictures of the catalogue and the skin, decoded from their files: JPEG, GIF (still or
// animated) and BMP. A file that is missing, broken or too large gives no picture.
#include <QImage>

#include <filesystem>
#include <vector>

namespace vexa {

struct Picture {
    std::vector<QImage> frames; // one for a still picture
    std::vector<int> delaysMs;  // per frame, for animations
    bool isNull() const { return frames.empty(); }
    bool animated() const { return frames.size() > 1; }
    QImage first() const { return frames.empty() ? QImage() : frames.front(); }
};

// Decodes the file at an existing path (chosen by its content, not its name).
Picture decodePictureFile(const std::filesystem::path& path);

} // namespace vexa
