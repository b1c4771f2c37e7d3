// The About dialog: the version, the two links to the maker and the on-demand update check.
#pragma once

#include "update/QuickUpdateDlg.h"

#include <string>

namespace qv {

class CAboutView {
public:
    virtual ~CAboutView() = default;

    // The web page in the browser that opens HTML files.
    virtual void OpenUrlInBrowser(const std::string& strUrl) = 0;
    // A mailto: address, handed to the shell as it stands.
    virtual void OpenAddress(const std::string& strAddress) = 0;
    // The progress window of a new check, modal to the About dialog, which is disabled meanwhile.
    virtual void RunProgressWindow() = 0;
    virtual void EndDialog(int nResult) = 0;
};

// The links' text colour, blue on the dialog's face whatever the system's link colour.
inline constexpr unsigned ABOUT_LINK_COLOR = 0xFF0000; // RGB(0, 0, 255)

class CAboutDlg {
public:
    // The check lives as long as the main window and outlives every run of the dialog.
    explicit CAboutDlg(CQuickUpdateDlg& updateCheck) : m_updateCheck(updateCheck) {}

    void OnCommand(CAboutView& view, int nControl);
    // The tool tip of a control; empty for a control that has none.
    std::string ToolTipText(int nControl) const;
    static bool IsLink(int nControl);

private:
    CQuickUpdateDlg& m_updateCheck;
};

} // namespace qv
