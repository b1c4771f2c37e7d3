#include "update/win32/QuickUpdateWindow.h"

#include "app/Texts.h"
#include "platform/win32/Win32Dialog.h"
#include "platform/win32/Win32Library.h"
#include "res/resource.h"

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
    bool OnInitDialog() override {
        m_updateCheck.OnInitDialog(*this);
        return true;
    }
    bool OnTimer(UINT_PTR nTimer) override {
        if (nTimer != ID_UPDATE_TICK_TIMER)
            return false;
        m_updateCheck.OnTimer(*this);
        return true;
    }
    // The close box gives the check up; Escape only closes the window.
    bool OnClose() override {
        m_updateCheck.OnCloseRequest();
        ::EndDialog(m_hWnd, IDCANCEL);
        return true;
    }
    bool OnCommand(int nId, int /*nCode*/) override {
        if (nId != IDCANCEL)
            return false;
        ::EndDialog(m_hWnd, IDCANCEL);
        return true;
    }
    bool OnOtherMessage(UINT nMessage, WPARAM wParam, LPARAM /*lParam*/) override {
        if (nMessage != WM_QV_END_PROGRESS)
            return false;
        ::EndDialog(m_hWnd, static_cast<INT_PTR>(wParam));
        return true;
    }
    void OnDestroy() override { m_updateCheck.OnWindowClosed(); }

private:
    CQuickUpdateDlg& m_updateCheck;
};

// Starts the updater from the program's own folder, never from the current directory or the
// search path; false when it cannot be started.
bool StartUpdater() {
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

// Takes the icon out of the notification area, ends the program's windows and then the process
// at once, without the normal end of a run.
void EndProgram(CWin32EventService& events) {
    if (const HWND hMainWnd = events.MainWindow())
        ::SendMessageTimeoutW(hMainWnd, WM_QV_END_FOR_UPDATE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                              END_WINDOWS_TIMEOUT_MS, nullptr);
    ::ExitProcess(0);
}

// "New version is available": the description as the server sent it, and Yes, which hands over
// to the updater and ends the program.
class CNewVersionWindow : public CDialog {
public:
    CNewVersionWindow(const std::string& strText, CUpdateView& view, CWin32EventService& events)
        : m_strText(strText), m_view(view), m_events(events) {}

protected:
    bool OnInitDialog() override {
        ::SetDlgItemTextA(m_hWnd, IDC_NEW_VERSION_TEXT, m_strText.c_str());
        return true;
    }
    bool OnCommand(int nId, int /*nCode*/) override {
        switch (nId) {
        case IDC_NEW_VERSION_YES:
            // The dialog ends first; an updater that cannot start leaves the program running.
            ::EndDialog(m_hWnd, nId);
            if (StartUpdater())
                EndProgram(m_events);
            else
                m_view.ShowMessage(UPDATER_FAILED_TEXT);
            return true;
        case IDC_NEW_VERSION_NO:
        case IDCANCEL:
            ::EndDialog(m_hWnd, nId);
            return true;
        default:
            return false;
        }
    }

private:
    std::string m_strText;
    CUpdateView& m_view;
    CWin32EventService& m_events;
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
    CNewVersionWindow(strText, *this, m_events).RunModal(IDD_NEW_VERSION, nullptr);
}

} // namespace qv::win32
