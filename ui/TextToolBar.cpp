#include "ui/TextToolBar.h"

#include <algorithm>
#include <cstdlib>

namespace qv {

std::string ButtonLabel(std::string_view strResource) {
    const auto nBreak = strResource.rfind('\n');
    return std::string(nBreak == std::string_view::npos ? strResource
                                                        : strResource.substr(nBreak + 1));
}

// A rectangle given right to left or bottom to top still spans its width and height.
BUTTON_SIZE CommonButtonSize(const std::vector<BUTTON_SIZE>& aButtons) {
    BUTTON_SIZE common;
    for (const BUTTON_SIZE& button : aButtons) {
        common.cx = std::max(common.cx, std::abs(button.cx));
        common.cy = std::max(common.cy, std::abs(button.cy));
    }
    return common;
}

} // namespace qv
