#pragma once
// What a failed output leaves behind.
#include <sys/stat.h>

#include <cstdio>
#include <string>

// Removes path when it is a regular file. A device, a pipe or a folder named as an output
// (for example /dev/null) is left alone.
inline void remove_partial_file(const std::string& path) {
    struct stat status;
    if (lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) std::remove(path.c_str());
}
