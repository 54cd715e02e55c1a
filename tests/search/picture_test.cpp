// Picture files of every kind, sound and broken, through the decoders, the result entry
// pictures and the picture control.
#include "jpeg_decoder.h"
#include "picture_control.h"
#include "picture_file.h"
#include "test_support.h"

#include <gif_lib.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace vexa;
using namespace vexa::test;
namespace fs = std::filesystem;

namespace {

int toBuffer(GifFileType* gif, const GifByteType* data, int len) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), len);
    return len;
}

// A w x h GIF whose frames are filled with palette index 0 (red), 1 (green), 2 (blue) or
// 3 (transparent).
QByteArray gifBytes(int w, int h, const std::vector<int>& fills) {
    QByteArray out;
    int err = 0;
    GifFileType* gif = EGifOpen(&out, toBuffer, &err);
    ColorMapObject* map = GifMakeMapObject(4, nullptr);
    map->Colors[0] = {255, 0, 0};
    map->Colors[1] = {0, 255, 0};
    map->Colors[2] = {0, 0, 255};
    map->Colors[3] = {0, 0, 0};
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, w, h, 2, 0, map);
    for (int fill : fills) {
        GraphicsControlBlock gcb{DISPOSE_DO_NOT, false, 2, 3};
        GifByteType ext[4];
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(EGifGCBToExtension(&gcb, ext)), ext);
        EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr);
        std::vector<GifPixelType> line(static_cast<std::size_t>(w), static_cast<GifPixelType>(fill));
        for (int y = 0; y < h; ++y)
            EGifPutLine(gif, line.data(), w);
    }
    GifFreeMapObject(map);
    EGifCloseFile(gif, &err);
    return out;
}

QByteArray encoded(const QImage& img, const char* format) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

QImage sample(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, 128));
    return img;
}

// Flips bytes at random places: the decoders must come back, picture or not.
template <typename Decode> void survivesDamage(const QByteArray& good, Decode decode, int rounds) {
    std::mt19937 rng(7);
    for (int r = 0; r < rounds; ++r) {
        QByteArray bad = good;
        int flips = 1 + static_cast<int>(rng() % 8);
        for (int k = 0; k < flips; ++k)
            bad[static_cast<qsizetype>(rng() % static_cast<unsigned>(bad.size()))] = static_cast<char>(rng());
        if (rng() % 3 == 0)
            bad.truncate(static_cast<qsizetype>(rng() % static_cast<unsigned>(bad.size())));
        QImage img = decode(bad);
        if (!img.isNull())
            EXPECT_LE(static_cast<long long>(img.width()) * img.height(), kMaxPicturePixels);
    }
}

} // namespace

TEST(Pictures, KindComesFromTheNameEnding) {
    EXPECT_EQ(pictureKindOfName("a.jpg"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOfName("DIR\\A.JpG"), PictureKind::Jpeg);
    EXPECT_EQ(pictureKindOfName("x.Gif"), PictureKind::Gif);
    EXPECT_EQ(pictureKindOfName("x.bmp"), PictureKind::Bmp);
    EXPECT_EQ(pictureKindOfName("x.jpeg"), PictureKind::None);
    EXPECT_EQ(pictureKindOfName("x.png"), PictureKind::None);
    EXPECT_EQ(pictureKindOfName("jpg"), PictureKind::None);
}

TEST(Pictures, JpegDecodesToTwentyFourBitColour) {
    QImage img = decodeJpeg(encoded(sample(40, 30), "JPG"));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), QSize(40, 30));
    EXPECT_EQ(img.format(), QImage::Format_RGB888);
    EXPECT_NEAR(qRed(img.pixel(39, 0)), 248, 12);
    QImage gray = decodeJpeg(encoded(sample(8, 8).convertToFormat(QImage::Format_Grayscale8), "JPG"));
    EXPECT_EQ(gray.format(), QImage::Format_RGB888);
}

TEST(Pictures, BrokenJpegsGiveNoPicture) {
    QByteArray good = encoded(sample(64, 48), "JPG");
    EXPECT_TRUE(decodeJpeg(QByteArray()).isNull());
    EXPECT_TRUE(decodeJpeg("not a picture at all").isNull());
    EXPECT_TRUE(decodeJpeg(good.left(2)).isNull());
    EXPECT_TRUE(decodeJpeg(good.left(good.size() / 8)).isNull());
    // A header that claims a huge picture is refused before anything is allocated.
    QByteArray huge = good;
    int sof = static_cast<int>(huge.indexOf("\xFF\xC0"));
    ASSERT_GT(sof, 0);
    huge[sof + 5] = '\x7F'; // height 0x7Fxx
    huge[sof + 7] = '\x7F'; // width 0x7Fxx
    EXPECT_TRUE(decodeJpeg(huge).isNull());
    survivesDamage(
        good, [](const QByteArray& b) { return decodeJpeg(b); }, 300);
}

TEST(Pictures, BrokenBmpsAndGifsGiveNoPicture) {
    ScratchDir dir;
    QByteArray bmp = encoded(sample(16, 8), "BMP");
    writeFile(dir / "good.bmp", bmp.toStdString());
    EXPECT_EQ(decodeBmpFile(dir / "good.bmp").size(), QSize(16, 8));
    writeFile(dir / "short.bmp", bmp.left(20).toStdString());
    EXPECT_TRUE(decodeBmpFile(dir / "short.bmp").isNull());
    QByteArray huge = bmp;
    huge[18] = huge[19] = huge[20] = '\x7F'; // width
    huge[22] = huge[23] = huge[24] = '\x7F'; // height
    writeFile(dir / "huge.bmp", huge.toStdString());
    EXPECT_TRUE(decodeBmpFile(dir / "huge.bmp").isNull());
    writeFile(dir / "text.gif", "GIF89a nonsense");
    EXPECT_TRUE(decodeGifFile(dir / "text.gif").isNull());
    EXPECT_TRUE(decodeJpegFile(dir / "missing.jpg").isNull());
    // A file of another kind under a picture name: the name's decoder refuses it.
    writeFile(dir / "gif.jpg", gifBytes(2, 2, {0}).toStdString());
    EXPECT_TRUE(entryPicture(dir / "gif.jpg", PictureKind::Jpeg).isNull());
    survivesDamage(
        bmp,
        [&](const QByteArray& b) {
            writeFile(dir / "bad.bmp", b.toStdString());
            return decodeBmpFile(dir / "bad.bmp");
        },
        200);
    survivesDamage(
        gifBytes(8, 8, {0, 1, 2}),
        [&](const QByteArray& b) {
            writeFile(dir / "bad.gif", b.toStdString());
            return entryPicture(dir / "bad.gif", PictureKind::Gif);
        },
        200);
}

TEST(Pictures, EntryPictureOfAGifIsItsFirstFrameOverTheBackground) {
    ScratchDir dir;
    writeFile(dir / "a.gif", gifBytes(4, 4, {3, 0}).toStdString());
    QImage img = entryPicture(dir / "a.gif", PictureKind::Gif, QColor(10, 20, 30));
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.pixel(1, 1), qRgb(10, 20, 30));
    EXPECT_TRUE(img.hasAlphaChannel() == false);
}

class LoadPictureTest : public ::testing::Test {
protected:
    void SetUp() override {
        SoftBuilder b;
        b.provider("P", "PROV\\");
        writeCatalogue(dir.path(), b.records);
        while (cat.LoadSoftRecord() > 0) {
        }
        fs::create_directories(dir / "prov");
        writeFile(dir / "prov" / "pic.gif", gifBytes(3, 3, {0, 1, 2}).toStdString());
        writeFile(dir / "Pic.JPG", encoded(sample(5, 4), "JPG").toStdString());
        writeFile(dir / "prov" / "pic.png", encoded(sample(5, 4), "PNG").toStdString());
        writeFile(dir / "prov" / "broken.jpg", "garbage");
        writeFile(dir / "prov" / "broken.bmp", "BMgarbage");
        writeFile(dir / "prov" / "broken.gif", "GIF89agarbage");
        writeFile(dir / "prov" / "still.bmp", encoded(sample(7, 6), "BMP").toStdString());
    }
    ScratchDir dir;
    Catalogue cat{dir.path()};
    TPictureControl control;
};

TEST_F(LoadPictureTest, NamesAndEndingsDecideWhatLoads) {
    LoadPicture(control, "a.b", cat);
    EXPECT_TRUE(control.isEmpty());
    LoadPicture(control, "pic.png", cat);
    EXPECT_TRUE(control.isEmpty());
    // From the current provider's folder, found without regard to case.
    LoadPicture(control, "pic.gif", cat);
    ASSERT_FALSE(control.isEmpty());
    EXPECT_TRUE(control.animated());
    EXPECT_EQ(control.currentImage().pixel(1, 1), qRgb(255, 0, 0));
    // A name beginning with '.' is used as it stands.
    LoadPicture(control, ".\\pic.JPG", cat);
    EXPECT_FALSE(control.animated());
    EXPECT_EQ(control.currentImage().size(), QSize(5, 4));
    LoadPicture(control, "still.BMP", cat);
    EXPECT_EQ(control.currentImage().size(), QSize(7, 6));
    LoadPicture(control, "missing.bmp", cat);
    EXPECT_EQ(control.currentImage().size(), QSize(7, 6));
}

TEST_F(LoadPictureTest, BrokenFilesLeaveTheControlAsItWas) {
    LoadPicture(control, "still.bmp", cat);
    LoadPicture(control, "broken.jpg", cat);
    EXPECT_EQ(control.currentImage().size(), QSize(7, 6));
    EXPECT_THROW(LoadPicture(control, "broken.bmp", cat), PictureError);
    EXPECT_THROW(LoadPicture(control, "broken.gif", cat), PictureError);
    EXPECT_EQ(control.currentImage().size(), QSize(7, 6));
}

TEST_F(LoadPictureTest, WithoutAProviderOnlyExplicitPathsLoad) {
    cat.CurrentProvider = -1;
    LoadPicture(control, "pic.gif", cat);
    EXPECT_TRUE(control.isEmpty());
    LoadPicture(control, ".\\prov\\still.bmp", cat);
    EXPECT_FALSE(control.isEmpty());
}

TEST_F(LoadPictureTest, AnimationAdvancesOnTheTimer) {
    LoadPicture(control, "pic.gif", cat);
    ASSERT_TRUE(control.animated());
    std::set<QRgb> seen;
    QElapsedTimer clock;
    clock.start();
    while (seen.size() < 3 && clock.elapsed() < 3000) {
        seen.insert(control.currentImage().pixel(1, 1));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    EXPECT_EQ(seen, (std::set<QRgb>{qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)}));
    control.clear();
    EXPECT_FALSE(control.animated());
}
