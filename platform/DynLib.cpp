#include "platform/DynLib.h"

#include <dlfcn.h>

namespace lq {

bool DynLib::Open(const std::string& absolutePath) {
    // Only a full path: a bare name would make the loader search the system's folders.
    if (absolutePath.empty() || absolutePath.front() != '/') {
        error_ = "not an absolute path: " + absolutePath;
        return false;
    }
    dlerror();
    void* handle = dlopen(absolutePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        error_ = why ? why : ("cannot load " + absolutePath);
        return false;
    }
    // A library opened before stays loaded: its entry points may still be in use.
    handle_ = handle;
    error_.clear();
    return true;
}

void* DynLib::Symbol(const char* name) const {
    if (!handle_ || !name) return nullptr;
    return dlsym(handle_, name);
}

}  // namespace lq
