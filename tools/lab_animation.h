// Animated images of a run of frames: WebP through libwebp's animation encoder, GIF through giflib.
// Frames are encoded as they arrive, so a long run never holds more than two of them. A GIF goes
// to its output as it is encoded, so its size in memory does not grow with the run; libwebp
// assembles a WebP only at the end, so a WebP's encoded frames stay in memory until then.
#pragma once

#include <QSize>
#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>

#include "tools/lab_pictures.h"

namespace loopster {

// An encoder failed; the message says which and why.
class EncodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Where an encoder puts the file's bytes, in order; false when they could not be written, which
// ends the encoding with an EncodeError.
using ByteOutput = std::function<bool(const char* data, std::size_t size)>;

class AnimationEncoder : public FrameSink {
  public:
    // Writes the rest of the file once every frame is in; `endMs` is when the last frame ends.
    virtual void finish(int endMs) = 0;
};

// Lossless WebP: every frame holds a black background and one pen colour, which lossless coding
// packs far smaller than lossy coding, with no blur around the thin lines.
std::unique_ptr<AnimationEncoder> webpEncoder(QSize size, ByteOutput output);

// GIF with a local colour table per frame (the pen colour changes from frame to frame), each frame
// cut to the rectangle that changed. Delays are whole centiseconds, rounded so that the frames'
// start times never drift from the run's.
std::unique_ptr<AnimationEncoder> gifEncoder(QSize size, ByteOutput output);

}  // namespace loopster
