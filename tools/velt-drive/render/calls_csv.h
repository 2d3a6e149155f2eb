// Every call the host stand-in made to the plug-in between frames (--calls):
// one CSV row each, Elapse left out, in the order made. What an author reads
// when velt surprises them, and what a test compares.
#pragma once

#include <cstdio>
#include <string>

#include "tools/velt-drive/drive/drive.h"

namespace velt::drive {

class CallsWriter : public DriveConsumer {
public:
    // Writes to `out`, which stays the caller's to close.
    explicit CallsWriter(std::FILE* out) : out_(out) {}

    void begin(int emergencyNotch) override;
    void hostCall(const HostCall& call, std::size_t frame, std::int32_t timeMs,
                  double positionM) override;
    void end(const DriveEnd& end) override;
    [[nodiscard]] bool wantsCalls() const override { return true; }

    // True once a write has failed (a full disk): the file is incomplete.
    bool failed() const { return failed_; }

private:
    void write(const std::string& text);

    std::FILE* out_;
    std::string buffer_;
    bool failed_ = false;
};

// A float as the plug-in got it: the shortest digits that read back as the
// same float, "inf" for +infinity.
std::string floatText(float value);

}  // namespace velt::drive
