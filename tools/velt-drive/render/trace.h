// The frame trace (CSV): one header line, then one line per frame: time,
// position, speed, the driver's handles, the handles Elapse returned, and
// every panel and sound index the plug-in writes; explained by velt's own
// core, also each check's demand, the distances left to the armed patterns,
// the legacy state and request, and what happened in the frame. Numbers
// have fixed decimals, lines end in "\n". Written as the drive runs.
#pragma once

#include <cstdio>
#include <vector>

#include "tools/velt-drive/drive/drive.h"

namespace velt::drive {

class TraceWriter : public DriveConsumer {
public:
    // Writes to `out`, which stays the caller's to close; `explained`: the
    // frames carry velt's own core's state.
    TraceWriter(std::FILE* out, bool explained);
    ~TraceWriter() override;

    void begin(int emergencyNotch) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // True once a write has failed (a full disk): the trace is incomplete.
    bool failed() const { return failed_; }

private:
    void flush();

    std::FILE* out_;
    bool explained_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    bool failed_ = false;
};

}  // namespace velt::drive
