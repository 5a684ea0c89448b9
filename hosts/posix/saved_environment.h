// For tests that change environment variables: the named variables as they were, put back (or
// removed again) when the object goes, so that every test leaves the environment as it found it.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace loopster {

class SavedEnvironment {
  public:
    SavedEnvironment(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            m_saved.emplace_back(
                name, value == nullptr ? std::nullopt : std::optional<std::string>(value));
        }
    }
    ~SavedEnvironment() {
        for (const auto& [name, value] : m_saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }
    SavedEnvironment(const SavedEnvironment&) = delete;
    SavedEnvironment& operator=(const SavedEnvironment&) = delete;

    // Removes every saved variable, for a test that starts from none of them.
    void unsetAll() const {
        for (const auto& saved : m_saved) {
            ::unsetenv(saved.first.c_str());
        }
    }

  private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace loopster
