// Every code the cab's protection display (panel 20 to 23) can show, what
// it stands for and whether it blinks: the tool's one table of display
// meanings. It is built from the plug-in's own display tables and code
// constants, so the summary, the report page and the author's image list
// name the codes exactly as the plug-in shows them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/cab.h"

namespace velt::drive {

inline constexpr int kFirstDisplayPanel = cab::kPanelDisplayMode;  // mode, limit, target, aux
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
    {cab::kSoundBell, "bell", true},
    {cab::kSoundReleaseChime, "bell release chime", false},
    {cab::kSoundStationStop, "station-stop reminder", true},
    {cab::kSoundChangeChime, "supervision-change chime", false},
    {cab::kSoundPatternWarning, "pattern warning chime", false},
    {cab::kSoundSpbWarning, "SPB warning chime", false},
    {cab::kSoundLampSwitch, "lamp switch sound", false},
    {cab::kSoundConfirmChime, "confirm chime", false},
    {cab::kSoundStartStopChime, "start/stop chime", false},
    {cab::kSoundBuzzer, "buzzer", true},
    {cab::kSoundBuzzerOff, "buzzer-off sound", false},
    {cab::kSoundStationChimeB, "station chime B", false},
    {cab::kSoundStationChimeA, "station chime A", false},
    {cab::kSoundDoorChimeA, "door chime A", false},
    {cab::kSoundDoorChimeB, "door chime B", false},
    {cab::kSoundReverser, "reverser sound", true},
};

// The panel indices that light a lamp (0 off, 1 on), with the names the
// time view and the report page give them.
struct CabLamp {
    int index;
    const char* name;
};
inline constexpr CabLamp kCabLamps[] = {
    {cab::kPanelLegacyNormal, "legacy normal"},
    {cab::kPanelLegacyCheck, "legacy check"},
    {cab::kPanelLegacyAlarm, "legacy alarm"},
    {cab::kPanelCheckOrAlarm, "check or alarm"},
    {cab::kPanelStationStop, "station stop"},
    {cab::kPanelCabLamp, "cab lamp"},
    {cab::kPanelMoving, "moving"},
};

// The element a display panel index stands for: "mode", "limit", "target",
// "aux"; empty for any other index.
const char* displayElement(int panel);

// All codes of panel 20 to 23, by panel, then by code.
const std::vector<PanelCode>& panelCodes();

// The entry of a code, or null for a code the plug-in never shows there.
const PanelCode* findPanelCode(int panel, std::int32_t code);

}  // namespace velt::drive
