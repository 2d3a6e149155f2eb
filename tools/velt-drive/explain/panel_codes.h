// Every code the cab's protection display (panel 20 to 23) can show, what
// it stands for and whether it blinks: the tool's one table of display
// meanings. It is built from the plug-in's own display tables and code
// constants, so the summary, the report page and the author's image list
// name the codes exactly as the plug-in shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velt::drive {

inline constexpr int kFirstDisplayPanel = 20;  // mode, limit, target, aux
inline constexpr int kDisplayPanels = 4;

struct PanelCode {
    int panel = 0;  // 20 to 23
    std::int32_t code = 0;
    std::string label;    // short, for a tile: "45 km/h", "stop", "selector 3"
    std::string meaning;  // every case in which the plug-in shows it
    std::string blinks;   // how it blinks, if it can; empty for a steady code
};

// The sound indices the plug-in writes, by what they play; a loop sounds
// while its value is 0 or -1200, a one-shot plays in a frame whose value is 1.
struct CabSound {
    int index;
    const char* name;
    bool loop;
};
inline constexpr CabSound kCabSounds[] = {
    {0, "bell", true},
    {1, "bell release chime", false},
    {2, "station-stop reminder", true},
    {5, "supervision-change chime", false},
    {6, "pattern warning chime", false},
    {7, "SPB warning chime", false},
    {10, "lamp switch sound", false},
    {11, "confirm chime", false},
    {15, "start/stop chime", false},
    {20, "buzzer", true},
    {21, "buzzer-off sound", false},
    {22, "station chime B", false},
    {23, "station chime A", false},
    {25, "door chime A", false},
    {26, "door chime B", false},
    {30, "reverser sound", true},
};

// The panel indices that light a lamp (0 off, 1 on), with the names the
// time view and the report page give them.
struct CabLamp {
    int index;
    const char* name;
};
inline constexpr CabLamp kCabLamps[] = {
    {10, "legacy normal"}, {11, "legacy check"}, {12, "legacy alarm"}, {13, "check or alarm"},
    {40, "station stop"},  {45, "cab lamp"},     {50, "moving"},
};

// The element a display panel index stands for: "mode", "limit", "target",
// "aux"; empty for any other index.
const char* displayElement(int panel);

// All codes of panel 20 to 23, by panel, then by code.
const std::vector<PanelCode>& panelCodes();

// The entry of a code, or null for a code the plug-in never shows there.
const PanelCode* findPanelCode(int panel, std::int32_t code);

}  // namespace velt::drive
