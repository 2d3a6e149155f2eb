// What velt-drive calls the cab's panel and sound indices (their numbers are
// velt's own, core/cab.h): one row per index for every output that names
// it, the summary, the time view and the report page.
#pragma once

#include <cstddef>

#include "core/cab.h"

namespace velt::drive {

// The panel indices that are told by name, in index order.
struct CabIndicator {
    int index;
    const char* name;     // in a summary line: "legacy lamp normal"; null: not told there
    const char* lamp;     // a lamp (0 off, 1 on) on its tile and lane: "legacy normal"; null: none
    const char* element;  // a display element: "mode", "limit", "target", "aux"; null: none
};
inline constexpr CabIndicator kCabIndicators[] = {
    {cab::kPanelLegacyNormal, "legacy lamp normal", "legacy normal", nullptr},
    {cab::kPanelLegacyCheck, "legacy lamp check", "legacy check", nullptr},
    {cab::kPanelLegacyAlarm, "legacy lamp alarm", "legacy alarm", nullptr},
    {cab::kPanelCheckOrAlarm, nullptr, "check or alarm", nullptr},
    {cab::kPanelDisplayMode, "display mode", nullptr, "mode"},
    {cab::kPanelDisplayLimit, "display limit", nullptr, "limit"},
    {cab::kPanelDisplayTarget, "display target", nullptr, "target"},
    {cab::kPanelDisplayAux, "display aux", nullptr, "aux"},
    {cab::kPanelSelector, "selector", nullptr, nullptr},
    {cab::kPanelStationStop, "station-stop lamp", "station stop", nullptr},
    {cab::kPanelCabLamp, "cab lamp", "cab lamp", nullptr},
    {cab::kPanelRadioMode, "radio mode", nullptr, nullptr},
    {cab::kPanelMoving, nullptr, "moving", nullptr},
};

// How many of them are lamps.
constexpr std::size_t lampCount() {
    std::size_t count = 0;
    for (const CabIndicator& indicator : kCabIndicators) count += indicator.lamp != nullptr ? 1 : 0;
    return count;
}

// The four display elements are panel 20 to 23: mode, limit, target, aux.
inline constexpr int kFirstDisplayPanel = cab::kPanelDisplayMode;
inline constexpr int kDisplayPanels = 4;

// The indicator of a panel index, or null for one the tool does not name.
const CabIndicator* findIndicator(int index);

// The element a display panel index stands for: "mode", "limit", "target",
// "aux"; empty for any other index.
const char* displayElement(int panel);

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

// The chimes that warn of a brake to come: the pattern and the SPB warning.
constexpr bool isWarningChime(int soundIndex) {
    return soundIndex == cab::kSoundPatternWarning || soundIndex == cab::kSoundSpbWarning;
}

}  // namespace velt::drive
