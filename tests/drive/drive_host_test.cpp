// The host side of velt-drive: which libraries it refuses, and the vehicle
// model the handles drive.
#include <gtest/gtest.h>

#include "tools/velt-drive/library_kind.h"
#include "tools/velt-drive/plugin_library.h"
#include "tools/velt-drive/vehicle_model.h"

namespace velt::drive {
namespace {

TEST(PluginLibrary, LoadsThePluginAndReportsItsVersion) {
    PluginLibrary plugin;
    ASSERT_TRUE(plugin.open(VELT_PLUGIN_PATH)) << plugin.error();
    EXPECT_EQ(plugin.version(), 131072);
    EXPECT_NE(plugin.api().elapse, nullptr);
}

TEST(PluginLibrary, RefusesALibraryWithAnotherVersion) {
    PluginLibrary plugin;
    EXPECT_FALSE(plugin.open(VELT_WRONG_VERSION_PLUGIN_PATH));
    EXPECT_EQ(plugin.error(), std::string(VELT_WRONG_VERSION_PLUGIN_PATH) +
                                  ": GetPluginVersion returned 65536, a host requires 131072");
}

TEST(PluginLibrary, RefusesALibraryWithoutTheEntryPoints) {
    PluginLibrary plugin;
    EXPECT_FALSE(plugin.open(VELT_NOT_A_PLUGIN_PATH));
    EXPECT_EQ(plugin.error(),
              std::string(VELT_NOT_A_PLUGIN_PATH) +
                  ": not a plug-in: missing entry point(s) SetVehicleSpec, Initialize, Elapse, "
                  "SetPower, SetBrake, SetReverser, KeyDown, KeyUp, HornBlow, DoorOpen, DoorClose, "
                  "SetSignal, SetBeaconData");
}

TEST(PluginLibrary, NamesAFileThatCannotBeLoaded) {
    PluginLibrary plugin;
    EXPECT_FALSE(plugin.open("/nonexistent/libvelt.so"));
    EXPECT_EQ(plugin.error().rfind("/nonexistent/libvelt.so: cannot load the library: ", 0), 0u)
        << plugin.error();
}

// The first bytes of a library: ELF class and machine, or a PE header's
// machine and DLL flag where the DOS header points.
std::string elf(char elfClass, unsigned char machine) {
    std::string header(
        "\x7F"
        "ELF",
        4);
    header += elfClass;
    header.resize(64, '\0');
    header[18] = static_cast<char>(machine);
    return header;
}

std::string pe(std::uint16_t machine, bool dll) {
    std::string header(512, '\0');
    header[0] = 'M';
    header[1] = 'Z';
    header[0x3C] = 0x40;
    header.replace(0x40, 4, std::string("PE\0\0", 4));
    header[0x44] = static_cast<char>(machine & 0xFF);
    header[0x45] = static_cast<char>(machine >> 8);
    header[0x56] = dll ? 0x02 : 0x00;
    header[0x57] = dll ? 0x21 : 0x01;
    return header;
}

TEST(LibraryKind, IsToldFromTheHeader) {
    const struct {
        std::string header;
        LibraryKind kind;
    } cases[] = {
        {elf(2, 62), LibraryKind::Linux64},
        {elf(1, 3), LibraryKind::Linux32},
        {elf(2, 183), LibraryKind::LinuxOther},
        {pe(0x14C, true), LibraryKind::Windows32Dll},
        {pe(0x8664, true), LibraryKind::Windows64Dll},
        {pe(0x14C, false), LibraryKind::WindowsProgram},
        {"MZ", LibraryKind::Unknown},
        {"start speed 40 km/h\n", LibraryKind::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(libraryKindOf(c.header), c.kind) << static_cast<int>(c.kind);
}

VehicleParams plainVehicle() {
    VehicleParams v;
    v.powerNotches = 4;
    v.brakeNotches = 8;
    v.accelerationKmhS = 2.0;
    v.serviceBrakeKmhS = 4.0;
    v.emergencyBrakeKmhS = 5.0;
    v.resistanceKmhS = 0.0;
    v.dragPerKmh2 = 0.0;
    v.maxSpeedKmh = 100.0;
    return v;
}

HandleCommand handles(int power, int brake, int reverser) { return {brake, power, reverser, 0}; }

TEST(VehicleModel, PowerNotchesShareTheAccelerationAndTheDistanceFollowsTheMeanSpeed) {
    VehicleModel model(plainVehicle(), 100.0, 0.0, 1);
    model.step(handles(2, 0, 1), 1000);  // half the acceleration for a second
    EXPECT_DOUBLE_EQ(model.speedKmh(), 1.0);
    EXPECT_DOUBLE_EQ(model.positionM(), 100.0 + 0.5 / 3.6);
}

TEST(VehicleModel, BrakesStopTheTrainWithoutTurningIt) {
    VehicleModel model(plainVehicle(), 0.0, 10.0, 1);
    model.step(handles(0, 4, 1), 1000);  // half of full service: 2 km/h/s
    EXPECT_DOUBLE_EQ(model.speedKmh(), 8.0);
    model.step(handles(0, 9, 1), 1000);  // emergency
    EXPECT_DOUBLE_EQ(model.speedKmh(), 3.0);
    model.step(handles(0, 9, 1), 1000);
    EXPECT_EQ(model.speedKmh(), 0.0);
    const double stoppedAt = model.positionM();
    model.step(handles(0, 9, 1), 1000);
    EXPECT_EQ(model.positionM(), stoppedAt);
}

TEST(VehicleModel, TractionNeedsTheReverserAndEndsAtTheMaximumSpeed) {
    VehicleModel neutral(plainVehicle(), 0.0, 0.0, 1);
    neutral.step(handles(4, 0, 0), 1000);
    EXPECT_EQ(neutral.speedKmh(), 0.0);

    VehicleModel backward(plainVehicle(), 0.0, 0.0, -1);
    backward.step(handles(4, 0, -1), 1000);
    EXPECT_DOUBLE_EQ(backward.speedKmh(), -2.0);
    EXPECT_LT(backward.positionM(), 0.0);

    VehicleModel fast(plainVehicle(), 0.0, 99.5, 1);
    fast.step(handles(4, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(fast.speedKmh(), 100.0);
    fast.step(handles(4, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(fast.speedKmh(), 100.0);
}

TEST(VehicleModel, ResistanceGrowsWithTheSquareOfSpeed) {
    VehicleParams v = plainVehicle();
    v.resistanceKmhS = 0.1;
    v.dragPerKmh2 = 0.0001;
    VehicleModel model(v, 0.0, 50.0, 1);
    model.step(handles(0, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(model.speedKmh(), 50.0 - (0.1 + 0.25));
}

}  // namespace
}  // namespace velt::drive
