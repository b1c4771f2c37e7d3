// The labelled toolbar's rules: each button's text from its string resource, and one size for
// all buttons, that of the largest.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The text after the last "\n" of a label string, or all of it.
std::string ButtonLabel(std::string_view strResource);

struct BUTTON_SIZE {
    int cx = 0;
    int cy = 0;
    bool operator==(const BUTTON_SIZE&) const = default;
};

// The largest width and the largest height over the buttons' rectangles.
BUTTON_SIZE CommonButtonSize(const std::vector<BUTTON_SIZE>& aButtons);

} // namespace qv
