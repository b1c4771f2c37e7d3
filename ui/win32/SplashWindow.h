// The splash of a boot-mode start: shown for two seconds while the drives are being identified.
#pragma once

#include "ui/win32/DialogProc.h"

namespace qv::win32 {

class CSplashWindow : public CDialog {
public:
    // Runs it modally over hOwner until its time is up.
    void Run(HWND hOwner);

protected:
    INT_PTR OnMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) override;
};

// The application icon at the size of a window's big or small icon, shared with every other
// window that loads it.
HICON LoadAppIcon(bool bSmall);

} // namespace qv::win32
