// The two animation encoders.
#include "tools/lab_animation.h"

#include <gif_lib.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <QImage>
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace loopster {

namespace {

class WebpEncoder final : public AnimationEncoder {
  public:
    WebpEncoder(QSize size, ByteOutput output) : m_output(std::move(output)) {
        WebPAnimEncoderOptions options;
        if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&m_config)) {
            throw EncodeError("the WebP library does not match its headers");
        }
        // Loops for ever, like the saver.
        options.anim_params.loop_count = 0;
        options.anim_params.bgcolor = 0xFF000000u;
        // Trying both a whole frame and the changed part of it for every frame takes a third of
        // the size off for about twice the time (5 s of 480x270: 158 KB in 3 s against 261 KB in
        // 2 s); a low effort per frame costs nothing here, since two-colour frames are coded with
        // a palette whatever the effort.
        options.minimize_size = 1;
        m_config.lossless = 1;
        m_config.quality = 25;
        m_config.method = 1;

        m_encoder = WebPAnimEncoderNew(size.width(), size.height(), &options);
        if (m_encoder == nullptr) {
            throw EncodeError("cannot start the WebP encoder");
        }
    }
    ~WebpEncoder() override { WebPAnimEncoderDelete(m_encoder); }
    WebpEncoder(const WebpEncoder&) = delete;
    WebpEncoder& operator=(const WebpEncoder&) = delete;

    void frame(const QImage& image, int startMs, int /*durationMs*/) override {
        const QImage rgbx = image.convertToFormat(QImage::Format_RGBX8888);
        WebPPicture picture;
        if (!WebPPictureInit(&picture)) {
            throw EncodeError("the WebP library does not match its headers");
        }
        picture.use_argb = 1;
        picture.width = rgbx.width();
        picture.height = rgbx.height();
        const bool imported = WebPPictureImportRGBX(&picture, rgbx.constBits(),
                                                    static_cast<int>(rgbx.bytesPerLine()));
        const bool added = imported && WebPAnimEncoderAdd(m_encoder, &picture, startMs, &m_config);
        WebPPictureFree(&picture);
        if (!added) {
            throw EncodeError(std::string("WebP: ") + WebPAnimEncoderGetError(m_encoder));
        }
    }

    void finish(int endMs) override {
        WebPData data;
        WebPDataInit(&data);
        if (!WebPAnimEncoderAdd(m_encoder, nullptr, endMs, nullptr) ||
            !WebPAnimEncoderAssemble(m_encoder, &data)) {
            throw EncodeError(std::string("WebP: ") + WebPAnimEncoderGetError(m_encoder));
        }
        const bool written = m_output(reinterpret_cast<const char*>(data.bytes), data.size);
        WebPDataClear(&data);
        if (!written) {
            throw EncodeError("WebP: the file could not be written");
        }
    }

  private:
    ByteOutput m_output;
    WebPAnimEncoder* m_encoder = nullptr;
    WebPConfig m_config;
};

// giflib's output function: its pieces go straight to the file. Short of the whole length, giflib
// stops with a write error.
int writeToOutput(GifFileType* gif, const GifByteType* data, int length) {
    const auto& output = *static_cast<const ByteOutput*>(gif->UserData);
    const bool written = length <= 0 || output(reinterpret_cast<const char*>(data),
                                               static_cast<std::size_t>(length));
    return written ? length : 0;
}

class GifEncoder final : public AnimationEncoder {
  public:
    GifEncoder(QSize size, ByteOutput output) : m_output(std::move(output)) {
        int error = 0;
        m_gif = EGifOpen(&m_output, writeToOutput, &error);
        if (m_gif == nullptr) {
            throw EncodeError(std::string("GIF: ") + GifErrorString(error));
        }
        EGifSetGifVersion(m_gif, true);
        check(EGifPutScreenDesc(m_gif, size.width(), size.height(), 8, 0, nullptr));
        // The application extension that makes viewers loop the animation for ever.
        static const char kLoopName[] = "NETSCAPE2.0";
        GifByteType loopForEver[] = {1, 0, 0};
        check(EGifPutExtensionLeader(m_gif, APPLICATION_EXT_FUNC_CODE));
        check(EGifPutExtensionBlock(m_gif, 11, kLoopName));
        check(EGifPutExtensionBlock(m_gif, 3, loopForEver));
        check(EGifPutExtensionTrailer(m_gif));
    }
    ~GifEncoder() override { close(); }
    GifEncoder(const GifEncoder&) = delete;
    GifEncoder& operator=(const GifEncoder&) = delete;

    void frame(const QImage& image, int startMs, int durationMs) override {
        const QImage pixels = image.convertToFormat(QImage::Format_RGB32);
        const QRect area = changedArea(pixels);
        const int delay = centiseconds(startMs + durationMs) - centiseconds(startMs);

        // Each frame leaves its pixels for the next to draw over.
        GraphicsControlBlock control{DISPOSE_DO_NOT, false, delay, NO_TRANSPARENT_COLOR};
        GifByteType extension[4];
        const size_t length = EGifGCBToExtension(&control, extension);
        check(EGifPutExtension(m_gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension));

        std::vector<std::uint32_t> colours;
        m_line.resize(static_cast<std::size_t>(area.width()));
        m_indices.clear();
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y));
            for (int x = area.left(); x <= area.right(); ++x) {
                m_indices.push_back(indexOf(row[x] | 0xFF000000u, colours));
            }
        }
        int tableSize = 2;
        while (tableSize < static_cast<int>(colours.size())) {
            tableSize *= 2;
        }
        std::vector<GifColorType> table(static_cast<std::size_t>(tableSize), GifColorType{0, 0, 0});
        for (std::size_t c = 0; c < colours.size(); ++c) {
            table[c] = GifColorType{static_cast<GifByteType>(qRed(colours[c])),
                                    static_cast<GifByteType>(qGreen(colours[c])),
                                    static_cast<GifByteType>(qBlue(colours[c]))};
        }
        ColorMapObject* map = GifMakeMapObject(tableSize, table.data());
        if (map == nullptr) {
            throw EncodeError("GIF: out of memory");
        }
        const int described = EGifPutImageDesc(m_gif, area.left(), area.top(), area.width(),
                                               area.height(), false, map);
        GifFreeMapObject(map);
        check(described);
        for (int y = 0; y < area.height(); ++y) {
            check(EGifPutLine(m_gif, m_indices.data() + static_cast<std::size_t>(y) * m_line.size(),
                              area.width()));
        }
        m_previous = pixels;
    }

    void finish(int /*endMs*/) override {
        const int error = close();
        if (error != 0) {
            throw EncodeError(std::string("GIF: ") + GifErrorString(error));
        }
    }

  private:
    void check(int result) {
        if (result == GIF_ERROR) {
            throw EncodeError(std::string("GIF: ") + GifErrorString(m_gif->Error));
        }
    }

    int close() {
        int error = 0;
        if (m_gif != nullptr && EGifCloseFile(m_gif, &error) == GIF_OK) {
            error = 0;
        }
        m_gif = nullptr;
        return error;
    }

    static int centiseconds(int ms) { return (ms + 5) / 10; }

    static GifPixelType indexOf(std::uint32_t colour, std::vector<std::uint32_t>& colours) {
        const auto found = std::find(colours.begin(), colours.end(), colour);
        if (found != colours.end()) {
            return static_cast<GifPixelType>(found - colours.begin());
        }
        if (colours.size() == 256) {
            throw EncodeError("GIF: a frame has more than 256 colours");
        }
        colours.push_back(colour);
        return static_cast<GifPixelType>(colours.size() - 1);
    }

    // The smallest rectangle holding every pixel that differs from the previous frame: the whole
    // image for the first frame, one pixel when nothing changed.
    QRect changedArea(const QImage& pixels) const {
        if (m_previous.isNull()) {
            return pixels.rect();
        }
        int left = pixels.width();
        int right = -1;
        int top = pixels.height();
        int bottom = -1;
        for (int y = 0; y < pixels.height(); ++y) {
            const auto* now = reinterpret_cast<const std::uint32_t*>(pixels.constScanLine(y));
            const auto* before =
                reinterpret_cast<const std::uint32_t*>(m_previous.constScanLine(y));
            for (int x = 0; x < pixels.width(); ++x) {
                if (now[x] != before[x]) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = y;
                }
            }
        }
        if (right < 0) {
            return QRect(0, 0, 1, 1);
        }
        return QRect(QPoint(left, top), QPoint(right, bottom));
    }

    ByteOutput m_output;
    GifFileType* m_gif = nullptr;
    QImage m_previous;
    std::vector<GifPixelType> m_line;
    std::vector<GifPixelType> m_indices;
};

}  // namespace

std::unique_ptr<AnimationEncoder> webpEncoder(QSize size, ByteOutput output) {
    return std::make_unique<WebpEncoder>(size, std::move(output));
}

std::unique_ptr<AnimationEncoder> gifEncoder(QSize size, ByteOutput output) {
    return std::make_unique<GifEncoder>(size, std::move(output));
}

}  // namespace loopster
