#include "tools/velt-drive/explain/check_table.h"

namespace velt::drive {

namespace {

// In the order of EventKind.
constexpr const char* kEventKindWords[] = {
    "brake",    "release",    "power-cut", "warning",  "section",
    "route",    "aspect",     "pattern",   "legacy",   "speed-check",
    "recovery", "kind-blink", "door-link", "reminder", "display",
};
static_assert(std::size(kEventKindWords) == static_cast<std::size_t>(EventKind::Display) + 1,
              "a word for every event kind");

}  // namespace

const char* eventKindWord(EventKind kind) {
    return kEventKindWords[static_cast<std::size_t>(kind)];
}

}  // namespace velt::drive
