// The host side of velt-drive: which libraries it loads and which it refuses.
#include <gtest/gtest.h>

#include "tools/velt-drive/plugin/library_kind.h"
#include "tools/velt-drive/plugin/plugin_library.h"

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

}  // namespace
}  // namespace velt::drive
