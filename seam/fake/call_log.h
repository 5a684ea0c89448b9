// One ordered record of the calls that several fakes receive, so a test can check the order in
// which the render loop talks to the window, the drawing calls and the event loop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace loopster {

class CallLog {
  public:
    void add(std::string call) { m_calls.push_back(std::move(call)); }
    const std::vector<std::string>& calls() const { return m_calls; }
    void clear() { m_calls.clear(); }

    std::size_t count(const std::string& call) const {
        return static_cast<std::size_t>(std::count(m_calls.begin(), m_calls.end(), call));
    }
    // Index of the first call that starts with `prefix`, or calls().size() when there is none.
    std::size_t indexOf(const std::string& prefix) const {
        for (std::size_t i = 0; i < m_calls.size(); ++i) {
            if (m_calls[i].starts_with(prefix)) {
                return i;
            }
        }
        return m_calls.size();
    }

  private:
    std::vector<std::string> m_calls;
};

}  // namespace loopster
