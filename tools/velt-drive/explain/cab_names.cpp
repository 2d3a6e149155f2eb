#include "tools/velt-drive/explain/cab_names.h"

namespace velt::drive {

const CabIndicator* findIndicator(int index) {
    for (const CabIndicator& indicator : kCabIndicators)
        if (indicator.index == index) return &indicator;
    return nullptr;
}

const char* displayElement(int panel) {
    const CabIndicator* indicator = findIndicator(panel);
    return indicator != nullptr && indicator->element != nullptr ? indicator->element : "";
}

}  // namespace velt::drive
