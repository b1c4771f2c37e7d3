// The splash of a boot-mode start: shown for two seconds while the drives are being identified.
#pragma once

#include "platform/win32/Win32Dialog.h"

namespace qv::win32 {

class CSplashWindow : public CDialog {
public:
    // Runs it modally over hOwner until its time is up.
    void Run(HWND hOwner);

protected:
    bool OnInitDialog() override;
    bool OnTimer(UINT_PTR nTimer) override;
};

// The application icon at the size of a window's big or small icon, shared with every other
// window that loads it.
HICON LoadAppIcon(bool bSmall);

} // namespace qv::win32
