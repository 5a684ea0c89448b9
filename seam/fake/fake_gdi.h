// Drawing calls for tests: every call is recorded, pens are numbered handles whose lifetime is
// tracked, and the last polyline's points are kept so a test can check the mapping.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "seam/fake/call_log.h"
#include "seam/gdi.h"

namespace loopster {

class FakeGdi final : public Gdi {
  public:
    struct Pen {
        int style;
        int width;
        std::int32_t colour;
    };

    explicit FakeGdi(CallLog& log) : m_log(log) {}

    // Runs during every Polyline call: lets a test make a frame take time on a fake clock.
    void onPolyline(std::function<void()> hook) { m_onPolyline = std::move(hook); }

    Handle CreatePen(int style, int width, std::int32_t colour) override {
        const Handle pen = m_nextHandle++;
        m_pens[pen] = Pen{style, width, colour};
        m_live.insert(pen);
        m_peakLive = std::max(m_peakLive, m_live.size());
        m_log.add("CreatePen " + std::to_string(style) + " " + std::to_string(width) + " " +
                  std::to_string(colour));
        return pen;
    }
    Handle SelectObject(Handle dc, Handle pen) override {
        m_log.add("SelectObject " + std::to_string(dc) + " " + std::to_string(pen));
        const Handle previous = m_selected[dc];
        m_selected[dc] = pen;
        return previous;
    }
    bool Polyline(Handle dc, const CurvePoint* points, int count) override {
        m_log.add("Polyline " + std::to_string(dc) + " " + std::to_string(count));
        m_lastPoints.assign(points, points + count);
        m_lastPointsOn[dc] = m_lastPoints;
        m_lastPen = m_pens.at(m_selected[dc]);
        ++m_polylines;
        if (m_onPolyline) {
            m_onPolyline();
        }
        return true;
    }
    bool DeleteObject(Handle pen) override {
        m_log.add("DeleteObject " + std::to_string(pen));
        return m_live.erase(pen) == 1;
    }

    const Pen& pen(Handle handle) const { return m_pens.at(handle); }
    Handle selected(Handle dc) const {
        const auto it = m_selected.find(dc);
        return it == m_selected.end() ? 0 : it->second;
    }
    std::size_t livePens() const { return m_live.size(); }
    std::size_t peakLivePens() const { return m_peakLive; }
    std::size_t polylines() const { return m_polylines; }
    const std::vector<CurvePoint>& lastPoints() const { return m_lastPoints; }
    const Pen& lastPen() const { return m_lastPen; }
    // The points of the last polyline drawn on `dc`; empty when none was.
    std::vector<CurvePoint> lastPointsOn(Handle dc) const {
        const auto it = m_lastPointsOn.find(dc);
        return it == m_lastPointsOn.end() ? std::vector<CurvePoint>{} : it->second;
    }

  private:
    CallLog& m_log;
    Handle m_nextHandle = 100;
    std::map<Handle, Pen> m_pens;
    std::set<Handle> m_live;
    std::size_t m_peakLive = 0;
    std::map<Handle, Handle> m_selected;
    std::vector<CurvePoint> m_lastPoints;
    std::map<Handle, std::vector<CurvePoint>> m_lastPointsOn;
    Pen m_lastPen{};
    std::size_t m_polylines = 0;
    std::function<void()> m_onPolyline;
};

}  // namespace loopster
