#include "ui/QuorvexDlg.h"

#include "app/BuildConfig.h"
#include "app/Quorvex.h"
#include "device/CDRomList.h"
#include "device/DriveSettings.h"
#include "platform/Shell.h"
#include "ui/Commands.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace qv {
namespace {

// Holds the keep-speed tick off while a handler works, and gives whoever called it the state
// back: a handler that runs inside another, or during start, leaves the tick held off.
class CNotReady {
public:
    explicit CNotReady(bool& bReady) : m_bReady(bReady), m_bWasReady(bReady) { bReady = false; }
    ~CNotReady() { m_bReady = m_bWasReady; }
    CNotReady(const CNotReady&) = delete;
    CNotReady& operator=(const CNotReady&) = delete;

private:
    bool& m_bReady;
    bool m_bWasReady;
};

bool IsSpeedCapable(const DRIVE_STATE& drive) {
    return drive.bUsable && drive.nMaxSpeed > 0;
}

std::string SpeedText(int nSpeed) {
    return std::to_string(nSpeed) + "x";
}

} // namespace

std::string DriveEntryText(const DRIVE_STATE& drive) {
    char szSpeed[16] = "===";
    if (drive.nMaxSpeed > 0)
        std::snprintf(szSpeed, sizeof szSpeed, "%2dx", drive.nMaxSpeed);
    std::string strText = " " + drive.strDrive + "  " + szSpeed + "  ";
    if (!drive.strVendor.empty())
        strText += drive.strVendor + " ";
    return strText + drive.strProduct;
}

std::string SelectedSpeedText(int nSpeed, int nRate) {
    return SpeedText(nSpeed) + "  (" + std::to_string(nRate) + " Kb/s)";
}

CQuorvexDlg::CQuorvexDlg(CQuorvexApp& app, CMainView& view) : m_app(app), m_view(view) {}

bool CQuorvexDlg::OnInitDialog() {
    m_bReady = false;
    m_bRestoreAll = m_app.m_bBootMode;
    LoadControls();
    // Before the single-instance rule: a second instance removes its icon again as it ends.
    m_view.AddTrayIcon();
    if (m_app.m_bKeepSpeed) {
        RunKeepTimer(true);
        m_view.SetMenuItemState(ID_POPUP_KEEP_SPEED, ID_MENU_KEEP_SPEED, true, false);
    }
    if (m_app.m_osvi.dwPlatformId == PLATFORM_WIN32_WINDOWS) {
        // Windows 95/98 has no call that loads a tray.
        m_view.SetButtonState(ID_LOAD, false, false);
        m_view.SetMenuItemState(ID_POPUP_LOAD, ID_MENU_LOAD, false, true);
    }
    if (!m_view.ClaimSingleInstance()) {
        m_view.EndDialog(0);
        return false;
    }

    // The drives answer later: whether any can be used is known once every one has.
    m_app.BuildDriveList().IdentifyAll();
    m_bAwaitingDrives = true;
    if (EndIfNoDrive())
        return false;
    m_nDrive = 0;
    OnDriveChange();
    if (m_app.m_bRunOnBoot)
        m_view.SetRunOnBootCheck(true);
    if (m_app.m_bBootMode)
        m_view.RunSplash();
    m_bReady = true;
    LoadControls();
    return true;
}

// Once every drive of the first list has told whether it can be used, and none can, the program
// ends with its message.
bool CQuorvexDlg::EndIfNoDrive() {
    const CCDRomList* pList = m_app.GetDriveList();
    if (!m_bAwaitingDrives || !pList || pList->AnyIdentifying())
        return false;
    m_bAwaitingDrives = false;
    if (pList->AnyUsable())
        return false;
    // The process ends without its window's destruction: the icon goes first.
    m_view.RemoveTrayIcon();
    m_view.ShowNoDriveMessage();
    m_app.GetPlatform().shell.ExitProcess(0);
    return true;
}

void CQuorvexDlg::OnDriveChange() {
    CNotReady busy(m_bReady);
    // A speed restored for the drive that was selected is not for the one chosen now.
    m_nPendingSpeed = 0;
    StoreControls();
    SelectDrive(m_nDrive);
    LoadControls();
}

void CQuorvexDlg::SelectDrive(int nIndex) {
    m_nDrive = nIndex < 0 ? ResolveSelection() : DriveAt(nIndex) ? nIndex : -1;
    CCDRom* pDrive = SelectedDrive();
    if (pDrive) {
        const bool bCapable = IsSpeedCapable(pDrive->Snapshot());
        pDrive->DetectSpeeds();
        // Identification has just read the capabilities when nothing was asked for.
        if (nIndex >= 0 && bCapable)
            pDrive->RefreshCapabilities();
    }
    UpdateCurrentSpeedText();
    UpdateSelectedSpeedText(0);

    const DRIVE_STATE drive = pDrive ? pDrive->Snapshot() : DRIVE_STATE{};
    // A drive that claims 100x or more has not told its maximum: the slider ends at its speed.
    const int nMaxSpeed = drive.nMaxSpeed >= MAX_SPEED_X ? drive.nSelSpeed : drive.nMaxSpeed;
    m_strMaxSpeed = !pDrive ? "" : nMaxSpeed > 0 ? SpeedText(nMaxSpeed) : "???";
    m_view.SetButtonState(ID_APPLY, true, false);
    m_view.EnableSlider(IsSpeedCapable(drive));
    // Another drive's ticks never show; this one's come with the end of its detection.
    m_view.SetSliderTicks({});
    m_view.SetSliderRange(1, std::max(nMaxSpeed, 1));
    ShowLockButton(drive);
}

// A drive that has an entry stays selected, else the first entry's drive is taken. While the
// combo is still empty the dialog waits for a drive of the list to be identified: the one it
// had, or the first.
int CQuorvexDlg::ResolveSelection() const {
    if (EntryOf(m_nDrive) >= 0)
        return m_nDrive;
    if (!m_aEntryDrives.empty())
        return m_aEntryDrives.front();
    if (DriveAt(m_nDrive))
        return m_nDrive;
    return DriveAt(0) ? 0 : -1;
}

void CQuorvexDlg::UpdateCurrentSpeedText() {
    const DRIVE_STATE drive = SelectedState();
    m_nSpeed = drive.nSelSpeed;
    m_strCurSpeed = drive.nCurSpeed > 0 ? SpeedText(drive.nCurSpeed) : "";
}

void CQuorvexDlg::UpdateSelectedSpeedText(int nSpeed) {
    CCDRom* pDrive = SelectedDrive();
    if (pDrive && nSpeed > 0)
        pDrive->SetSelSpeed(nSpeed);
    else
        nSpeed = SelectedState().nSelSpeed;
    if (pDrive && nSpeed > 0) {
        m_strSelSpeed = SelectedSpeedText(nSpeed, pDrive->GetRateForSpeed(nSpeed));
        m_nSpeed = nSpeed;
    } else {
        m_strSelSpeed.clear();
        m_nSpeed = 0;
    }
}

void CQuorvexDlg::OnDeviceEvent(std::uintptr_t wParam, std::intptr_t lParam) {
    // A list that a Restore in boot mode replaced may still complete requests: not ours.
    const int nDrive = IndexOf(lParam);
    if (nDrive < 0)
        return;
    CNotReady busy(m_bReady);
    switch (static_cast<int>(wParam & 0xFFFF)) {
    case RQ_IDENTIFIED:
        OnIdentified(nDrive);
        EndIfNoDrive();
        break;
    case RQ_IDENTIFY_CAPS:
        EndIfNoDrive();
        break;
    case RQ_REFRESH_CAPS:
        OnCapabilitiesRead(nDrive);
        break;
    case RQ_DETECT_DONE:
        OnDetectionDone(nDrive);
        break;
    default:
        break;
    }
    LoadControls();
}

void CQuorvexDlg::OnIdentified(int nDrive) {
    CCDRom& drive = *DriveAt(nDrive);
    const int nSavedSpeed = LoadDriveSettings(m_app.GetPlatform(), drive);
    drive.SelectCurrentSpeed();
    const DRIVE_STATE state = drive.Snapshot();
    if (state.bUsable)
        PlaceEntry(nDrive, DriveEntryText(state));

    // The drive the dialog waits for stays chosen while it is still being identified, whichever
    // drive answers first; one that turned out unusable gives way to the drives that have entries.
    const CCDRom* pAwaited = EntryOf(m_nDrive) < 0 ? DriveAt(m_nDrive) : nullptr;
    const DRIVE_STATE awaited = pAwaited ? pAwaited->Snapshot() : DRIVE_STATE{};
    if (nDrive == m_nDrive || (EntryOf(m_nDrive) < 0 && !awaited.bIdentifying && !awaited.bUsable))
        SelectDrive(-1);

    // A start at logon sets every drive to its saved speed; a Restore in boot mode, the drive it
    // was given for, to its saved speed or else the one it runs at. A detection that the
    // selection started runs first, since its end would undo the speed.
    int nRestore = 0;
    if (m_bRestoreAll) {
        nRestore = nSavedSpeed;
    } else if (nDrive == m_nRestoreDrive) {
        nRestore = nSavedSpeed > 0 ? nSavedSpeed : state.nCurSpeed;
        m_nRestoreDrive = -1;
    }
    if (nRestore > 0)
        SetDriveSpeed(nDrive, nRestore);
}

void CQuorvexDlg::OnCapabilitiesRead(int nDrive) {
    CCDRom& drive = *DriveAt(nDrive);
    if (drive.Snapshot().nSelSpeed <= 0)
        drive.SelectCurrentSpeed();
    if (&drive == SelectedDrive()) {
        UpdateCurrentSpeedText();
        UpdateSelectedSpeedText(0);
    }
}

void CQuorvexDlg::OnDetectionDone(int nDrive) {
    CCDRom& drive = *DriveAt(nDrive);
    if (&drive == SelectedDrive()) {
        const std::vector<SPEED_ENTRY> aSpeeds = drive.GetSpeeds();
        if (!aSpeeds.empty()) {
            // In the order the control is given them: from the fastest down.
            std::vector<int> aTicks;
            for (auto it = aSpeeds.rbegin(); it != aSpeeds.rend(); ++it)
                aTicks.push_back(it->nSpeed);
            m_view.SetSliderTicks(aTicks);
            UpdateSelectedSpeedText(0);
        }
    }
}

void CQuorvexDlg::OnSliderMoved() {
    CNotReady busy(m_bReady);
    StoreControls();
    if (SelectedDrive() && m_nSpeed != SelectedState().nSelSpeed) {
        UpdateSelectedSpeedText(m_nSpeed);
        LoadControls();
    }
}

bool CQuorvexDlg::OnCommand(int nCommand) {
    switch (nCommand) {
    case ID_APPLY: {
        CNotReady busy(m_bReady);
        Apply();
        break;
    }
    case ID_LOCK:
    case ID_POPUP_LOCK:
    case ID_MENU_LOCK:
        ToggleLock();
        break;
    case ID_EJECT:
    case ID_POPUP_EJECT:
    case ID_MENU_EJECT:
        MoveTray(true);
        break;
    case ID_LOAD:
    case ID_POPUP_LOAD:
    case ID_MENU_LOAD:
        MoveTray(false);
        break;
    case ID_SAVE:
        Save();
        break;
    case ID_RESTORE:
        Restore();
        break;
    case IDC_RUN_ON_BOOT:
        // The check box flips its own mark; the stored value decides.
        m_app.ToggleRunOnBoot();
        break;
    case ID_POPUP_KEEP_SPEED:
    case ID_MENU_KEEP_SPEED:
        ToggleKeepSpeed();
        break;
    case ID_POPUP_ABOUT:
    case ID_MENU_ABOUT:
        m_view.RunAbout();
        break;
    case ID_POPUP_CONTACT:
    case ID_MENU_CONTACT:
        m_view.OpenAddress(std::string("mailto:") + QV_SUPPORT_ADDRESS);
        break;
    case ID_POPUP_HELP:
    case ID_HELP_INDEX:
    case ID_HELP:
        m_view.OpenHelp();
        break;
    case ID_POPUP_RESTORE:
        m_view.RestoreWindow();
        break;
    case ID_POPUP_EXIT:
    case ID_MENU_EXIT:
        m_view.EndDialog(0);
        break;
    case ID_HIDE:
        m_view.HideWindow();
        break;
    default:
        return false;
    }
    return true;
}

void CQuorvexDlg::Apply() {
    // A pending speed is taken on every path, so it never reaches a drive it was not meant for.
    const int nPending = std::exchange(m_nPendingSpeed, 0);
    if (SelectedDrive())
        SetDriveSpeed(m_nDrive, std::max(nPending != 0 ? nPending : m_nSpeed, 0));
}

// What Apply does to the selected drive, also for the drives a start at logon restores: the
// speed is kept from now on.
void CQuorvexDlg::SetDriveSpeed(int nDrive, int nSpeed) {
    CCDRom* pDrive = DriveAt(nDrive);
    if (!pDrive || !IsSpeedCapable(pDrive->Snapshot()))
        return;
    pDrive->SetSpeed(nSpeed);
    m_mapKeptSpeeds[nDrive] = nSpeed;
}

void CQuorvexDlg::Save() {
    CNotReady busy(m_bReady);
    StoreControls();
    if (CCDRomList* pList = m_app.GetDriveList())
        pList->SaveAll();
}

void CQuorvexDlg::Restore() {
    CNotReady busy(m_bReady);
    StoreControls();
    if (m_app.m_bBootMode)
        RebuildDriveList();
    if (CCDRomList* pList = m_app.GetDriveList()) {
        for (int nDrive = 0; nDrive < pList->GetCount(); ++nDrive)
            pList->GetAt(nDrive)->SelectCurrentSpeed();
        pList->LoadAll();
        // Only the selected drive is set; the others keep their saved speed as selected one.
        if (CCDRom* pDrive = SelectedDrive()) {
            m_nPendingSpeed = pDrive->Snapshot().nSelSpeed;
            Apply();
        }
    }
    LoadControls();
}

// Boot mode started before the drives were ready. The drive selected in the new list gets its
// speed once its identification and detection are through (OnIdentified, OnDetectionDone).
void CQuorvexDlg::RebuildDriveList() {
    m_bRestoreAll = false;
    m_mapKeptSpeeds.clear();
    m_aEntryDrives.clear();
    m_aEntryTexts.clear();
    m_bEntriesChanged = true;
    m_app.BuildDriveList().IdentifyAll();
    SelectDrive(-1);
    m_nRestoreDrive = m_nDrive;
    m_app.m_bBootMode = false;
}

void CQuorvexDlg::ToggleLock() {
    CNotReady busy(m_bReady);
    StoreControls();
    if (CCDRom* pDrive = SelectedDrive()) {
        const DRIVE_STATE drive = pDrive->Snapshot();
        if (drive.bRemovable)
            pDrive->Tray().SetMediaLock(!drive.bLocked);
    }
    // The flag shows what the OS granted, also on a drive that offers no lock.
    const DRIVE_STATE drive = SelectedState();
    ShowLockButton(drive);
    m_view.SetMenuItemState(ID_POPUP_LOCK, ID_MENU_LOCK, drive.bLocked, false);
}

void CQuorvexDlg::ShowLockButton(const DRIVE_STATE& drive) {
    m_view.SetButtonState(ID_LOCK, drive.bRemovable, drive.bLocked);
}

void CQuorvexDlg::MoveTray(bool bEject) {
    CNotReady busy(m_bReady);
    if (CCDRom* pDrive = SelectedDrive())
        pDrive->Tray().StartTrayThread(bEject);
}

void CQuorvexDlg::ToggleKeepSpeed() {
    m_app.ToggleKeepSpeed();
    const bool bOn = m_app.m_bKeepSpeed;
    m_view.SetMenuItemState(ID_POPUP_KEEP_SPEED, ID_MENU_KEEP_SPEED, bOn, false);
    RunKeepTimer(bOn);
}

void CQuorvexDlg::RunKeepTimer(bool bRun) {
    if (bRun == m_bKeepTimer)
        return;
    if (bRun)
        m_view.StartKeepTimer();
    else
        m_view.StopKeepTimer();
    m_bKeepTimer = bRun;
}

// One read of the selected drive's page, and its kept speed set again when the drive reports
// another; nothing before the first Apply on it.
void CQuorvexDlg::OnTimer(unsigned nTimer) {
    if (nTimer != ID_KEEP_TIMER || !m_bKeepTimer || !m_bReady)
        return;
    CCDRom* pDrive = SelectedDrive();
    // A drive in the middle of a chain is left to it: a drive that does not answer would
    // collect one request per tick.
    if (!pDrive)
        return;
    if (const DRIVE_STATE state = pDrive->Snapshot(); !IsSpeedCapable(state) || state.bBusy)
        return;
    const auto it = m_mapKeptSpeeds.find(m_nDrive);
    pDrive->KeepSpeed(it != m_mapKeptSpeeds.end() ? it->second : 0);
}

void CQuorvexDlg::OnMediaArrival(unsigned long dwUnitMask) {
    CNotReady busy(m_bReady);
    const std::map<int, int> mapSet = m_mapKeptSpeeds;
    for (const auto& [nDrive, nSpeed] : mapSet) {
        const CCDRom* pDrive = DriveAt(nDrive);
        const std::string& strDrive = pDrive ? pDrive->Drive() : std::string();
        const int nLetter = strDrive.empty() ? -1 : strDrive.front() - 'A';
        if (nLetter >= 0 && nLetter < 26 && (dwUnitMask >> nLetter & 1))
            SetDriveSpeed(nDrive, nSpeed);
    }
}

void CQuorvexDlg::OnTrayNotify(std::uintptr_t wParam, std::intptr_t lParam) {
    if (lParam == TRAY_MOUSE_LBUTTONDOWN) {
        if (wParam == ID_TRAY_ICON)
            m_view.RestoreWindow();
        // The window no longer hides itself when it paints.
        m_app.m_bBootMode = false;
    } else if (lParam == TRAY_MOUSE_RBUTTONDOWN) {
        m_view.ShowTrayMenu();
    }
}

void CQuorvexDlg::OnClose() {
    m_view.HideWindow();
}

void CQuorvexDlg::OnPaint() {
    if (m_app.m_bBootMode)
        m_view.HideWindow();
}

void CQuorvexDlg::OnDestroy() {
    m_bReady = false;
    m_view.RemoveTrayIcon();
    RunKeepTimer(false);
}

// While no drive has an entry yet, the drive the dialog waits for stays the one it waits for.
void CQuorvexDlg::StoreControls() {
    m_nSpeed = m_view.GetSliderPos();
    const int nEntry = m_view.GetSelectedEntry();
    if (nEntry >= 0 && nEntry < static_cast<int>(m_aEntryDrives.size()))
        m_nDrive = m_aEntryDrives[nEntry];
    else if (!m_aEntryDrives.empty())
        m_nDrive = -1;
}

// The combo is filled again only when its entries or its selection changed, so that a tick's
// report does not close an open drop-down list.
void CQuorvexDlg::LoadControls() {
    m_view.SetSliderPos(m_nSpeed);
    m_view.ShowSpeedTexts(m_strMaxSpeed, m_strCurSpeed, m_strSelSpeed);
    const int nEntry = EntryOf(m_nDrive);
    if (m_bEntriesChanged || nEntry != m_view.GetSelectedEntry()) {
        m_view.ShowDriveEntries(m_aEntryTexts, nEntry);
        m_bEntriesChanged = false;
    }
}

void CQuorvexDlg::PlaceEntry(int nDrive, const std::string& strText) {
    const auto it = std::lower_bound(m_aEntryDrives.begin(), m_aEntryDrives.end(), nDrive);
    const auto nEntry = it - m_aEntryDrives.begin();
    if (it != m_aEntryDrives.end() && *it == nDrive) {
        m_aEntryTexts[nEntry] = strText;
    } else {
        m_aEntryDrives.insert(it, nDrive);
        m_aEntryTexts.insert(m_aEntryTexts.begin() + nEntry, strText);
    }
    m_bEntriesChanged = true;
}

int CQuorvexDlg::EntryOf(int nDrive) const {
    const auto it = std::find(m_aEntryDrives.begin(), m_aEntryDrives.end(), nDrive);
    return it == m_aEntryDrives.end() ? -1 : static_cast<int>(it - m_aEntryDrives.begin());
}

CCDRom* CQuorvexDlg::DriveAt(int nDrive) const {
    const CCDRomList* pList = m_app.GetDriveList();
    return pList && nDrive >= 0 && nDrive < pList->GetCount() ? pList->GetAt(nDrive) : nullptr;
}

CCDRom* CQuorvexDlg::SelectedDrive() const {
    return EntryOf(m_nDrive) >= 0 ? DriveAt(m_nDrive) : nullptr;
}

DRIVE_STATE CQuorvexDlg::SelectedState() const {
    const CCDRom* pDrive = SelectedDrive();
    return pDrive ? pDrive->Snapshot() : DRIVE_STATE{};
}

int CQuorvexDlg::IndexOf(std::intptr_t lDevice) const {
    const CCDRomList* pList = m_app.GetDriveList();
    for (int nDrive = pList ? pList->GetCount() - 1 : -1; nDrive >= 0; --nDrive)
        if (reinterpret_cast<std::intptr_t>(pList->GetAt(nDrive)) == lDevice)
            return nDrive;
    return -1;
}

} // namespace qv
