#include <cstdio>
#include <filesystem>
#include <fstream>

#include "tools/velt-drive/number_format.h"
#include "tools/velt-drive/outputs.h"

namespace velt::drive {

std::string formatTrace(const DriveResult& drive) {
    std::string out =
        "time_ms,elapsed_s,position_m,speed_kmh,driver_power,driver_brake,driver_reverser,doors_closed,"
        "brake,power,reverser,constant_speed";
    for (int index : kPanelIndices) out += ",panel" + std::to_string(index);
    for (int index : kSoundIndices) out += ",sound" + std::to_string(index);
    out += '\n';
    for (const FrameRecord& frame : drive.frames) {
        out += std::to_string(frame.timeMs);
        out += ',' + formatFixed(static_cast<double>(frame.elapsedMs) / 1000.0, 3);
        out += ',' + formatFixed(frame.positionM, 3);
        out += ',' + formatFixed(frame.speedKmh, 3);
        out += ',' + std::to_string(frame.driverPower);
        out += ',' + std::to_string(frame.driverBrake);
        out += ',' + std::to_string(frame.driverReverser);
        out += frame.doorsClosed ? ",1" : ",0";
        out += ',' + std::to_string(frame.out.brake);
        out += ',' + std::to_string(frame.out.power);
        out += ',' + std::to_string(frame.out.reverser);
        out += ',' + std::to_string(frame.out.constantSpeed);
        for (std::int32_t value : frame.panel) out += ',' + std::to_string(value);
        for (std::int32_t value : frame.sound) out += ',' + std::to_string(value);
        out += '\n';
    }
    return out;
}

bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code code;
    const fs::path target(path);
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), code);
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out) {
            error = path + ": cannot create the file";
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            error = path + ": cannot write the file";
            std::remove(temporary.c_str());
            return false;
        }
    }
    fs::rename(temporary, target, code);
    if (code) {
        // Some runtimes will not rename over an existing file.
        std::error_code ignored;
        fs::remove(target, ignored);
        code.clear();
        fs::rename(temporary, target, code);
    }
    if (code) {
        error = path + ": cannot move the finished file into place: " + code.message();
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace velt::drive
