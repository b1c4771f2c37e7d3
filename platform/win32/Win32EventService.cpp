#include "platform/win32/Win32EventService.h"

namespace qv::win32 {

void CWin32EventService::PostDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    // The window may be destroyed between the test and the post; PostMessageA then fails and the
    // event is dropped, which is all a device asks of an event that nobody can receive.
    const HWND hWnd = m_hMainWnd.load();
    if (hWnd && ::IsWindow(hWnd))
        ::PostMessageA(hWnd, WM_DEVICE_EVENT, static_cast<WPARAM>(wParam),
                       static_cast<LPARAM>(lParam));
}

} // namespace qv::win32
