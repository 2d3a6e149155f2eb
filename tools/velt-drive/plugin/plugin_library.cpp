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
    bind(handle_, "Load", api_.load, missing);
    bind(handle_, "Dispose", api_.dispose, missing);
    bind(handle_, "GetPluginVersion", api_.getPluginVersion, missing);
    bind(handle_, "SetVehicleSpec", api_.setVehicleSpec, missing);
    bind(handle_, "Initialize", api_.initialize, missing);
    bind(handle_, "Elapse", api_.elapse, missing);
    bind(handle_, "SetPower", api_.setPower, missing);
    bind(handle_, "SetBrake", api_.setBrake, missing);
    bind(handle_, "SetReverser", api_.setReverser, missing);
    bind(handle_, "KeyDown", api_.keyDown, missing);
    bind(handle_, "KeyUp", api_.keyUp, missing);
    bind(handle_, "HornBlow", api_.hornBlow, missing);
    bind(handle_, "DoorOpen", api_.doorOpen, missing);
    bind(handle_, "DoorClose", api_.doorClose, missing);
    bind(handle_, "SetSignal", api_.setSignal, missing);
    bind(handle_, "SetBeaconData", api_.setBeaconData, missing);
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
