// libvelt.so's load-time wiring: the core is pointed at the vehicle cache
// when the library is loaded, as DllMain does in the Windows build. The
// entry points themselves are entry_points.cpp's, exported by visibility.
#include "host/entry_points.h"

namespace {
__attribute__((constructor)) void wireOnLoad() { velt::host::attach(); }
}  // namespace
