// Stands in for the main window: keeps the state the dialog leaves in each control, menu item
// and timer, and the order of the window operations it asks for.
#pragma once

#include "ui/MainView.h"

#include <array>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qv::test {

using BUTTON_STATE = std::pair<bool, bool>;    // enabled, pressed
using MENU_ITEM_STATE = std::pair<bool, bool>; // checked, grayed

using Calls = std::vector<std::string>;
using SpeedTexts = std::array<std::string, 3>; // the maximum, current and selected speed

class CFakeMainView : public CMainView {
public:
    void ShowDriveEntries(const std::vector<std::string>& aTexts, int nSelected) override {
        m_aEntries = aTexts;
        m_nSelectedEntry = nSelected;
        ++m_nEntryFills;
    }
    int GetSelectedEntry() const override { return m_nSelectedEntry; }

    void SetSliderRange(int nMin, int nMax) override { m_range = {nMin, nMax}; }
    void SetSliderTicks(const std::vector<int>& aSpeeds) override { m_aTicks = aSpeeds; }
    void SetSliderPos(int nPos) override { m_nSliderPos = nPos; }
    int GetSliderPos() const override { return m_nSliderPos; }
    void EnableSlider(bool bEnable) override { m_bSliderEnabled = bEnable; }

    void ShowSpeedTexts(const std::string& strMax, const std::string& strCur,
                        const std::string& strSel) override {
        m_aSpeedTexts = {strMax, strCur, strSel};
    }
    void SetRunOnBootCheck(bool bChecked) override { m_bRunOnBootChecked = bChecked; }

    void SetButtonState(int nCommand, bool bEnabled, bool bPressed) override {
        m_mapButtons[nCommand] = {bEnabled, bPressed};
    }
    void SetMenuItemState(int nPopupCommand, int nMenuCommand, bool bChecked,
                          bool bGrayed) override {
        m_mapMenuItems[nPopupCommand] = {bChecked, bGrayed};
        m_mapMenuItems[nMenuCommand] = {bChecked, bGrayed};
    }

    void StartKeepTimer() override { Record("StartKeepTimer", &m_bTimerRunning, true); }
    void StopKeepTimer() override { Record("StopKeepTimer", &m_bTimerRunning, false); }
    void AddTrayIcon() override { Record("AddTrayIcon", &m_bTrayIcon, true); }
    void RemoveTrayIcon() override { Record("RemoveTrayIcon", &m_bTrayIcon, false); }
    void ShowTrayMenu() override { Record("ShowTrayMenu"); }
    void RestoreWindow() override { Record("RestoreWindow", &m_bVisible, true); }
    void HideWindow() override { Record("HideWindow", &m_bVisible, false); }
    bool ClaimSingleInstance() override {
        Record("ClaimSingleInstance");
        return m_bOnlyInstance;
    }
    void RunSplash() override {
        Record("RunSplash");
        if (m_duringSplash)
            m_duringSplash();
    }
    void RunAbout() override { Record("RunAbout"); }
    void OpenHelp() override { Record("OpenHelp"); }
    void OpenAddress(const std::string& strAddress) override {
        Record("OpenAddress " + strAddress);
    }
    void ShowNoDriveMessage() override { Record("ShowNoDriveMessage"); }
    void EndDialog(int nResult) override { Record("EndDialog " + std::to_string(nResult)); }

    // A control the dialog never set keeps the default state: an enabled button, a plain item.
    BUTTON_STATE Button(int nCommand) {
        return m_mapButtons.try_emplace(nCommand, true, false).first->second;
    }
    MENU_ITEM_STATE MenuItem(int nCommand) { return m_mapMenuItems[nCommand]; }

    std::vector<std::string> m_aEntries;
    int m_nSelectedEntry = -1;
    int m_nEntryFills = 0;
    std::pair<int, int> m_range{0, 100};
    std::vector<int> m_aTicks;
    int m_nSliderPos = 0;
    bool m_bSliderEnabled = false;
    // Texts no rule of the dialog gives, so that a label it never set stands out.
    SpeedTexts m_aSpeedTexts{"100x", "100x", "100x  (17600 Kb/s)"};
    bool m_bRunOnBootChecked = false;
    std::map<int, BUTTON_STATE> m_mapButtons;
    std::map<int, MENU_ITEM_STATE> m_mapMenuItems;
    bool m_bTimerRunning = false;
    bool m_bTrayIcon = false;
    bool m_bVisible = true;
    bool m_bOnlyInstance = true;
    // What the splash's own message loop delivers to the dialog meanwhile.
    std::function<void()> m_duringSplash;
    // Window, timer and shell operations in the order they were asked for.
    Calls m_aCalls;

private:
    void Record(std::string strCall, bool* pState = nullptr, bool bState = false) {
        m_aCalls.push_back(std::move(strCall));
        if (pState)
            *pState = bState;
    }
};

} // namespace qv::test
