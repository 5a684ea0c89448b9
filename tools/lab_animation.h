// Animated images of a run of frames: WebP through libwebp's animation encoder, GIF through giflib.
// Frames are encoded as they arrive, so a long run never holds more than two of them.
#pragma once

#include <QByteArray>
#include <QSize>
#include <memory>
#include <stdexcept>

#include "tools/lab_pictures.h"

namespace loopster {

// An encoder failed; the message says which and why.
class EncodeError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class AnimationEncoder : public FrameSink {
  public:
    // The whole file, once every frame is in; `endMs` is when the last frame ends.
    virtual QByteArray finish(int endMs) = 0;
};

// Lossless WebP: every frame holds a black background and one pen colour, which lossless coding
// packs far smaller than lossy coding, with no blur around the thin lines.
std::unique_ptr<AnimationEncoder> webpEncoder(QSize size);

// GIF with a local colour table per frame (the pen colour changes from frame to frame), each frame
// cut to the rectangle that changed. Delays are whole centiseconds, rounded so that the frames'
// start times never drift from the run's.
std::unique_ptr<AnimationEncoder> gifEncoder(QSize size);

}  // namespace loopster
