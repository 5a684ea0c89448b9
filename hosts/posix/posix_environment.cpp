// The environment on Linux.
#include "hosts/posix/posix_environment.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace loopster {

bool environmentFlag(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

std::string absolutePathFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string userHomeFolder() {
    if (std::string home = absolutePathFromEnvironment("HOME"); !home.empty()) {
        return home;
    }
    if (const passwd* entry = ::getpwuid(::getuid());
        entry != nullptr && entry->pw_dir != nullptr && entry->pw_dir[0] == '/') {
        return entry->pw_dir;
    }
    return {};
}

std::string homeFolder() {
    std::string home = userHomeFolder();
    return home.empty() ? std::string("/tmp") : home;
}

}  // namespace loopster
