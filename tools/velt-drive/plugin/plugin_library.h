// The plug-in as a host sees it: a library file with sixteen entry points
// found by their plain names. Only this interface differs between the
// native build (dlopen) and the Windows one (LoadLibrary, stdcall).
#pragma once

#include <cstdint>
#include <string>

#include "host/host_calls.h"

namespace velt::drive {

// The library's entry points, found by their plain names.
using PluginApi = EntryPoints;

// An opened plug-in library. The library stays loaded while the object lives.
class PluginLibrary {
public:
    PluginLibrary() = default;
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Loads the library and finds all sixteen entry points, then asks for the
    // version; false with error() set when any of that fails or the version
    // is not the one a host requires. Calls nothing else.
    bool open(const std::string& path);

    const PluginApi& api() const { return api_; }
    const std::string& path() const { return path_; }
    std::int32_t version() const { return version_; }
    const std::string& error() const { return error_; }

private:
    void close();

    void* handle_ = nullptr;
    PluginApi api_{};
    std::string path_;
    std::int32_t version_ = 0;
    std::string error_;
};

// Where the running executable lives ("" if unknown), for the default plug-in path.
std::string executableDirectory();

// The library file a host stand-in loads by default on this platform.
const char* defaultPluginFileName();

namespace platform {
// Opens a library; nullptr with `error` set on failure.
void* openLibrary(const std::string& path, std::string& error);
// The address of an exported name as a generic function pointer, or nullptr.
using AnyFunction = void (*)();
AnyFunction findSymbol(void* handle, const char* name);
void closeLibrary(void* handle);
// Whether the code at `address` still belongs to a loaded library: after the
// last close, a library that was really unloaded starts afresh when opened again.
bool stillLoaded(AnyFunction address);
}  // namespace platform

}  // namespace velt::drive
