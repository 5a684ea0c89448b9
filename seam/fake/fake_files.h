// An in-memory file system for tests: paths map to contents, every write is counted, and any
// path can be made to fail with a given reason.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "seam/files.h"

namespace loopster {

class FakeFiles final : public Files {
  public:
    std::string lookup(const std::string& path) override {
        ++m_lookups;
        if (m_contents.count(path) == 0) {
            return {};
        }
        const std::size_t slash = path.find_last_of('/');
        return slash == std::string::npos ? path : path.substr(slash + 1);
    }

    FileRead readPrefix(const std::string& path, std::size_t maxBytes) override {
        ++m_reads;
        m_largestRead = std::max(m_largestRead, maxBytes);
        if (const auto reason = m_unreadable.find(path); reason != m_unreadable.end()) {
            return FileRead{std::nullopt, FileFailure{reason->second}, false};
        }
        const auto found = m_contents.find(path);
        if (found == m_contents.end()) {
            return {};
        }
        return FileRead{found->second.substr(0, maxBytes), std::nullopt,
                        m_readOnly.count(path) != 0};
    }

    std::optional<FileFailure> replaceFile(const std::string& path,
                                           const std::string& content) override {
        ++m_writes[path];
        if (const auto failure = failureFor(path)) {
            return failure;
        }
        m_readOnly.erase(path);
        m_contents[path] = content;
        return std::nullopt;
    }

    std::optional<FileFailure> createFile(const std::string& path,
                                          const std::string& content) override {
        ++m_writes[path];
        if (const auto failure = failureFor(path)) {
            return failure;
        }
        if (m_contents.count(path) != 0) {
            return FileFailure{"File exists"};
        }
        m_contents[path] = content;
        return std::nullopt;
    }

    void put(const std::string& path, const std::string& content) { m_contents[path] = content; }
    void remove(const std::string& path) { m_contents.erase(path); }
    bool exists(const std::string& path) const { return m_contents.count(path) != 0; }
    std::string content(const std::string& path) const {
        const auto found = m_contents.find(path);
        return found == m_contents.end() ? std::string() : found->second;
    }
    // Every later write to the path fails with the reason; the stored content stays as it is.
    void failWrites(const std::string& path, const std::string& reason) {
        m_failures[path] = reason;
    }
    // Something is at the path, but reading it fails for the reason (kFileInUse, kFileIsFolder).
    // Lookup finds an unreadable file, not a folder.
    void makeUnreadable(const std::string& path, const std::string& reason = kFileInUse) {
        m_unreadable[path] = reason;
        if (reason != kFileIsFolder) {
            m_contents.emplace(path, "");
        }
    }
    void makeReadable(const std::string& path) { m_unreadable.erase(path); }
    // The file reads as read-only until it is replaced.
    void makeReadOnly(const std::string& path) { m_readOnly.insert(path); }

    int writes(const std::string& path) const {
        const auto found = m_writes.find(path);
        return found == m_writes.end() ? 0 : found->second;
    }
    int reads() const { return m_reads; }
    int lookups() const { return m_lookups; }
    std::size_t largestRead() const { return m_largestRead; }

  private:
    std::optional<FileFailure> failureFor(const std::string& path) const {
        const auto found = m_failures.find(path);
        if (found == m_failures.end()) {
            return std::nullopt;
        }
        return FileFailure{found->second};
    }

    std::map<std::string, std::string> m_contents;
    std::map<std::string, std::string> m_failures;
    std::map<std::string, std::string> m_unreadable;
    std::set<std::string> m_readOnly;
    std::map<std::string, int> m_writes;
    int m_reads = 0;
    int m_lookups = 0;
    std::size_t m_largestRead = 0;
};

}  // namespace loopster
