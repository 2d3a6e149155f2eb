#include "core/velt.h"
namespace velt {
void CVelt::recovery() {}
void CVelt::buzzer(std::int32_t) {}
void CVelt::pushUp() {}
void CVelt::pushDw() {}
void CVelt::radioSwitch(std::int32_t) {}
void CVelt::lampSwitch() {}
void CVelt::setBrake(std::int32_t) {}
void CVelt::setPower(std::int32_t) {}
void CVelt::setReverser(std::int32_t) {}
void CVelt::doorOpen() {}
void CVelt::doorClose() {}
}  // namespace velt
