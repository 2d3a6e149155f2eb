// The compact form in which a drive's outcome travels from the process that
// drove it back to the sweep: numbers as their bytes, texts with their
// length. Written and read by the same executable.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "tools/velt-drive/outcome/outcome.h"

namespace velt::drive {

// The compact form itself: numbers as their bytes, texts with their
// length. The audit writes its own results with it too.
class ByteWriter {
public:
    void number(std::uint64_t value) { raw(&value, sizeof(value)); }
    void real(double value) { raw(&value, sizeof(value)); }
    void text(const std::string& value) {
        number(value.size());
        bytes_ += value;
    }
    void point(const FramePoint& p) {
        number(p.frame);
        number(static_cast<std::uint64_t>(p.elapsedMs));
        real(p.positionM);
        real(p.speedKmh);
    }
    void maybe(const std::optional<FramePoint>& p) {
        number(p ? 1 : 0);
        if (p) point(*p);
    }
    std::string take() { return std::move(bytes_); }

private:
    void raw(const void* data, std::size_t size) {
        bytes_.append(static_cast<const char*>(data), size);
    }
    std::string bytes_;
};

class ByteReader {
public:
    explicit ByteReader(const std::string& bytes) : bytes_(bytes) {}
    [[nodiscard]] bool ok() const { return ok_ && at_ == bytes_.size(); }
    // Everything read, or nothing more can be.
    [[nodiscard]] bool done() const { return !ok_ || at_ >= bytes_.size(); }
    // Nothing read so far ran past the end.
    [[nodiscard]] bool intact() const { return ok_; }

    std::uint64_t number() {
        std::uint64_t value = 0;
        raw(&value, sizeof(value));
        return value;
    }
    // A count of things that follow, each at least `least` bytes long.
    std::size_t count(std::size_t least) {
        const std::uint64_t value = number();
        if (value > (bytes_.size() - at_) / least) ok_ = false;
        return ok_ ? static_cast<std::size_t>(value) : 0;
    }
    double real() {
        double value = 0.0;
        raw(&value, sizeof(value));
        return value;
    }
    std::string text() {
        const std::size_t size = count(1);
        std::string value = ok_ ? bytes_.substr(at_, size) : std::string();
        at_ += value.size();
        return value;
    }
    FramePoint point() {
        FramePoint p;
        p.frame = static_cast<std::size_t>(number());
        p.elapsedMs = static_cast<std::int64_t>(number());
        p.positionM = real();
        p.speedKmh = real();
        return p;
    }
    std::optional<FramePoint> maybe() {
        if (number() == 0) return std::nullopt;
        return point();
    }

private:
    void raw(void* data, std::size_t size) {
        if (!ok_ || bytes_.size() - at_ < size) {
            ok_ = false;
            return;
        }
        std::memcpy(data, bytes_.data() + at_, size);
        at_ += size;
    }
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

std::string encodeOutcome(const DriveOutcome& outcome);
bool decodeOutcome(const std::string& bytes, DriveOutcome& outcome);

}  // namespace velt::drive
