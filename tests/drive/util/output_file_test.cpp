// Which names Windows reads as devices in every folder: an output named so
// is written into directly and compared by the device, never renamed over.
#include <gtest/gtest.h>

#include <string>

#include "tools/velt-drive/util/output_file.h"

namespace velt::drive {
namespace {

struct DeviceCase {
    const char* path;
    const char* device;  // "" for a file
};

TEST(WindowsDeviceName, IsTheReservedNameInAnyCaseFolderOrExtension) {
    for (const DeviceCase c :
         {DeviceCase{"NUL", "NUL"}, DeviceCase{"nul", "NUL"}, DeviceCase{"Nul.csv", "NUL"},
          DeviceCase{R"(C:\out\nul.txt)", "NUL"}, DeviceCase{"out/NUL", "NUL"},
          DeviceCase{"con ", "CON"}, DeviceCase{"aux.svg", "AUX"}, DeviceCase{"PRN", "PRN"},
          DeviceCase{"COM1", "COM1"}, DeviceCase{"com9.log", "COM9"}, DeviceCase{"LPT3:", "LPT3"},
          DeviceCase{"conout$", "CONOUT$"}, DeviceCase{R"(\\.\pipe\trace)", R"(\\.\PIPE\TRACE)"},
          DeviceCase{"//./nul", "//./NUL"}}) {
        EXPECT_EQ(windowsDeviceName(c.path), c.device) << c.path;
    }
}

TEST(WindowsDeviceName, IsEmptyForFilesThatOnlyLookLikeDevices) {
    for (const char* path : {"", "null", "nul1", "my-nul.csv", "a.nul", "NUL/trace.csv", "COM0",
                             "COM10", "LPT", "console", R"(\\.\)", "./nul.d/x"}) {
        EXPECT_EQ(windowsDeviceName(path), "") << path;
    }
}

}  // namespace
}  // namespace velt::drive
