#include "gif_decoder.h"

#include <gif_lib.h>

#include <gtest/gtest.h>

#include <QBuffer>

#include <random>
#include <vector>

using namespace vexa;

namespace {

int writeToBuffer(GifFileType* gif, const GifByteType* data, int len) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
    return len;
}

// Encodes frames of palette indexes (0 red, 1 green, 2 blue, 3 transparent when asked).
QByteArray makeGif(int w, int h, const std::vector<std::vector<GifPixelType>>& frames, int delayCs = 10,
                   bool transparent = false, int screenW = -1, int screenH = -1) {
    QByteArray out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, writeToBuffer, &err);
    ColorMapObject* map = GifMakeMapObject(4, nullptr);
    map->Colors[0] = {255, 0, 0};
    map->Colors[1] = {0, 255, 0};
    map->Colors[2] = {0, 0, 255};
    map->Colors[3] = {9, 9, 9};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, screenW < 0 ? w : screenW, screenH < 0 ? h : screenH, 2, 0, map);
    for (const auto& f : frames) {
        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, delayCs, transparent ? 3 : NO_TRANSPARENT_COLOR};
        GifByteType ext[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
        EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
        std::vector<GifPixelType> line(f);
        for (int y = 0; y < h; ++y)
            EGifPutLine(gif, line.data() + y * w, w);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &err);
    return out;
}

} // namespace

TEST(GifDecoder, StillPictureColours) {
    std::vector<GifPixelType> px = {0, 1, 2, 0, 1, 2};
    GifPicture p = decodeGif(makeGif(3, 2, {px}));
    ASSERT_TRUE(p.ok()) << p.error.toStdString();
    EXPECT_FALSE(p.animated());
    const QImage& img = p.frames[0].image;
    ASSERT_EQ(img.size(), QSize(3, 2));
    EXPECT_EQ(img.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(img.pixel(2, 1), qRgb(0, 0, 255));
}

TEST(GifDecoder, AnimatedFramesKeepDelaysAndTransparencyShowsThePreviousFrame) {
    std::vector<GifPixelType> first = {0, 0, 0, 0};
    std::vector<GifPixelType> second = {3, 1, 3, 1}; // index 3 transparent
    GifPicture p = decodeGif(makeGif(2, 2, {first, second}, 25, true));
    ASSERT_EQ(p.frames.size(), 2u);
    EXPECT_TRUE(p.animated());
    EXPECT_EQ(p.frames[0].delayMs, 250);
    EXPECT_EQ(p.frames[1].image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(p.frames[1].image.pixel(1, 0), qRgb(0, 255, 0));
}

TEST(GifDecoder, BrokenAndHostileFilesGiveErrorsNotCrashes) {
    std::vector<GifPixelType> px(64 * 64, 1);
    QByteArray good = makeGif(64, 64, {px, px, px});
    for (int cut = 0; cut < good.size(); cut += 7) {
        GifPicture p = decodeGif(good.left(cut));
        EXPECT_LE(p.frames.size(), 3u);
        if (!p.ok()) {
            EXPECT_FALSE(p.error.isEmpty());
        }
    }
    EXPECT_FALSE(decodeGif(QByteArray()).ok());
    EXPECT_FALSE(decodeGif(QByteArray("GIF89a not really")).ok());

    // A screen of 65535 x 65535 would take 16 GiB: refused before anything is allocated.
    GifPicture huge = decodeGif(makeGif(1, 1, {{0}}, 10, false, 65535, 65535));
    EXPECT_FALSE(huge.ok());

    std::mt19937 rng(7);
    for (int round = 0; round < 300; ++round) {
        QByteArray noisy = good;
        for (int k = 0; k < 8; ++k)
            noisy[static_cast<int>(rng() % noisy.size())] = static_cast<char>(rng());
        decodeGif(noisy);
    }
}
