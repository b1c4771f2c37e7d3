// The main window's behaviour: drives, speed slider, toolbar and menu commands, keep speed,
// boot mode and the notification-area icon. It owns the window's state and reaches the window
// only through CMainView, so every rule here runs without one.
#pragma once

#include "device/CDRom.h"
#include "ui/MainView.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace qv {

class CQuorvexApp;

// The mouse messages a notification-area icon reports in lParam (WM_LBUTTONDOWN, WM_RBUTTONDOWN).
inline constexpr std::intptr_t TRAY_MOUSE_LBUTTONDOWN = 0x0201;
inline constexpr std::intptr_t TRAY_MOUSE_RBUTTONDOWN = 0x0204;

class CQuorvexDlg {
public:
    CQuorvexDlg(CQuorvexApp& app, CMainView& view);

    // The dialog's initialisation; false when it ended the dialog itself (another instance
    // runs, or no drive was found).
    bool OnInitDialog();
    // The user accepted a combo entry.
    void OnDriveChange();
    // WM_DEVICE_EVENT: event code in the low word of wParam, the device in lParam.
    void OnDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam);
    // Any WM_HSCROLL from the slider, whatever its code.
    void OnSliderMoved();
    // A command from the toolbar, either menu or the check box; whether it was one of these.
    // Enter and Escape (IDOK, IDCANCEL) are not: the standard handling ends the dialog.
    bool OnCommand(int nCommand);
    void OnTimer(unsigned nTimer);
    // A disc arrived in the drives whose letters the mask holds (bit 0 for A:): the system has put
    // them back to their highest speed, so each one the dialog has set a speed on gets it again
    // at once, as Apply sends it.
    void OnMediaArrival(unsigned long dwUnitMask);
    // WM_TRAY_NOTIFY: the icon in wParam, the mouse message in lParam.
    void OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam);
    // WM_CLOSE: the window hides, the program stays in the notification area.
    void OnClose();
    // After each paint: boot mode keeps the window hidden.
    void OnPaint();
    void OnDestroy();

    // The drive of the combo's selected entry, or -1 for none.
    int GetSelectedDrive() const { return EntryOf(m_nDrive) >= 0 ? m_nDrive : -1; }
    bool IsReady() const { return m_bReady; }

private:
    // Below 0: the drive ResolveSelection gives, without a capabilities read.
    void SelectDrive(int nIndex);
    int ResolveSelection() const;
    void UpdateCurrentSpeedText();
    void UpdateSelectedSpeedText(int nSpeed);
    void OnIdentified(int nDrive);
    void OnCapabilitiesRead(int nDrive);
    void OnDetectionDone(int nDrive);
    void Apply();
    void SetDriveSpeed(int nDrive, int nSpeed);
    bool EndIfNoDrive();
    void Save();
    void Restore();
    void RebuildDriveList();
    void ToggleLock();
    void MoveTray(bool bEject);
    void ToggleKeepSpeed();
    void RunKeepTimer(bool bRun);
    void StoreControls();
    void LoadControls();
    void PlaceEntry(int nDrive, const std::string& strText);
    int EntryOf(int nDrive) const;
    void ShowLockButton(const DRIVE_STATE& drive);
    CCDRom* DriveAt(int nDrive) const;
    // The selected drive, or null when none is selected or the index has left the list.
    CCDRom* SelectedDrive() const;
    // Its state, or that of no drive.
    DRIVE_STATE SelectedState() const;
    int IndexOf(std::intptr_t lDevice) const;

    CQuorvexApp& m_app;
    CMainView& m_view;

    int m_nSpeed = -1;
    // The selected drive's index in the list. A drive without a combo entry here is one the
    // dialog waits for: it is no selected drive until its entry is placed. -1: none.
    int m_nDrive = 0;
    std::string m_strMaxSpeed;
    std::string m_strCurSpeed;
    bool m_bReady = false;
    std::string m_strSelSpeed;
    bool m_bKeepTimer = false;
    int m_nPendingSpeed = 0;
    // A start in boot mode: each drive gets its saved speed once it has been identified.
    bool m_bRestoreAll = false;
    // After a Restore in boot mode rebuilt the list: the drive that gets its saved speed once it
    // has been identified; -1: none.
    int m_nRestoreDrive = -1;
    // The speed the dialog last set each drive of the list to, by index: the one the keep-speed
    // tick keeps.
    std::map<int, int> m_mapKeptSpeeds;
    // The first list's drives are still telling whether any of them can be used.
    bool m_bAwaitingDrives = false;
    // The combo's entries: each entry's drive index, in drive order.
    std::vector<int> m_aEntryDrives;
    std::vector<std::string> m_aEntryTexts;
    bool m_bEntriesChanged = false;
};

// Combo text of a drive: " E:  40x  QRVX CD-ROM", or " E:  ===  ..." when its maximum is
// unknown.
std::string DriveEntryText(const DRIVE_STATE& drive);
// Label 1007: "24x  (4224 Kb/s)".
std::string SelectedSpeedText(int nSpeed, int nRate);

} // namespace qv
