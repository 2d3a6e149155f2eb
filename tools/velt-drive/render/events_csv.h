// The events of an explained drive as CSV (--events): one row per event,
// with its check, its demand, the intervention it belongs to and the
// scenario line behind it, so that an author can sort and filter them.
// Written as the drive runs.
#pragma once

#include <cstdio>

#include "tools/velt-drive/drive/drive.h"

namespace velt::drive {

class EventsWriter : public DriveConsumer {
public:
    // Writes to `out`, which stays the caller's to close.
    explicit EventsWriter(std::FILE* out) : out_(out) {}

    void begin(int emergencyNotch) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // True once a write has failed (a full disk): the file is incomplete.
    bool failed() const { return failed_; }

private:
    void write(const std::string& text);

    std::FILE* out_;
    bool failed_ = false;
};

}  // namespace velt::drive
