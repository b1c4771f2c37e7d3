#include "ui/win32/MainWindow.h"

#include "app/Texts.h"
#include "platform/win32/Win32Library.h"
#include "platform/win32/Win32Text.h"
#include "res/resource.h"
#include "ui/win32/Browser.h"
#include "ui/win32/SplashWindow.h"
#include "ui/win32/ToolTips.h"

#include <commctrl.h>
#include <dbt.h>
#include <shellapi.h>

#include <optional>

namespace qv::win32 {
namespace {

// The drives a media-arrival broadcast names, bit 0 for A:; nothing for any other notice, or for
// a broadcast too short to be a volume's.
std::optional<DWORD> MediaArrivalUnits(WPARAM wParam, LPARAM lParam) {
    const auto* pHeader = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (wParam != DBT_DEVICEARRIVAL || !pHeader ||
        pHeader->dbch_size < sizeof(DEV_BROADCAST_VOLUME) ||
        pHeader->dbch_devicetype != DBT_DEVTYP_VOLUME)
        return std::nullopt;
    const auto* pVolume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
    if (!(pVolume->dbcv_flags & DBTF_MEDIA))
        return std::nullopt;
    return pVolume->dbcv_unitmask;
}

} // namespace

CMainWindow::CMainWindow(CQuorvexApp& app, CWin32EventService& events)
    : m_app(app), m_events(events), m_dlg(app, *this),
      m_updateCheck(app.GetPlatform().registry, REGKEY_CURRENT_USER, app.GetUpdateServices()),
      m_about(m_updateCheck) {}

void CMainWindow::ShowDriveEntries(const std::vector<std::string>& aTexts, int nSelected) {
    const HWND hCombo = ::GetDlgItem(m_hWnd, IDC_DRIVE_COMBO);
    ::SendMessageA(hCombo, CB_RESETCONTENT, 0, 0);
    // By position: the sorted combo would reorder what is added by CB_ADDSTRING.
    for (std::size_t nEntry = 0; nEntry < aTexts.size(); ++nEntry)
        ::SendMessageA(hCombo, CB_INSERTSTRING, nEntry,
                       reinterpret_cast<LPARAM>(aTexts[nEntry].c_str()));
    ::SendMessageA(hCombo, CB_SETCURSEL, static_cast<WPARAM>(nSelected), 0);
}

int CMainWindow::GetSelectedEntry() const {
    return static_cast<int>(::SendDlgItemMessageA(m_hWnd, IDC_DRIVE_COMBO, CB_GETCURSEL, 0, 0));
}

void CMainWindow::SetSliderRange(int nMin, int nMax) {
    m_slider.SetRange(nMin, nMax);
}

void CMainWindow::SetSliderTicks(const std::vector<int>& aSpeeds) {
    m_slider.SetTicks(aSpeeds);
}

void CMainWindow::SetSliderPos(int nPos) {
    m_slider.SetPos(nPos);
}

int CMainWindow::GetSliderPos() const {
    return m_slider.GetPos();
}

void CMainWindow::EnableSlider(bool bEnable) {
    m_slider.Enable(bEnable);
}

void CMainWindow::ShowSpeedTexts(const std::string& strMax, const std::string& strCur,
                                 const std::string& strSel) {
    ::SetDlgItemTextA(m_hWnd, IDC_MAX_SPEED, strMax.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_CUR_SPEED, strCur.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_SEL_SPEED, strSel.c_str());
}

void CMainWindow::SetRunOnBootCheck(bool bChecked) {
    ::CheckDlgButton(m_hWnd, IDC_RUN_ON_BOOT, bChecked ? BST_CHECKED : BST_UNCHECKED);
}

void CMainWindow::SetButtonState(int nCommand, bool bEnabled, bool bPressed) {
    m_toolBar.SetButtonState(nCommand, bEnabled, bPressed);
}

void CMainWindow::SetMenuItemState(int nPopupCommand, int nMenuCommand, bool bChecked,
                                   bool bGrayed) {
    const auto mark = [&](HMENU hMenu, int nCommand) {
        const auto nId = static_cast<UINT>(nCommand);
        ::CheckMenuItem(hMenu, nId, MF_BYCOMMAND | (bChecked ? MF_CHECKED : MF_UNCHECKED));
        ::EnableMenuItem(hMenu, nId, MF_BYCOMMAND | (bGrayed ? MF_GRAYED : MF_ENABLED));
    };
    mark(TrayMenu(), nPopupCommand);
    mark(::GetMenu(m_hWnd), nMenuCommand);
}

void CMainWindow::StartKeepTimer() {
    ::SetTimer(m_hWnd, ID_KEEP_TIMER, KEEP_TIMER_PERIOD_MS, nullptr);
}

void CMainWindow::StopKeepTimer() {
    ::KillTimer(m_hWnd, ID_KEEP_TIMER);
}

void CMainWindow::AddTrayIcon() {
    m_trayIcon.Add(m_hWnd, m_hSmallIcon);
}

void CMainWindow::RemoveTrayIcon() {
    m_trayIcon.Remove();
}

void CMainWindow::ShowTrayMenu() {
    win32::ShowTrayMenu(m_hWnd);
}

void CMainWindow::RestoreWindow() {
    ::ShowWindow(m_hWnd, SW_RESTORE);
    ::SetForegroundWindow(m_hWnd);
}

void CMainWindow::HideWindow() {
    ::ShowWindow(m_hWnd, SW_HIDE);
}

bool CMainWindow::ClaimSingleInstance() {
    return m_instance.Claim(m_hWnd, m_app.m_strInstanceClass);
}

void CMainWindow::RunSplash() {
    CSplashWindow().Run(m_hWnd);
}

void CMainWindow::RunAbout() {
    m_about.Run(m_hWnd);
}

void CMainWindow::OpenHelp() {
    const std::wstring strPage = ProgramFolder() + L"\\" + WidenAnsi(HELP_FILE_NAME);
    if (::GetFileAttributesW(strPage.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const std::wstring strText = L"The help page " + strPage + L" cannot be found.";
        ::MessageBoxW(m_hWnd, strText.c_str(), WidenAnsi(APP_NAME).c_str(), MB_OK);
        return;
    }
    ::ShellExecuteW(m_hWnd, L"open", strPage.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainWindow::OpenAddress(const std::string& strAddress) {
    OpenShellAddress(m_hWnd, strAddress);
}

void CMainWindow::ShowNoDriveMessage() {
    ::MessageBoxA(m_hWnd, APP_NO_DRIVE_TEXT, APP_NAME, MB_OK | MB_SYSTEMMODAL);
}

void CMainWindow::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

// The controls the portable dialog talks to exist before it starts; the tooltips come after the
// slider has taken over its mouse, so that they see the mouse before it does.
bool CMainWindow::OnInitDialog() {
    m_events.SetMainWindow(m_hWnd);
    m_hIcon = LoadAppIcon(false);
    m_hSmallIcon = LoadAppIcon(true);
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hSmallIcon));
    m_toolBar.Create(m_hWnd);
    m_slider.Attach(::GetDlgItem(m_hWnd, IDC_SPEED_SLIDER));
    CreateToolTips(m_hWnd);
    return m_dlg.OnInitDialog();
}

bool CMainWindow::OnCommand(int nId, int nCode) {
    if (nId == IDC_DRIVE_COMBO) {
        if (nCode == CBN_SELENDOK)
            m_dlg.OnDriveChange();
        return true;
    }
    // Enter and Escape end the program, as Exit does.
    if (!m_dlg.OnCommand(nId) && (nId == IDOK || nId == IDCANCEL))
        ::EndDialog(m_hWnd, nId);
    return true;
}

bool CMainWindow::OnNotify(LPARAM lParam) {
    return AnswerToolTip(lParam);
}

bool CMainWindow::OnTimer(UINT_PTR nTimer) {
    m_dlg.OnTimer(static_cast<unsigned>(nTimer));
    return true;
}

bool CMainWindow::OnHScroll(HWND hControl) {
    if (hControl != m_slider.Handle())
        return false;
    m_dlg.OnSliderMoved();
    return true;
}

// F1, whichever control has the focus: the page that Help, Index opens.
bool CMainWindow::OnHelp() {
    m_dlg.OnCommand(ID_HELP);
    return true;
}

// The window has one size.
bool CMainWindow::OnSysCommand(UINT nCommand) {
    return nCommand == SC_SIZE || nCommand == SC_MAXIMIZE;
}

bool CMainWindow::OnPaint() {
    PAINTSTRUCT paint{};
    const HDC hDC = ::BeginPaint(m_hWnd, &paint);
    if (::IsIconic(m_hWnd)) {
        ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(hDC), 0);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(hDC, x, y, m_hIcon);
    }
    ::EndPaint(m_hWnd, &paint);
    m_dlg.OnPaint();
    return true;
}

bool CMainWindow::OnClose() {
    m_dlg.OnClose();
    return true;
}

void CMainWindow::OnDestroy() {
    m_dlg.OnDestroy();
    m_instance.Release();
    m_events.SetMainWindow(nullptr);
}

bool CMainWindow::OnOtherMessage(UINT nMessage, WPARAM wParam, LPARAM lParam) {
    // Of the device notices only a disc's arrival is answered; the others take the default answer.
    const auto dwArrived =
        nMessage == WM_DEVICECHANGE ? MediaArrivalUnits(wParam, lParam) : std::nullopt;
    if (dwArrived)
        m_dlg.OnMediaArrival(*dwArrived);
    else if (nMessage == WM_TRAY_NOTIFY)
        m_dlg.OnTrayNotify(wParam, lParam);
    else if (nMessage == WM_DEVICE_EVENT)
        m_dlg.OnDeviceEvent(wParam, lParam);
    else if (nMessage == WM_QV_END_FOR_UPDATE || nMessage == ExitRequestMessage())
        EndWithWindows();
    else if (nMessage == TaskbarCreatedMessage())
        m_trayIcon.OnTaskbarCreated();
    else
        return false;
    return true;
}

// The updater is about to start and the process to end: nothing of it may stay on the screen.
// An updater about to start, or a setup about to replace the program's files: the icon goes
// from the notification area at once, and the About dialog ends before the main window does.
void CMainWindow::EndWithWindows() {
    RemoveTrayIcon();
    m_about.EndIfOpen();
    ::EndDialog(m_hWnd, 0);
}

UINT ExitRequestMessage() {
    static const UINT nMessage = ::RegisterWindowMessageA("Quorvex (Velnor) exit");
    return nMessage;
}

void CMainWindowRunner::RunModal(CQuorvexApp& app) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&controls);
    CMainWindow window(app, m_events);
    window.RunModal(IDD_QUORVEX_DIALOG, nullptr);
}

} // namespace qv::win32
