// The windows that the render loop draws every frame on: one saver window, or one window per
// monitor. Each has its own size, so each gets the frame mapped to that size.
#pragma once

#include <cstddef>

#include "seam/saver_window.h"

namespace loopster {

class SaverSurfaces {
  public:
    virtual ~SaverSurfaces() = default;
    // Brings the set up to date with the desktop; the render loop calls it at the start of every
    // pattern, before it reads the windows' sizes, and every few frames in between. True when a
    // window was made, moved or let go.
    virtual bool layout() = 0;
    virtual std::size_t count() const = 0;
    // Window `index`, 0 to count() - 1; the first one is on the primary monitor.
    virtual SaverWindow& surface(std::size_t index) = 0;
};

// A single window as a set of one, which never changes.
class OneSurface final : public SaverSurfaces {
  public:
    explicit OneSurface(SaverWindow& window) : m_window(window) {}
    bool layout() override { return false; }
    std::size_t count() const override { return 1; }
    SaverWindow& surface(std::size_t /*index*/) override { return m_window; }

  private:
    SaverWindow& m_window;
};

}  // namespace loopster
