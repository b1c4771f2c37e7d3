#include "ui/AboutDlg.h"
#include "app/BuildConfig.h"
#include "tests/support/MemoryRegistry.h"
#include "tests/support/StandInUpdate.h"
#include "ui/Commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qv::test {
namespace {

using Calls = std::vector<std::string>;

class CRecordingAboutView : public CAboutView {
public:
    void OpenUrlInBrowser(const std::string& strUrl) override {
        m_aCalls.push_back("browse " + strUrl);
    }
    void OpenAddress(const std::string& strAddress) override {
        m_aCalls.push_back("shell " + strAddress);
    }
    void RunProgressWindow() override { m_aCalls.push_back("progress"); }
    void EndDialog(int nResult) override { m_aCalls.push_back("end " + std::to_string(nResult)); }
    Calls m_aCalls;
};

class AboutDlgTest : public ::testing::Test {
protected:
    Calls After(int nControl) {
        m_view.m_aCalls.clear();
        m_dlg.OnCommand(m_view, nControl);
        return m_view.m_aCalls;
    }

    CMemoryRegistry m_registry;
    CStandInUpdate m_update;
    CQuickUpdateDlg m_updateCheck{m_registry, REGKEY_CURRENT_USER, m_update.services};
    CAboutDlg m_dlg{m_updateCheck};
    CRecordingAboutView m_view;
};

TEST_F(AboutDlgTest, EachControlDoesItsOneThingAndTheActiveOnesHaveToolTips) {
    EXPECT_EQ(After(IDC_ABOUT_WEB_LINK), Calls{"browse " QV_HOME_PAGE});
    EXPECT_EQ(After(IDC_ABOUT_SUPPORT_LINK), Calls{"shell mailto:" QV_SUPPORT_ADDRESS});
    EXPECT_EQ(After(IDC_ABOUT_CHECK_UPDATE), Calls{"progress"});
    EXPECT_EQ(After(IDC_ABOUT_CLOSE), Calls{"end 0"});
    EXPECT_EQ(After(IDC_ABOUT_TITLE), Calls{});

    EXPECT_EQ(m_dlg.ToolTipText(IDC_ABOUT_WEB_LINK), "Visit  Velnor Inc. home site");
    EXPECT_EQ(m_dlg.ToolTipText(IDC_ABOUT_SUPPORT_LINK), "Contact Quorvex support team");
    EXPECT_EQ(m_dlg.ToolTipText(IDC_ABOUT_CHECK_UPDATE),
              "Check for available updates on updates.velnor.example");
    for (const int nControl : {IDC_ABOUT_CLOSE, IDC_ABOUT_TITLE, 0})
        EXPECT_EQ(m_dlg.ToolTipText(nControl), "") << nControl;
    EXPECT_TRUE(CAboutDlg::IsLink(IDC_ABOUT_WEB_LINK));
    EXPECT_TRUE(CAboutDlg::IsLink(IDC_ABOUT_SUPPORT_LINK));
    EXPECT_FALSE(CAboutDlg::IsLink(IDC_ABOUT_CHECK_UPDATE));
}

} // namespace
} // namespace qv::test
