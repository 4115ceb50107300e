// Counts of what this process holds, for tests that prove nothing leaks.
#pragma once

#include <dirent.h>

namespace korda {

// Entries of a /proc directory of this process.
inline int countEntries(const char* path) {
    DIR* dir = opendir(path);
    if (dir == nullptr) return -1;
    int n = 0;
    while (const dirent* e = readdir(dir))
        if (e->d_name[0] != '.') ++n;
    closedir(dir);
    return n;
}

// Under Wine /proc/self/fd lists the emulator's own descriptors, which come
// and go with its internal work: descriptors are counted on native builds.
inline int openDescriptors() {
#ifdef _WIN32
    return 0;
#else
    return countEntries("/proc/self/fd");
#endif
}

inline int threadCount() {
    return countEntries("/proc/self/task");
}

} // namespace korda
