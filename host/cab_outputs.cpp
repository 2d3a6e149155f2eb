// What goes back to the host after the core's frame: the handles the train
// must obey, the cab indicators on panel and the sound commands on sound.
#include "host/entry_points.h"

namespace velt::host {

namespace {

void fillPanel(const CVelt& v, const VehicleCache& c, const VehicleState& state,
               std::int32_t* panel) {
    panel[10] = v.ats1LampNormal;
    panel[11] = v.ats1LampCheck;
    panel[12] = v.ats1LampAlarm;
    panel[13] = (v.ats1LampCheck != 0 || v.ats1LampAlarm != 0) ? 1 : 0;
    panel[20] = v.dispMode;
    panel[21] = v.dispLimit;
    panel[22] = v.dispTarget;
    panel[23] = v.dispAux;
    panel[30] = state.current < 0.0F ? 1 : 0;
    panel[31] = (c.brakeNotch == 0 && c.powerNotch == 0) ? 1 : 0;
    panel[32] = c.brakeNotch == c.emergencyNotch ? 1 : 0;
    panel[35] = v.routeSelect;
    panel[40] = v.sppBlink;
    panel[45] = v.lampOn;
    panel[46] = v.radioMode;
    panel[50] = v.moving;
    panel[255] = 255;
}

void fillSound(const CVelt& v, const VehicleCache& c, std::int32_t* sound) {
    sound[0] = v.bellVolume;
    sound[kStationStopSoundIndex] = v.sppVolumeOut;
    // Unrolled like the hand-over: twelve stores at fixed indices, not a
    // loop that reads the table every frame.
#pragma GCC unroll 16
    for (const OneShotTrigger& t : kOneShotTriggers) {
        sound[t.soundIndex] = v.*t.out;
    }
    sound[20] = v.buzzerVolume;
    // The reverser sound follows the driver's handle, doors or not.
    sound[30] = c.reverser == -1 ? snd::kLoopFull : snd::kStop;
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
