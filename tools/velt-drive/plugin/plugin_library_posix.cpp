// Loading on POSIX systems: dlopen and dlsym.
#include <dlfcn.h>
#include <unistd.h>

#include <cstring>

#include "tools/velt-drive/plugin/plugin_library.h"

namespace velt::drive {

namespace platform {

void* openLibrary(const std::string& path, std::string& error) {
    // A name without a slash would make dlopen search the system's paths.
    const std::string local = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "unknown error";
    }
    return handle;
}

AnyFunction findSymbol(void* handle, const char* name) {
    void* address = dlsym(handle, name);
    AnyFunction function = nullptr;
    static_assert(sizeof(function) == sizeof(address));
    std::memcpy(&function, &address, sizeof(function));
    return function;
}

void closeLibrary(void* handle) { dlclose(handle); }

bool stillLoaded(AnyFunction address) {
    void* code = nullptr;
    std::memcpy(&code, &address, sizeof(code));
    Dl_info info{};
    return dladdr(code, &info) != 0;
}

}  // namespace platform

std::string executableDirectory() {
    char buffer[4096];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) return "";
    std::string path(buffer, static_cast<std::size_t>(length));
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

const char* defaultPluginFileName() { return "libvelt.so"; }

}  // namespace velt::drive
