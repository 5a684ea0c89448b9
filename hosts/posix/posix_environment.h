// What loopster reads from the environment on Linux: the switches for measuring and comparing
// (LOOPSTER_TIMING_LOG, LOOPSTER_QT_PAINT, ...), the XDG folders, and the user's home folder.
#pragma once

#include <string>

namespace loopster {

// True when the variable is set to a non-empty value other than "0": "1", "yes" and "on" turn a
// switch on, "" and "0" leave it off.
bool environmentFlag(const char* name);

// The variable's value when it is an absolute path, else empty. The XDG rules ignore a relative
// path, which would depend on the folder the program happens to start in.
std::string absolutePathFromEnvironment(const char* name);

// The user's own home folder: $HOME when it is an absolute path, else the user's entry in the
// password database; empty when there is neither. For what must never be shared between users.
std::string userHomeFolder();

// The user's home folder: $HOME when it is an absolute path, else the user's entry in the password
// database (which is what $HOME is set from at login), else "/tmp", the one folder every account
// can write, so that a process with no home at all (an account without an entry) still runs.
std::string homeFolder();

}  // namespace loopster
