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

}  // namespace velt::drive
