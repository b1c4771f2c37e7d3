#include "ui/win32/TrayIcon.h"

#include "app/Texts.h"
#include "platform/win32/Win32Library.h"
#include "ui/Commands.h"
#include "ui/TrayMenu.h"

#include <shellapi.h>

namespace qv::win32 {
namespace {

// The record's first form, which every shell understands; its tip holds 63 characters.
#if defined(_WIN32) && !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
#endif

// The shell keeps its own copy of the icon; the one given is released after the call.
bool NotifyTray(HWND hWnd, DWORD dwMessage, HICON hIcon, const char* pszTip) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = hWnd;
    data.uID = ID_TRAY_ICON;
    data.uFlags = NIF_MESSAGE | (hIcon ? NIF_ICON : 0u) | (pszTip ? NIF_TIP : 0u);
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = hIcon;
    if (pszTip)
        ::lstrcpynA(data.szTip, pszTip, 64);
    const bool bDone = ::Shell_NotifyIconA(dwMessage, &data) != FALSE;
    if (hIcon)
        ::DestroyIcon(hIcon);
    return bDone;
}

// Destroys the menu as the process ends.
class CProcessMenu {
public:
    CProcessMenu() : m_hMenu(::CreatePopupMenu()) {
        for (const TRAY_MENU_ITEM& item : TrayMenuItems()) {
            if (item.nCommand == 0)
                ::AppendMenuA(m_hMenu, MF_SEPARATOR, 0, nullptr);
            else
                ::AppendMenuA(m_hMenu, MF_STRING, static_cast<UINT_PTR>(item.nCommand),
                              item.pszText);
        }
    }
    ~CProcessMenu() {
        if (m_hMenu)
            ::DestroyMenu(m_hMenu);
    }
    CProcessMenu(const CProcessMenu&) = delete;
    CProcessMenu& operator=(const CProcessMenu&) = delete;
    HMENU Handle() const { return m_hMenu; }

private:
    HMENU m_hMenu;
};

// A copy run as administrator is above the shell's integrity level, which may then post it
// nothing: the restarted shell's broadcast is let through, or the icon would stay away for good.
// The call is looked up, since not every Windows the program starts on has it.
void AllowTaskbarCreated(HWND hWnd) {
    decltype(&::ChangeWindowMessageFilterEx) pfnChangeWindowMessageFilterEx = nullptr;
    if (QV_GET_FUNCTION(::GetModuleHandleW(L"user32.dll"), ChangeWindowMessageFilterEx,
                        pfnChangeWindowMessageFilterEx))
        pfnChangeWindowMessageFilterEx(hWnd, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

} // namespace

void CTrayIcon::Add(HWND hWnd, HICON hIcon) {
    m_hWnd = hWnd;
    m_hIcon = hIcon;
    AllowTaskbarCreated(hWnd);
    NotifyTray(hWnd, NIM_ADD, ::CopyIcon(hIcon), APP_NAME);
}

void CTrayIcon::Remove() {
    if (m_hWnd)
        NotifyTray(m_hWnd, NIM_DELETE, nullptr, nullptr);
    m_hWnd = nullptr;
}

void CTrayIcon::OnTaskbarCreated() {
    if (m_hWnd)
        NotifyTray(m_hWnd, NIM_ADD, ::CopyIcon(m_hIcon), APP_NAME);
}

UINT TaskbarCreatedMessage() {
    static const UINT nMessage = ::RegisterWindowMessageA("TaskbarCreated");
    return nMessage;
}

HMENU TrayMenu() {
    static const CProcessMenu menu;
    return menu.Handle();
}

// The window comes to the front first, or the menu would not close when the user clicks
// elsewhere; the message posted afterwards lets it close for good when a command was chosen.
void ShowTrayMenu(HWND hWnd) {
    POINT cursor{};
    ::GetCursorPos(&cursor);
    ::SetForegroundWindow(hWnd);
    ::TrackPopupMenu(TrayMenu(), TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hWnd, nullptr);
    ::PostMessageA(hWnd, WM_USER, 0, 0);
}

} // namespace qv::win32
