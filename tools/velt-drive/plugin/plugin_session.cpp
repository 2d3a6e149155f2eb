#include "tools/velt-drive/plugin/plugin_session.h"

#include "tools/velt-drive/explain/core_twin.h"

namespace velt::drive {

// The plug-in first, then the twin: the twin's state then always follows
// the call the plug-in has just taken.

void PluginSession::load() {
    api_.load();
    if (twin_ != nullptr) twin_->load();
}

void PluginSession::dispose() {
    api_.dispose();
    if (twin_ != nullptr) twin_->dispose();
}

void PluginSession::setVehicleSpec(const VehicleSpec& spec) {
    api_.setVehicleSpec(spec);
    if (twin_ != nullptr) twin_->setVehicleSpec(spec);
}

void PluginSession::initialize(std::int32_t brake) {
    api_.initialize(brake);
    if (twin_ != nullptr) twin_->initialize(brake);
}

HandleCommand PluginSession::elapse(const VehicleState& state, std::int32_t* panel,
                                    std::int32_t* sound) {
    const HandleCommand out = api_.elapse(state, panel, sound);
    if (twin_ != nullptr) twin_->elapse(state, out, panel, sound);
    return out;
}

void PluginSession::setPower(std::int32_t notch) {
    api_.setPower(notch);
    if (twin_ != nullptr) twin_->setPower(notch);
}

void PluginSession::setBrake(std::int32_t notch) {
    api_.setBrake(notch);
    if (twin_ != nullptr) twin_->setBrake(notch);
}

void PluginSession::setReverser(std::int32_t position) {
    api_.setReverser(position);
    if (twin_ != nullptr) twin_->setReverser(position);
}

void PluginSession::keyDown(std::int32_t key) {
    api_.keyDown(key);
    if (twin_ != nullptr) twin_->keyDown(key);
}

void PluginSession::keyUp(std::int32_t key) {
    api_.keyUp(key);
    if (twin_ != nullptr) twin_->keyUp(key);
}

void PluginSession::hornBlow(std::int32_t horn) {
    api_.hornBlow(horn);
    if (twin_ != nullptr) twin_->hornBlow(horn);
}

void PluginSession::doorOpen() {
    api_.doorOpen();
    if (twin_ != nullptr) twin_->doorOpen();
}

void PluginSession::doorClose() {
    api_.doorClose();
    if (twin_ != nullptr) twin_->doorClose();
}

void PluginSession::setSignal(std::int32_t aspect) {
    api_.setSignal(aspect);
    if (twin_ != nullptr) twin_->setSignal(aspect);
}

void PluginSession::setBeaconData(const BeaconData& beacon) {
    api_.setBeaconData(beacon);
    if (twin_ != nullptr) twin_->setBeaconData(beacon);
}

}  // namespace velt::drive
