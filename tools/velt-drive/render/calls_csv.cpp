#include "tools/velt-drive/render/calls_csv.h"

#include <charconv>
#include <cmath>

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// Rows are gathered and written in blocks of this size.
constexpr std::size_t kBlockBytes = 1U << 16;

}  // namespace

std::string floatText(float value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0.0F ? "inf" : "-inf";
    char digits[64];
    const auto result =
        std::to_chars(digits, digits + sizeof(digits), value, std::chars_format::fixed);
    return {digits, result.ptr};
}

void CallsWriter::begin(int /*emergencyNotch*/) {
    write("frame,time_ms,position_m,call,a,b,c,d,e\n");
}

void CallsWriter::hostCall(const HostCall& call, std::size_t frame, std::int32_t timeMs,
                           double positionM) {
    std::string row = std::to_string(frame) + "," + std::to_string(timeMs) + "," +
                      formatFixed(positionM, 3) + "," + hostCallInfo(call.id).name + ",";
    const auto n = [](std::int32_t v) { return std::to_string(v); };
    switch (call.id) {
        case HostCallId::SetBeaconData:
            row += n(call.beacon.type) + "," + n(call.beacon.signal) + "," +
                   floatText(call.beacon.distance) + "," + n(call.beacon.optional) + ",";
            break;
        case HostCallId::SetVehicleSpec:
            row += n(call.spec.brakeNotches) + "," + n(call.spec.unread[0]) + "," +
                   n(call.spec.unread[1]) + "," + n(call.spec.unread[2]) + "," +
                   n(call.spec.unread[3]);
            break;
        case HostCallId::SetSignal:
        case HostCallId::Initialize:
        case HostCallId::SetPower:
        case HostCallId::SetBrake:
        case HostCallId::SetReverser:
        case HostCallId::KeyDown:
        case HostCallId::KeyUp:
        case HostCallId::HornBlow: row += n(call.value) + ",,,,"; break;
        default: row += ",,,,"; break;
    }
    row += "\n";
    buffer_ += row;
    if (buffer_.size() >= kBlockBytes) {
        write(buffer_);
        buffer_.clear();
    }
}

void CallsWriter::end(const DriveEnd& /*end*/) {
    write(buffer_);
    buffer_.clear();
    if (std::fflush(out_) != 0) failed_ = true;
}

void CallsWriter::write(const std::string& text) {
    if (std::fwrite(text.data(), 1, text.size(), out_) != text.size()) failed_ = true;
}

}  // namespace velt::drive
