// Device events to the real main window. The dialog names its window once it exists and clears
// it before the window goes; completions on other threads read it meanwhile.
#pragma once

#include "platform/EventService.h"
#include "platform/win32/Win32.h"

#include <atomic>

namespace qv::win32 {

class CWin32EventService : public CEventService {
public:
    void SetMainWindow(HWND hWnd) { m_hMainWnd.store(hWnd); }
    HWND MainWindow() const { return m_hMainWnd.load(); }
    void PostDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) override;

private:
    std::atomic<HWND> m_hMainWnd{nullptr};
};

} // namespace qv::win32
