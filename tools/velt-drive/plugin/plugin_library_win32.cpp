// Loading on Windows, as the host does: LoadLibrary and GetProcAddress by
// plain name; the entry points use the stdcall convention (VELT_CALL).
#include <windows.h>

#include "tools/velt-drive/plugin/plugin_library.h"

namespace velt::drive {

namespace {

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char* message = nullptr;
    FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&message), 0, nullptr);
    std::string text = message != nullptr ? message : "";
    if (message != nullptr) LocalFree(message);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return "error " + std::to_string(code) + (text.empty() ? "" : " (" + text + ")");
}

}  // namespace

namespace platform {

void* openLibrary(const std::string& path, std::string& error) {
    std::string native = path;
    for (char& c : native)
        if (c == '/') c = '\\';
    // A name without a directory must not be looked for along the PATH.
    if (native.find('\\') == std::string::npos) native = ".\\" + native;
    HMODULE module = LoadLibraryA(native.c_str());
    if (module == nullptr) error = lastErrorText();
    return reinterpret_cast<void*>(module);
}

AnyFunction findSymbol(void* handle, const char* name) {
    return reinterpret_cast<AnyFunction>(GetProcAddress(reinterpret_cast<HMODULE>(handle), name));
}

void closeLibrary(void* handle) { FreeLibrary(reinterpret_cast<HMODULE>(handle)); }

bool stillLoaded(AnyFunction address) {
    HMODULE module = nullptr;
    return GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                  GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCSTR>(address), &module) != 0;
}

}  // namespace platform

std::string executableDirectory() {
    char buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return "";
    std::string path(buffer, length);
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? "" : path.substr(0, slash);
}

// A process loads only a DLL of its own width: velt-drive64.exe takes velt64.dll.
const char* defaultPluginFileName() { return sizeof(void*) == 8 ? "velt64.dll" : "velt.dll"; }

}  // namespace velt::drive
