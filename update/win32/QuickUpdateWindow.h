// The Win32 side of the update check: the progress window "Quick Update" (dialog 142), the
// new-version dialog (137) with the hand-over to the updater, and the message boxes of a check.
#pragma once

#include "platform/win32/Win32.h"
#include "platform/win32/Win32EventService.h"
#include "update/QuickUpdateDlg.h"

namespace qv::win32 {

// Runs the progress window of a new on-demand check modally, owned by hOwner (the About
// dialog), which stays disabled until the window closes. The check goes on after an Escape.
void RunQuickUpdateWindow(HWND hOwner, CQuickUpdateDlg& updateCheck);

// What a check shows, on the thread of its worker. Yes in the new-version dialog starts
// "UpdateQuorvex.exe" from the program's folder and ends the process.
class CWin32UpdateView : public CUpdateView {
public:
    // The main window, found through the events, closes its windows and icon before the end.
    explicit CWin32UpdateView(CWin32EventService& events);

    void ShowMessage(const char* pszText) override;
    void RunNewVersionDialog(const std::string& strText) override;

private:
    CWin32EventService& m_events;
};

} // namespace qv::win32
