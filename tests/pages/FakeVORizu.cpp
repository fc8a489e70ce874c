// A fake of the dictionary library for the loading test: it records each call as a line.
#include <cstdint>
#include <cstdio>
#include <string>

namespace {
std::string& Log() {
    static std::string log;
    return log;
}
}  // namespace

extern "C" {

__attribute__((visibility("default"))) void _ShowTransl(uintptr_t owner, int32_t x, int32_t y, const char* word) {
    char head[96];
    std::snprintf(head, sizeof head, "show %lu %d %d ", static_cast<unsigned long>(owner), x, y);
    Log() += head;
    Log() += word ? word : "(null)";
    Log() += "\n";
}

__attribute__((visibility("default"))) void _ExitTransl(void) { Log() += "exit\n"; }

__attribute__((visibility("default"))) const char* FakeVORizuLog(void) { return Log().c_str(); }

__attribute__((visibility("default"))) void FakeVORizuReset(void) { Log().clear(); }
}
