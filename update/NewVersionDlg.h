// The dialog "New version is available": the description as the server sent it, and Yes, which
// hands over to the updater and ends the program.
#pragma once

#include "update/UpdateView.h"

#include <string>
#include <utility>

namespace qv {

inline constexpr int NEW_VERSION_YES = 1023;
inline constexpr int NEW_VERSION_NO = 1024;

class CNewVersionView {
public:
    virtual ~CNewVersionView() = default;

    virtual void SetText(const std::string& strText) = 0;
    virtual void EndDialog(int nResult) = 0;
};

// The program's side of the hand-over.
class CUpdaterLauncher {
public:
    virtual ~CUpdaterLauncher() = default;

    // Starts the updater from the program's own folder, never from the current directory or
    // the search path; false when it cannot be started.
    virtual bool StartUpdater() = 0;
    // Takes the icon out of the notification area, ends the program's windows and then the
    // process at once, without the normal end of a run.
    virtual void EndProgram() = 0;
};

class CNewVersionDlg {
public:
    CNewVersionDlg(std::string strText, CUpdateView& view, CUpdaterLauncher& launcher)
        : m_strText(std::move(strText)), m_view(view), m_launcher(launcher) {}

    void OnInitDialog(CNewVersionView& dialog) { dialog.SetText(m_strText); }
    void OnNo(CNewVersionView& dialog) { dialog.EndDialog(NEW_VERSION_NO); }
    // The dialog ends first; an updater that cannot start leaves the program running.
    void OnYes(CNewVersionView& dialog) {
        dialog.EndDialog(NEW_VERSION_YES);
        if (m_launcher.StartUpdater())
            m_launcher.EndProgram();
        else
            m_view.ShowMessage(UPDATER_FAILED_TEXT);
    }

private:
    std::string m_strText;
    CUpdateView& m_view;
    CUpdaterLauncher& m_launcher;
};

} // namespace qv
