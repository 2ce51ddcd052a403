#pragma once
// For short programs that fill a few hundred megabytes of fresh memory with a
// large model: on a virtual machine each page fault is dear, and a third of such
// a run went to faulting in 4 KiB pages. glibc's allocator takes transparent huge
// pages only from its tunable, which it reads at start-up, so the program starts
// itself again, once, with it set. Should that fail, it goes on with small pages.
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

inline void UseHugePagesForMalloc(char **argv) {
    constexpr const char *kTunable = "glibc.malloc.hugetlb";
    const char *tunables = std::getenv("GLIBC_TUNABLES");
    if (tunables && std::strstr(tunables, kTunable))
        return; // already set, by the first start or by the user
    std::string value = tunables && *tunables ? std::string(tunables) + ":" : std::string();
    value += std::string(kTunable) + "=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) == 0)
        execv("/proc/self/exe", argv);
}
