#include "tools/velt-drive/render/trace.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "tools/velt-drive/util/csv.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

constexpr std::size_t kBufferBytes = 1 << 16;
// More than the numbers of one line can take: 12 fields, 33 indices and 10
// fields of the core, of at most 32 characters each.
constexpr std::size_t kLineBytes = 56 * (kMaxFixedChars + 1);

char* appendInt(char* out, std::int64_t value) { return std::to_chars(out, out + 24, value).ptr; }

// What happened in a frame, as one CSV field: the statements joined by "; ".
std::string eventsField(const std::vector<ExplainedEvent>& events) {
    std::string joined;
    for (const ExplainedEvent& event : events) joined += (joined.empty() ? "" : "; ") + event.text;
    return csvField(joined);
}

}  // namespace

TraceWriter::TraceWriter(std::FILE* out, bool explained)
    : out_(out), explained_(explained), buffer_(kBufferBytes) {}

TraceWriter::~TraceWriter() { flush(); }

void TraceWriter::begin(int /*emergencyNotch*/) {
    std::string header =
        "time_ms,elapsed_s,position_m,speed_kmh,driver_power,driver_brake,driver_reverser,doors_"
        "closed,"
        "brake,power,reverser,constant_speed";
    for (int index : kPanelIndices) header += ",panel" + std::to_string(index);
    for (int index : kSoundIndices) header += ",sound" + std::to_string(index);
    if (explained_)
        header +=
            ",signal_demand,cpp_demand,ccp_demand,clf_demand,spb_demand,cpp_distance_m,ccp_"
            "distance_"
            "m,spb_distance_m,legacy_state,legacy_request,events";
    header += '\n';
    std::memcpy(buffer_.data() + used_, header.data(), header.size());
    used_ += header.size();
}

void TraceWriter::frame(const FrameRecord& frame) {
    const std::string events =
        explained_ && frame.core != nullptr ? eventsField(frame.core->events) : std::string();
    if (buffer_.size() - used_ < kLineBytes + events.size()) flush();
    if (buffer_.size() < kLineBytes + events.size()) buffer_.resize(kLineBytes + events.size());
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
    if (explained_ && frame.core != nullptr) {
        const CoreFrame& core = *frame.core;
        for (const int demand : core.demands) {
            *p++ = ',';
            p = appendInt(p, demand);
        }
        // A distance only while its pattern is armed.
        const std::pair<bool, float> distances[] = {{core.cppArmed, core.cppDistanceM},
                                                    {core.ccpArmed, core.ccpDistanceM},
                                                    {core.spbArmed, core.spbDistanceM}};
        for (const auto& [armed, metres] : distances) {
            *p++ = ',';
            if (armed) p = appendFixed(p, static_cast<double>(metres), 3);
        }
        *p++ = ',';
        p = appendInt(p, core.legacyState);
        *p++ = ',';
        p = appendInt(p, core.legacyRequest);
        *p++ = ',';
        p = std::copy(events.begin(), events.end(), p);
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
