#include "ui/win32/SplashWindow.h"

#include "res/resource.h"

namespace qv::win32 {

HICON LoadAppIcon(bool bSmall) {
    return static_cast<HICON>(
        ::LoadImageA(ResourceModule(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                     ::GetSystemMetrics(bSmall ? SM_CXSMICON : SM_CXICON),
                     ::GetSystemMetrics(bSmall ? SM_CYSMICON : SM_CYICON), LR_SHARED));
}

void CSplashWindow::Run(HWND hOwner) {
    RunModal(IDD_SPLASH, hOwner);
}

bool CSplashWindow::OnInitDialog() {
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadAppIcon(false)));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadAppIcon(true)));
    ::SetTimer(m_hWnd, ID_SPLASH_TIMER, SPLASH_TIMER_PERIOD_MS, nullptr);
    return true;
}

bool CSplashWindow::OnTimer(UINT_PTR nTimer) {
    if (nTimer != ID_SPLASH_TIMER)
        return false;
    ::KillTimer(m_hWnd, ID_SPLASH_TIMER);
    ::EndDialog(m_hWnd, 0);
    return true;
}

} // namespace qv::win32
