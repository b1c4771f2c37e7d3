#include "ui/win32/AboutWindow.h"

#include "app/Texts.h"
#include "res/resource.h"
#include "ui/win32/Browser.h"
#include "ui/win32/SplashWindow.h"
#include "ui/win32/ToolTips.h"
#include "update/win32/QuickUpdateWindow.h"

#include <richedit.h>

namespace qv::win32 {
namespace {

// The title's type: bold 16-point "MS Sans Serif", black rather than the automatic colour.
constexpr LONG TITLE_HEIGHT_TWIPS = 320;
constexpr const char* TITLE_FACE = "MS Sans Serif";

} // namespace

// The notification area's menu still reaches the disabled main window while the dialog is open:
// its About brings the open dialog forward rather than run the object a second time.
void CAboutWindow::Run(HWND hOwner) {
    if (m_hWnd) {
        ::SetForegroundWindow(m_hWnd);
        return;
    }
    RunModal(IDD_ABOUT, hOwner);
}

void CAboutWindow::EndIfOpen() {
    if (m_hWnd)
        ::EndDialog(m_hWnd, 0);
}

void CAboutWindow::OpenUrlInBrowser(const std::string& strUrl) {
    win32::OpenUrlInBrowser(m_hWnd, strUrl);
}

void CAboutWindow::OpenAddress(const std::string& strAddress) {
    OpenShellAddress(m_hWnd, strAddress);
}

void CAboutWindow::RunProgressWindow() {
    RunQuickUpdateWindow(m_hWnd, m_updateCheck);
}

void CAboutWindow::EndDialog(int nResult) {
    ::EndDialog(m_hWnd, nResult);
}

// The focus goes to the default button, Close: the title, the first control that takes it,
// would show selected.
bool CAboutWindow::OnInitDialog() {
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadAppIcon(false)));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(LoadAppIcon(true)));
    CreateToolTips(m_hWnd, [this](int nControl) { return m_dlg.ToolTipText(nControl); });
    FormatTitle();
    ::SetFocus(::GetDlgItem(m_hWnd, IDC_ABOUT_CLOSE));
    return false;
}

// A link's STN_CLICKED has the code of a button's BN_CLICKED.
bool CAboutWindow::OnCommand(int nId, int nCode) {
    if (nCode != BN_CLICKED)
        return false;
    if (nId == IDCANCEL)
        ::EndDialog(m_hWnd, IDCANCEL);
    else
        m_dlg.OnCommand(*this, nId);
    return true;
}

bool CAboutWindow::OnNotify(LPARAM lParam) {
    return AnswerToolTip(lParam, [this](int nControl) { return m_dlg.ToolTipText(nControl); });
}

// The background blends with the dialog's face, so that the title reads as a large label. The
// text comes first: the format of an empty control need not pass to text set later.
void CAboutWindow::FormatTitle() {
    const HWND hTitle = ::GetDlgItem(m_hWnd, IDC_ABOUT_TITLE);
    ::SetWindowTextA(hTitle, APP_NAME);
    CHARFORMATA format{};
    format.cbSize = sizeof format;
    format.dwMask = CFM_BOLD | CFM_SIZE | CFM_COLOR | CFM_FACE;
    format.dwEffects = CFE_BOLD;
    format.yHeight = TITLE_HEIGHT_TWIPS;
    format.crTextColor = RGB(0, 0, 0);
    ::lstrcpynA(format.szFaceName, TITLE_FACE, LF_FACESIZE);
    ::SendMessageA(hTitle, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
    ::SendMessageA(hTitle, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(::GetSysColor(COLOR_BTNFACE)));
}

// The links are blue on the dialog's face whatever the system's link colour; every other static
// keeps the default colours.
HBRUSH CAboutWindow::OnColorStatic(HDC hDC, HWND hControl) {
    if (!CAboutDlg::IsLink(::GetDlgCtrlID(hControl)))
        return nullptr;
    ::SetTextColor(hDC, ABOUT_LINK_COLOR);
    ::SetBkColor(hDC, ::GetSysColor(COLOR_BTNFACE));
    return ::GetSysColorBrush(COLOR_BTNFACE);
}

} // namespace qv::win32
