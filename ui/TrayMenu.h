// The notification-area popup menu: its items in order. Command 0 is a separator.
#pragma once

#include <span>

namespace qv {

struct TRAY_MENU_ITEM {
    const char* pszText;
    int nCommand;
};

std::span<const TRAY_MENU_ITEM> TrayMenuItems();

} // namespace qv
