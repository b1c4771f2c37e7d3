#include "ui/TrayMenu.h"

#include "ui/Commands.h"

#include <array>

namespace qv {
namespace {

constexpr std::array<TRAY_MENU_ITEM, 10> TRAY_MENU_ITEMS{{
    {"Keep speed", ID_POPUP_KEEP_SPEED},
    {"Lock", ID_POPUP_LOCK},
    {"Eject", ID_POPUP_EJECT},
    {"Load", ID_POPUP_LOAD},
    {nullptr, 0},
    {"About Quorvex", ID_POPUP_ABOUT},
    {"Contact us", ID_POPUP_CONTACT},
    {"Help", ID_POPUP_HELP},
    {"Restore", ID_POPUP_RESTORE},
    {"Exit", ID_POPUP_EXIT},
}};

} // namespace

std::span<const TRAY_MENU_ITEM> TrayMenuItems() {
    return TRAY_MENU_ITEMS;
}

} // namespace qv
