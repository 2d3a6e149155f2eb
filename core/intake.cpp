#include "core/velt.h"
namespace velt {
void CVelt::velt_define(std::int32_t) {}
void CVelt::velt_receive(std::int32_t) {}
void CVelt::PassedCPP(std::int32_t, std::int32_t) {}
void CVelt::PassedCCP(std::int32_t) {}
void CVelt::PassedCLF(std::int32_t) {}
void CVelt::PassedSPB(std::int32_t) {}
void CVelt::SPP(std::int32_t) {}
void CVelt::setRoute(std::int32_t) {}
void CVelt::setLinkFormdoor(std::int32_t) {}
void CVelt::SetKindBlinkTimer(std::int32_t) {}
}  // namespace velt
