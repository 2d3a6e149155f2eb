#include "tools/velt-drive/util/units.h"

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

std::string metresText(double metres, int decimals) { return formatFixed(metres, decimals) + " m"; }

std::string kmhText(double kmh) { return formatPlain(kmh) + " km/h"; }

std::string kmhText(double kmh, int decimals) { return formatFixed(kmh, decimals) + " km/h"; }

std::string secondsText(double seconds) { return formatPlain(seconds) + " s"; }

std::string secondsText(double seconds, int decimals) {
    return formatFixed(seconds, decimals) + " s";
}

std::string clockText(std::int64_t ms) {
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string text = two(ms / 3600000) + ":" + two(ms / 60000 % 60) + ":" + two(ms / 1000 % 60);
    if (ms % 1000 != 0)
        text += "." + formatFixed(static_cast<double>(ms % 1000) / 1000.0, 3).substr(2);
    return text;
}

}  // namespace velt::drive
