// The window's icon in the notification area, and the popup menu it opens.
#pragma once

#include "platform/win32/Win32.h"

namespace qv::win32 {

class CTrayIcon {
public:
    // Adds the icon for hWnd, which gets its mouse messages as WM_TRAY_NOTIFY. The shell is
    // handed a copy of hIcon: the window keeps using its own.
    void Add(HWND hWnd, HICON hIcon);
    void Remove();
    // A restarted shell has forgotten every icon: the one this window had is added again.
    void OnTaskbarCreated();

private:
    HWND m_hWnd = nullptr;
    HICON m_hIcon = nullptr;
};

// The message a restarted shell broadcasts.
UINT TaskbarCreatedMessage();

// The popup menu, one per process, made on first use.
HMENU TrayMenu();
// Opens it at the cursor for hWnd, which receives the chosen command.
void ShowTrayMenu(HWND hWnd);

} // namespace qv::win32
