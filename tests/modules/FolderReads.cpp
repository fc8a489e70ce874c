#include "tests/modules/FolderReads.h"

#include <dirent.h>
#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<long> g_reads{0};

}  // namespace

// The program's own opendir comes before the C library's for every caller in the process (the
// program's libraries, the C++ library's directory iterators); it counts and hands on.
extern "C" DIR* opendir(const char* name) {
    using Open = DIR* (*)(const char*);
    static const Open next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "opendir"));
    ++g_reads;
    return next ? next(name) : nullptr;
}

namespace lq::test {

long FolderReads() { return g_reads.load(); }

}  // namespace lq::test
