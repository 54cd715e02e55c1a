#include "gif_decoder.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace vexa {
namespace {

struct MemorySource {
    const QByteArray* bytes;
    qsizetype pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* buf, int len) {
    auto* src = static_cast<MemorySource*>(gif->UserData);
    qsizetype left = src->bytes->size() - src->pos;
    int n = static_cast<int>(std::min<qsizetype>(left, len));
    if (n > 0) {
        std::memcpy(buf, src->bytes->constData() + src->pos, static_cast<size_t>(n));
        src->pos += n;
    }
    return n;
}

struct GifCloser {
    void operator()(GifFileType* g) const {
        int err = 0;
        DGifCloseFile(g, &err);
    }
};

} // namespace

GifPicture decodeGif(const QByteArray& bytes) {
    GifPicture out;
    MemorySource src{&bytes};
    int err = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&src, readFromMemory, &err));
    if (!gif) {
        out.error = QStringLiteral("not a GIF file (%1)").arg(QString::fromLatin1(GifErrorString(err)));
        return out;
    }
    long long canvasW = gif->SWidth, canvasH = gif->SHeight;
    QImage canvas;
    auto makeCanvas = [&](long long w, long long h) {
        if (w <= 0 || h <= 0 || w * h > kGifMaxCanvasPixels)
            return false;
        canvas = QImage(static_cast<int>(w), static_cast<int>(h), QImage::Format_ARGB32);
        if (canvas.isNull())
            return false;
        canvas.fill(Qt::transparent);
        return true;
    };
    if (canvasW > 0 && canvasH > 0 && !makeCanvas(canvasW, canvasH)) {
        out.error = QStringLiteral("GIF screen too large");
        return out;
    }

    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
    long long totalPixels = 0;
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            break;
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR)
                break;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4)
                DGifExtensionToGCB(ext[0], ext + 1, &gcb);
            bool broken = false;
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) {
                    broken = true;
                    break;
                }
            }
            if (broken)
                break;
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                break;
            const GifImageDesc& d = gif->Image;
            long long w = d.Width, h = d.Height;
            if (w <= 0 || h <= 0 || w * h > kGifMaxCanvasPixels || out.frames.size() >= kGifMaxFrames)
                break;
            if (canvas.isNull() && !makeCanvas(d.Left + w, d.Top + h))
                break;
            totalPixels += static_cast<long long>(canvas.width()) * canvas.height();
            if (totalPixels > kGifMaxTotalPixels)
                break;
            std::vector<GifPixelType> raster(static_cast<size_t>(w * h));
            bool readOk = true;
            if (d.Interlace) {
                static const int offsets[] = {0, 4, 2, 1};
                static const int jumps[] = {8, 8, 4, 2};
                for (int pass = 0; pass < 4 && readOk; ++pass)
                    for (long long row = offsets[pass]; row < h && readOk; row += jumps[pass])
                        readOk = DGifGetLine(gif.get(), &raster[static_cast<size_t>(row * w)],
                                             static_cast<int>(w)) != GIF_ERROR;
            } else {
                for (long long row = 0; row < h && readOk; ++row)
                    readOk = DGifGetLine(gif.get(), &raster[static_cast<size_t>(row * w)],
                                         static_cast<int>(w)) != GIF_ERROR;
            }
            const ColorMapObject* map = d.ColorMap ? d.ColorMap : gif->SColorMap;
            if (!map || !readOk) {
                // A frame cut short keeps what was decoded only when nothing came before it.
                if (!out.frames.empty() || !map)
                    break;
            }
            QImage before;
            if (gcb.DisposalMode == DISPOSE_PREVIOUS)
                before = canvas.copy();
            for (long long y = 0; y < h; ++y) {
                long long cy = d.Top + y;
                if (cy < 0 || cy >= canvas.height())
                    continue;
                auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(static_cast<int>(cy)));
                for (long long x = 0; x < w; ++x) {
                    long long cx = d.Left + x;
                    if (cx < 0 || cx >= canvas.width())
                        continue;
                    int index = raster[static_cast<size_t>(y * w + x)];
                    if (index == gcb.TransparentColor || index >= map->ColorCount)
                        continue;
                    const GifColorType& c = map->Colors[index];
                    line[cx] = qRgb(c.Red, c.Green, c.Blue);
                }
            }
            int delay = gcb.DelayTime > 0 ? gcb.DelayTime * 10 : 100;
            out.frames.push_back({canvas.copy(), delay});
            if (!readOk)
                break;
            if (gcb.DisposalMode == DISPOSE_BACKGROUND) {
                for (long long y = std::max<long long>(0, d.Top);
                     y < std::min<long long>(canvas.height(), d.Top + h); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(static_cast<int>(y)));
                    for (long long x = std::max<long long>(0, d.Left);
                         x < std::min<long long>(canvas.width(), d.Left + w); ++x)
                        line[x] = qRgba(0, 0, 0, 0);
                }
            } else if (gcb.DisposalMode == DISPOSE_PREVIOUS && !before.isNull()) {
                canvas = before;
            }
            gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR};
        }
    } while (type != TERMINATE_RECORD_TYPE);

    if (out.frames.empty())
        out.error = QStringLiteral("no readable frame in the GIF file");
    return out;
}

} // namespace vexa
