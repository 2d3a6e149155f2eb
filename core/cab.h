// The numbers velt and the host agree on: the panel and sound indices a
// frame writes, the cab keys velt acts on and the beacon types it reads.
// The plug-in writes and dispatches by these names, and a tool that reads
// or drives the cab (velt-drive) reads the same ones. The test host keeps
// numbers of its own on purpose, so that a wrong number here is caught.
#pragma once

#include <array>

namespace velt::cab {

// Panel indices. The lamps are 0 (off) or 1 (on).
inline constexpr int kPanelLegacyNormal = 10;  // legacy ATS lamps
inline constexpr int kPanelLegacyCheck = 11;
inline constexpr int kPanelLegacyAlarm = 12;
inline constexpr int kPanelCheckOrAlarm = 13;
inline constexpr int kPanelDisplayMode = 20;   // the protection display: mode, limit,
inline constexpr int kPanelDisplayLimit = 21;  // target and aux codes
inline constexpr int kPanelDisplayTarget = 22;
inline constexpr int kPanelDisplayAux = 23;
inline constexpr int kPanelNegativeCurrent = 30;
inline constexpr int kPanelHandlesAtRest = 31;
inline constexpr int kPanelDriverEmergency = 32;
inline constexpr int kPanelSelector = 35;
inline constexpr int kPanelStationStop = 40;
inline constexpr int kPanelCabLamp = 45;
inline constexpr int kPanelRadioMode = 46;
inline constexpr int kPanelMoving = 50;
inline constexpr int kPanelAlways255 = 255;

// Sound indices: loops take 0 (full), -1200 (quiet) or -10000 (stopped),
// one-shots play in the frame whose value is 1.
inline constexpr int kSoundBell = 0;
inline constexpr int kSoundReleaseChime = 1;
inline constexpr int kSoundStationStop = 2;  // the station-stop reminder, a loop
inline constexpr int kSoundChangeChime = 5;
inline constexpr int kSoundPatternWarning = 6;
inline constexpr int kSoundSpbWarning = 7;
inline constexpr int kSoundLampSwitch = 10;
inline constexpr int kSoundConfirmChime = 11;
inline constexpr int kSoundStartStopChime = 15;
inline constexpr int kSoundBuzzer = 20;
inline constexpr int kSoundBuzzerOff = 21;
inline constexpr int kSoundStationChimeB = 22;
inline constexpr int kSoundStationChimeA = 23;
inline constexpr int kSoundDoorChimeA = 25;
inline constexpr int kSoundDoorChimeB = 26;
inline constexpr int kSoundReverser = 30;

// Every index a frame writes, in ascending order.
inline constexpr std::array<int, 17> kPanelWritten = {
    kPanelLegacyNormal,    kPanelLegacyCheck,   kPanelLegacyAlarm,     kPanelCheckOrAlarm,
    kPanelDisplayMode,     kPanelDisplayLimit,  kPanelDisplayTarget,   kPanelDisplayAux,
    kPanelNegativeCurrent, kPanelHandlesAtRest, kPanelDriverEmergency, kPanelSelector,
    kPanelStationStop,     kPanelCabLamp,       kPanelRadioMode,       kPanelMoving,
    kPanelAlways255};
inline constexpr std::array<int, 16> kSoundWritten = {
    kSoundBell,           kSoundReleaseChime, kSoundStationStop, kSoundChangeChime,
    kSoundPatternWarning, kSoundSpbWarning,   kSoundLampSwitch,  kSoundConfirmChime,
    kSoundStartStopChime, kSoundBuzzer,       kSoundBuzzerOff,   kSoundStationChimeB,
    kSoundStationChimeA,  kSoundDoorChimeA,   kSoundDoorChimeB,  kSoundReverser};

// Cab keys velt acts on; every other number is ignored.
inline constexpr int kKeyConfirm = 0;
inline constexpr int kKeyRecovery = 3;
inline constexpr int kKeyBuzzer = 4;
inline constexpr int kKeySelectorUp = 5;
inline constexpr int kKeySelectorDown = 6;
inline constexpr int kKeyRadioMode0 = 11;
inline constexpr int kKeyRadioMode1 = 12;
inline constexpr int kKeyRadioMode2 = 13;
inline constexpr int kKeyLamp = 15;

// Beacon types velt reads; every other type is ignored.
inline constexpr int kBeaconSpp = 1;
inline constexpr int kBeaconCpp = 10;
inline constexpr int kBeaconSpeedCheck = 11;
inline constexpr int kBeaconCcp = 12;
inline constexpr int kBeaconClf = 13;
inline constexpr int kBeaconSpb = 15;
inline constexpr int kBeaconSection = 20;
inline constexpr int kBeaconRoute = 21;
inline constexpr int kBeaconDoorLink = 22;
inline constexpr int kBeaconKindBlink = 24;

}  // namespace velt::cab
