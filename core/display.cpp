#include "core/velt.h"
namespace velt {
void CVelt::update() {}
}  // namespace velt
