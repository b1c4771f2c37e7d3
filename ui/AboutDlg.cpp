#include "ui/AboutDlg.h"

#include "app/BuildConfig.h"
#include "ui/Commands.h"

namespace qv {

void CAboutDlg::OnCommand(CAboutView& view, int nControl) {
    switch (nControl) {
    case IDC_ABOUT_CLOSE:
        view.EndDialog(0);
        break;
    case IDC_ABOUT_WEB_LINK:
        view.OpenUrlInBrowser(QV_HOME_PAGE);
        break;
    case IDC_ABOUT_SUPPORT_LINK:
        view.OpenAddress(std::string("mailto:") + QV_SUPPORT_ADDRESS);
        break;
    case IDC_ABOUT_CHECK_UPDATE:
        // Both checks would share one object: the outcome of the first is still to come.
        if (!m_updateCheck.IsChecking())
            view.RunProgressWindow();
        break;
    default:
        break;
    }
}

std::string CAboutDlg::ToolTipText(int nControl) const {
    switch (nControl) {
    case IDC_ABOUT_WEB_LINK:
        return "Visit  " QV_MAKER " Inc. home site";
    case IDC_ABOUT_SUPPORT_LINK:
        return "Contact Quorvex support team";
    case IDC_ABOUT_CHECK_UPDATE:
        return "Check for available updates on " + m_updateCheck.Host();
    default:
        return {};
    }
}

bool CAboutDlg::IsLink(int nControl) {
    return nControl == IDC_ABOUT_WEB_LINK || nControl == IDC_ABOUT_SUPPORT_LINK;
}

} // namespace qv
