#include "tools/velt-drive/plugin/plugin_library.h"

#include "tools/velt-drive/plugin/library_kind.h"

namespace velt::drive {

namespace {

template <typename Function>
bool bind(void* handle, const char* name, Function& slot, std::string& missing) {
    const platform::AnyFunction found = platform::findSymbol(handle, name);
    if (found == nullptr) {
        if (!missing.empty()) missing += ", ";
        missing += name;
        return false;
    }
    slot = reinterpret_cast<Function>(found);
    return true;
}

}  // namespace

PluginLibrary::~PluginLibrary() { close(); }

void PluginLibrary::close() {
    if (handle_ != nullptr) platform::closeLibrary(handle_);
    handle_ = nullptr;
    api_ = PluginApi{};
}

bool PluginLibrary::open(const std::string& path) {
    close();
    path_ = path;
    error_.clear();
    // A library for another platform would fail to load with a message
    // about headers; say instead which tool loads it.
    error_ = libraryKindProblem(path);
    if (!error_.empty()) return false;
    std::string reason;
    handle_ = platform::openLibrary(path, reason);
    if (handle_ == nullptr) {
        error_ = path + ": cannot load the library: " + reason;
        return false;
    }
    std::string missing;
#define VELT_HOST_CALL_BIND(Name, member, Signature, Argument) \
    bind(handle_, #Name, api_.member, missing);
    VELT_HOST_CALLS(VELT_HOST_CALL_BIND)
#undef VELT_HOST_CALL_BIND
    if (!missing.empty()) {
        error_ = path + ": not a plug-in: missing entry point(s) " + missing;
        close();
        return false;
    }
    version_ = api_.getPluginVersion();
    if (version_ != kPluginVersion) {
        error_ = path + ": GetPluginVersion returned " + std::to_string(version_) +
                 ", a host requires " + std::to_string(kPluginVersion);
        close();
        return false;
    }
    return true;
}

}  // namespace velt::drive
