#include "update/win32/QuickUpdateWindow.h"

#include "app/Quorvex.h"
#include "platform/win32/Win32Library.h"
#include "res/resource.h"
#include "ui/win32/DialogProc.h"

#include <commctrl.h>

#include <string>

namespace qv::win32 {
namespace {

constexpr const wchar_t* UPDATER_FILE_NAME = L"UpdateQuorvex.exe";
// How long the worker that starts the updater waits for the main window to close its own.
constexpr UINT END_WINDOWS_TIMEOUT_MS = 2000;

class CProgressWindow : public CDialog, public CProgressView {
public:
    explicit CProgressWindow(CQuickUpdateDlg& updateCheck) : m_updateCheck(updateCheck) {}

    void SetProgressRange(int nHigh) override {
        ::SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETRANGE32, 0, nHigh);
    }
    void SetProgressPos(int nPos) override {
        ::SendDlgItemMessageW(m_hWnd, IDC_UPDATE_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(nPos),
                              0);
    }
    void SetTickTimer(int nPeriodMs) override {
        ::SetTimer(m_hWnd, ID_UPDATE_TICK_TIMER, static_cast<UINT>(nPeriodMs), nullptr);
    }
    void KillTickTimer() override { ::KillTimer(m_hWnd, ID_UPDATE_TICK_TIMER); }
    void EndProgress(int nResult) override {
        ::PostMessageW(m_hWnd, WM_QV_END_PROGRESS, static_cast<WPARAM>(nResult), 0);
    }

protected:
    INT_PTR OnMessage(UINT nMessage, WPARAM wParam, LPARAM) override {
        switch (nMessage) {
        case WM_INITDIALOG:
            m_updateCheck.OnInitDialog(*this);
            return TRUE;
        case WM_TIMER:
            if (wParam != ID_UPDATE_TICK_TIMER)
                return FALSE;
            m_updateCheck.OnTimer(*this);
            return TRUE;
        case WM_CLOSE:
            // The close box gives the check up; Escape, below, only closes the window.
            m_updateCheck.OnCloseRequest();
            ::EndDialog(m_hWnd, IDCANCEL);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) != IDCANCEL)
                return FALSE;
            ::EndDialog(m_hWnd, IDCANCEL);
            return TRUE;
        case WM_QV_END_PROGRESS:
            ::EndDialog(m_hWnd, static_cast<INT_PTR>(wParam));
            return TRUE;
        case WM_DESTROY:
            m_updateCheck.OnWindowClosed();
            return FALSE;
        default:
            return FALSE;
        }
    }

private:
    CQuickUpdateDlg& m_updateCheck;
};

class CNewVersionWindow : public CDialog, public CNewVersionView {
public:
    CNewVersionWindow(const std::string& strText, CUpdateView& view, CUpdaterLauncher& launcher)
        : m_dlg(strText, view, launcher) {}

    void SetText(const std::string& strText) override {
        ::SetDlgItemTextA(m_hWnd, IDC_NEW_VERSION_TEXT, strText.c_str());
    }
    void EndDialog(int nResult) override { ::EndDialog(m_hWnd, nResult); }

protected:
    INT_PTR OnMessage(UINT nMessage, WPARAM wParam, LPARAM) override {
        switch (nMessage) {
        case WM_INITDIALOG:
            m_dlg.OnInitDialog(*this);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
            case IDC_NEW_VERSION_YES:
                m_dlg.OnYes(*this);
                return TRUE;
            case IDC_NEW_VERSION_NO:
                m_dlg.OnNo(*this);
                return TRUE;
            case IDCANCEL:
                EndDialog(IDCANCEL);
                return TRUE;
            default:
                return FALSE;
            }
        default:
            return FALSE;
        }
    }

private:
    CNewVersionDlg m_dlg;
};

} // namespace

void RunQuickUpdateWindow(HWND hOwner, CQuickUpdateDlg& updateCheck) {
    CProgressWindow(updateCheck).RunModal(IDD_QUICK_UPDATE, hOwner);
}

CWin32UpdateView::CWin32UpdateView(CWin32EventService& events) : m_events(events) {}

void CWin32UpdateView::ShowMessage(const char* pszText) {
    ::MessageBoxA(nullptr, pszText, APP_NAME, MB_OK);
}

void CWin32UpdateView::RunNewVersionDialog(const std::string& strText) {
    CNewVersionWindow(strText, *this, *this).RunModal(IDD_NEW_VERSION, nullptr);
}

bool CWin32UpdateView::StartUpdater() {
    const std::wstring strFolder = ProgramFolder();
    if (strFolder.empty())
        return false;
    const std::wstring strPath = strFolder + L"\\" + UPDATER_FILE_NAME;
    // The command line names the file as it is; the application name alone decides which runs.
    std::wstring strCommandLine = L"\"" + strPath + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(strPath.c_str(), strCommandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &process))
        return false;
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return true;
}

void CWin32UpdateView::EndProgram() {
    if (const HWND hMainWnd = m_events.MainWindow())
        ::SendMessageTimeoutW(hMainWnd, WM_QV_END_FOR_UPDATE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                              END_WINDOWS_TIMEOUT_MS, nullptr);
    ::ExitProcess(0);
}

} // namespace qv::win32
