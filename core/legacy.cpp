#include "core/velt.h"
namespace velt {
void CVelt::ats1_receive(std::int32_t) {}
void CVelt::ats1_beacon(std::int32_t) {}
void CVelt::ats1_checksps() {}
void CVelt::ats1_confirm() {}
void CVelt::ats1_refresh() {}
}  // namespace velt
