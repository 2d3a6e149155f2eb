// CSV as velt-drive writes it, one way for every table.
#pragma once

#include <string>

namespace velt::drive {

// A text as one CSV field: quoted when it holds a comma, a quote or a line
// break, with quotes doubled.
std::string csvField(const std::string& text);

}  // namespace velt::drive
