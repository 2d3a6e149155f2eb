// 32-bit integer arithmetic as a 32-bit host build performs it: two's
// complement, wrapping on overflow. Host times run up to about 2.07e9 ms and
// route files can carry any int, so sums such as time + delay must wrap
// instead of being undefined.
#pragma once

#include <cstdint>

namespace velt {

constexpr std::int32_t wrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrapSub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

}  // namespace velt
