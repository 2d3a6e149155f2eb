// Every code the cab's protection display (panel 20 to 23) can show, what
// it stands for and whether it blinks: the tool's one home of display
// meanings. The table of every code is built from the plug-in's own display
// tables and code constants, so the summary, the report page and the
// author's image list name the codes exactly as the plug-in shows them; the
// explanation reads, from the state that shows a code, which of its cases
// holds (describeLook).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/velt.h"
#include "tools/velt-drive/explain/cab_names.h"

namespace velt::drive {

struct PanelCode {
    int panel = 0;  // 20 to 23
    std::int32_t code = 0;
    std::string label;    // short, for a tile: "45 km/h", "stop", "selector 3"
    std::string meaning;  // every case in which the plug-in shows it
    std::string blinks;   // how it blinks, if it can; empty for a steady code
};

// All codes of panel 20 to 23, by panel, then by code.
const std::vector<PanelCode>& panelCodes();

// The entry of a code, or null for a code the plug-in never shows there.
const PanelCode* findPanelCode(int panel, std::int32_t code);

// The codes each display element (mode, limit, target, aux) shows in a
// state around a time, over every phase of the blinking clocks: one code for
// a steady element, two or more, in ascending order, for one that blinks or
// alternates.
using DisplayLook = std::array<std::vector<std::int32_t>, kDisplayPanels>;
DisplayLook displayLook(const CVelt& state, std::int32_t timeMs);

// One element's codes in words, each with what it means in `state`:
// "display limit 9 (aspect 2)", "display aux 8 blinking (pattern warning)".
std::string describeLook(int panel, const std::vector<std::int32_t>& codes, const CVelt& state);

}  // namespace velt::drive
