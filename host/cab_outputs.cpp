// What goes back to the host after the core's frame: the handles the train
// must obey, the cab indicators on panel and the sound commands on sound.
#include "host/entry_points.h"

namespace velt::host {

namespace {

void fillPanel(const CVelt& v, const VehicleCache& c, const VehicleState& state,
               std::int32_t* panel) {
    panel[cab::kPanelLegacyNormal] = v.ats1LampNormal;
    panel[cab::kPanelLegacyCheck] = v.ats1LampCheck;
    panel[cab::kPanelLegacyAlarm] = v.ats1LampAlarm;
    panel[cab::kPanelCheckOrAlarm] = (v.ats1LampCheck != 0 || v.ats1LampAlarm != 0) ? 1 : 0;
    panel[cab::kPanelDisplayMode] = v.dispMode;
    panel[cab::kPanelDisplayLimit] = v.dispLimit;
    panel[cab::kPanelDisplayTarget] = v.dispTarget;
    panel[cab::kPanelDisplayAux] = v.dispAux;
    panel[cab::kPanelNegativeCurrent] = state.current < 0.0F ? 1 : 0;
    panel[cab::kPanelHandlesAtRest] = (c.brakeNotch == 0 && c.powerNotch == 0) ? 1 : 0;
    panel[cab::kPanelDriverEmergency] = c.brakeNotch == c.emergencyNotch ? 1 : 0;
    panel[cab::kPanelSelector] = v.routeSelect;
    panel[cab::kPanelStationStop] = v.sppBlink;
    panel[cab::kPanelCabLamp] = v.lampOn;
    panel[cab::kPanelRadioMode] = v.radioMode;
    panel[cab::kPanelMoving] = v.moving;
    panel[cab::kPanelAlways255] = 255;
}

void fillSound(const CVelt& v, const VehicleCache& c, std::int32_t* sound) {
    sound[cab::kSoundBell] = v.bellVolume;
    // The station-stop reminder is a loop with an output slot of its own: it
    // is handed over every frame but keeps its value.
    sound[cab::kSoundStationStop] = v.sppVolumeOut;
    // Unrolled like the hand-over: twelve stores at fixed indices, not a
    // loop that reads the table every frame.
#pragma GCC unroll 16
    for (const OneShotTrigger& t : kOneShotTriggers) {
        sound[t.soundIndex] = v.*t.out;
    }
    sound[cab::kSoundBuzzer] = v.buzzerVolume;
    // The reverser sound follows the driver's handle, doors or not.
    sound[cab::kSoundReverser] = c.reverser == -1 ? snd::kLoopFull : snd::kStop;
}

}  // namespace

HandleCommand composeCabOutputs(const VehicleState& state, std::int32_t* panel,
                                std::int32_t* sound) {
    VehicleCache& c = vehicleCache;
    const CVelt& v = protection;
    HandleCommand& h = c.handles;

    // A protection demand always replaces the driver's notch, and the power
    // notch stays 0 until the driver moves the power handle again.
    if (v.brakeDemand == Demand::kEmergency) {
        h.brake = c.emergencyNotch;
        c.powerNotch = 0;
    } else if (v.brakeDemand == Demand::kService) {
        h.brake = c.maxServiceNotch;
        c.powerNotch = 0;
    } else {
        h.brake = c.brakeNotch;
    }
    h.reverser = c.doorsClosed ? c.reverser : 0;
    h.power = v.overspeedCut != 0 ? 0 : c.powerNotch;
    h.constantSpeed = h.brake > 0 ? 2 : 0;

    if (panel != nullptr) {
        fillPanel(v, c, state, panel);
    }
    if (sound != nullptr) {
        fillSound(v, c, sound);
    }
    return h;
}

}  // namespace velt::host
