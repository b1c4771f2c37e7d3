// The main window: dialog 102 with its controls, toolbar, notification-area icon and timers,
// bound to the portable dialog that decides everything it shows.
#pragma once

#include "app/Quorvex.h"
#include "platform/win32/Win32Dialog.h"
#include "platform/win32/Win32EventService.h"
#include "ui/QuorvexDlg.h"
#include "ui/win32/AboutWindow.h"
#include "ui/win32/SingleInstance.h"
#include "ui/win32/SliderControl.h"
#include "ui/win32/ToolBarControl.h"
#include "ui/win32/TrayIcon.h"

namespace qv::win32 {

class CMainWindow : public CDialog, public CMainView {
public:
    CMainWindow(CQuorvexApp& app, CWin32EventService& events);

    void ShowDriveEntries(const std::vector<std::string>& aTexts, int nSelected) override;
    int GetSelectedEntry() const override;
    void SetSliderRange(int nMin, int nMax) override;
    void SetSliderTicks(const std::vector<int>& aSpeeds) override;
    void SetSliderPos(int nPos) override;
    int GetSliderPos() const override;
    void EnableSlider(bool bEnable) override;
    void ShowSpeedTexts(const std::string& strMax, const std::string& strCur,
                        const std::string& strSel) override;
    void SetRunOnBootCheck(bool bChecked) override;
    void SetButtonState(int nCommand, bool bEnabled, bool bPressed) override;
    void SetMenuItemState(int nPopupCommand, int nMenuCommand, bool bChecked,
                          bool bGrayed) override;
    void StartKeepTimer() override;
    void StopKeepTimer() override;
    void AddTrayIcon() override;
    void RemoveTrayIcon() override;
    void ShowTrayMenu() override;
    void RestoreWindow() override;
    void HideWindow() override;
    bool ClaimSingleInstance() override;
    void RunSplash() override;
    void RunAbout() override;
    void OpenHelp() override;
    void OpenAddress(const std::string& strAddress) override;
    void ShowNoDriveMessage() override;
    void EndDialog(int nResult) override;

protected:
    bool OnInitDialog() override;
    bool OnCommand(int nId, int nCode) override;
    bool OnNotify(LPARAM lParam) override;
    bool OnTimer(UINT_PTR nTimer) override;
    bool OnHScroll(HWND hControl) override;
    bool OnHelp() override;
    bool OnSysCommand(UINT nCommand) override;
    bool OnPaint() override;
    HICON OnQueryDragIcon() override { return m_hIcon; }
    bool OnClose() override;
    void OnDestroy() override;
    bool OnOtherMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) override;

private:
    void EndWithWindows();

    CQuorvexApp& m_app;
    CWin32EventService& m_events;
    CQuorvexDlg m_dlg;
    HICON m_hIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
    CToolBarControl m_toolBar;
    CSliderControl m_slider;
    CTrayIcon m_trayIcon;
    CSingleInstance m_instance;
    // Each About command runs the same dialog object, whose check outlives its runs.
    CQuickUpdateDlg m_updateCheck;
    CAboutWindow m_about;
};

// Broadcast by a setup or an uninstaller that must replace or remove the program's files: every
// running copy of the program ends as if its user had chosen Exit.
UINT ExitRequestMessage();

// Runs the main window for the start-up routine, in normal and boot-mode runs.
class CMainWindowRunner : public CMainDialogRunner {
public:
    explicit CMainWindowRunner(CWin32EventService& events) : m_events(events) {}
    void RunModal(CQuorvexApp& app) override;

private:
    CWin32EventService& m_events;
};

} // namespace qv::win32
