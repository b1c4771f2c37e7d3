// The main window as its portable dialog sees it: every control, menu, timer and window
// operation the dialog's rules need. The Win32 binding implements it over the real controls;
// the tests implement it over plain members.
#pragma once

#include <string>
#include <vector>

namespace qv {

class CMainView {
public:
    virtual ~CMainView() = default;

    // The drive combo box: its entries in order, and the selected one (-1: none).
    virtual void ShowDriveEntries(const std::vector<std::string>& aTexts, int nSelected) = 0;
    virtual int GetSelectedEntry() const = 0;

    // The speed slider, in speeds (x).
    virtual void SetSliderRange(int nMin, int nMax) = 0;
    // Replaces every tick mark (the two ends carry the control's own).
    virtual void SetSliderTicks(const std::vector<int>& aSpeeds) = 0;
    virtual void SetSliderPos(int nPos) = 0;
    virtual int GetSliderPos() const = 0;
    virtual void EnableSlider(bool bEnable) = 0;

    // Labels 1006 (maximum), 1016 (current) and 1007 (selected speed with its rate).
    virtual void ShowSpeedTexts(const std::string& strMax, const std::string& strCur,
                                const std::string& strSel) = 0;
    virtual void SetRunOnBootCheck(bool bChecked) = 0;

    // A toolbar button by its command (1008-1013).
    virtual void SetButtonState(int nCommand, bool bEnabled, bool bPressed) = 0;
    // The same item of the popup menu and of the menu bar, by their two commands.
    virtual void SetMenuItemState(int nPopupCommand, int nMenuCommand, bool bChecked,
                                  bool bGrayed) = 0;

    // The keep-speed timer; only one runs at a time.
    virtual void StartKeepTimer() = 0;
    virtual void StopKeepTimer() = 0;

    // The notification-area icon, and its popup menu at the cursor.
    virtual void AddTrayIcon() = 0;
    virtual void RemoveTrayIcon() = 0;
    virtual void ShowTrayMenu() = 0;

    // Shows the window restored and brings it to the front, or hides it.
    virtual void RestoreWindow() = 0;
    virtual void HideWindow() = 0;
    // Whether this is the only instance. If another runs, its window has been restored and
    // brought forward; otherwise this window is now the one a later start finds.
    virtual bool ClaimSingleInstance() = 0;
    // Runs the two-second splash of boot mode, the About dialog, each modally.
    virtual void RunSplash() = 0;
    virtual void RunAbout() = 0;
    // The help page beside the program, in the user's browser; a message names a missing one.
    virtual void OpenHelp() = 0;
    // A mailto: or web address, handed to the shell.
    virtual void OpenAddress(const std::string& strAddress) = 0;
    virtual void ShowNoDriveMessage() = 0;
    virtual void EndDialog(int nResult) = 0;
};

} // namespace qv
