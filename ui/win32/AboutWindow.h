// The About dialog (135) bound to its portable presenter: the two blue links, the tooltips, the
// title in large type and the on-demand update check.
#pragma once

#include "platform/win32/Win32Dialog.h"
#include "ui/AboutDlg.h"

namespace qv::win32 {

class CAboutWindow : public CDialog, public CAboutView {
public:
    // The check outlives every run of the dialog, as the main window that owns both does.
    explicit CAboutWindow(CQuickUpdateDlg& updateCheck)
        : m_updateCheck(updateCheck), m_dlg(updateCheck) {}

    // Runs the dialog modally over hOwner, unless it is open already.
    void Run(HWND hOwner);
    // Ends the dialog when it is open; nothing otherwise.
    void EndIfOpen();

    void OpenUrlInBrowser(const std::string& strUrl) override;
    void OpenAddress(const std::string& strAddress) override;
    void RunProgressWindow() override;
    void EndDialog(int nResult) override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int nId, int nCode) override;
    bool OnNotify(LPARAM lParam) override;
    HBRUSH OnColorStatic(HDC hDC, HWND hControl) override;

private:
    void FormatTitle();

    CQuickUpdateDlg& m_updateCheck;
    CAboutDlg m_dlg;
};

} // namespace qv::win32
