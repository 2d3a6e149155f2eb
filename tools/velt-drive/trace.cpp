#include "tools/velt-drive/trace.h"

#include <charconv>
#include <cstring>

#include "tools/velt-drive/number_format.h"

namespace velt::drive {

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;
// More than one line can take: 12 fields and 33 indices of at most 32 characters.
constexpr std::size_t kLineBytes = 46 * (kMaxFixedChars + 1);

char* appendInt(char* out, std::int64_t value) { return std::to_chars(out, out + 24, value).ptr; }

}  // namespace

TraceWriter::TraceWriter(std::FILE* out) : out_(out), buffer_(kBufferBytes) {}

TraceWriter::~TraceWriter() { flush(); }

void TraceWriter::begin(int /*emergencyNotch*/) {
    std::string header =
        "time_ms,elapsed_s,position_m,speed_kmh,driver_power,driver_brake,driver_reverser,doors_"
        "closed,"
        "brake,power,reverser,constant_speed";
    for (int index : kPanelIndices) header += ",panel" + std::to_string(index);
    for (int index : kSoundIndices) header += ",sound" + std::to_string(index);
    header += '\n';
    std::memcpy(buffer_.data() + used_, header.data(), header.size());
    used_ += header.size();
}

void TraceWriter::frame(const FrameRecord& frame) {
    if (buffer_.size() - used_ < kLineBytes) flush();
    char* p = buffer_.data() + used_;
    p = appendInt(p, frame.timeMs);
    *p++ = ',';
    p = appendFixed(p, static_cast<double>(frame.elapsedMs) / 1000.0, 3);
    *p++ = ',';
    p = appendFixed(p, frame.positionM, 3);
    *p++ = ',';
    p = appendFixed(p, frame.speedKmh, 3);
    const std::int64_t fields[] = {frame.driverPower,  frame.driverBrake,      frame.driverReverser,
                                   frame.doorsClosed,  frame.out.brake,        frame.out.power,
                                   frame.out.reverser, frame.out.constantSpeed};
    for (const std::int64_t value : fields) {
        *p++ = ',';
        p = appendInt(p, value);
    }
    for (const std::int32_t value : frame.panel) {
        *p++ = ',';
        p = appendInt(p, value);
    }
    for (const std::int32_t value : frame.sound) {
        *p++ = ',';
        p = appendInt(p, value);
    }
    *p++ = '\n';
    used_ = static_cast<std::size_t>(p - buffer_.data());
}

void TraceWriter::end(const DriveEnd& /*end*/) {
    flush();
    if (std::fflush(out_) != 0) failed_ = true;
}

void TraceWriter::flush() {
    if (used_ == 0) return;
    if (std::fwrite(buffer_.data(), 1, used_, out_) != used_) failed_ = true;
    used_ = 0;
}

}  // namespace velt::drive
