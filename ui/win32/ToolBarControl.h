// The dialog's labelled toolbar: a toolbar control in a fixed rectangle of the dialog, one button
// per command of the layout resource, each with its picture and, under it, its label.
#pragma once

#include "platform/win32/Win32.h"

#include <commctrl.h>

#include <array>
#include <vector>

namespace qv::win32 {

class CToolBarControl {
public:
    CToolBarControl() = default;
    CToolBarControl(const CToolBarControl&) = delete;
    CToolBarControl& operator=(const CToolBarControl&) = delete;
    ~CToolBarControl();

    // Creates the bar in hDialog; without a readable layout resource the dialog has none.
    void Create(HWND hDialog);
    HWND Handle() const { return m_hWnd; }
    void SetButtonState(int nCommand, bool bEnabled, bool bPressed);

private:
    void AddButtons(const std::vector<int>& aCommands);
    void MakeButtonsAlike();

    HWND m_hWnd = nullptr;
    // Normal, disabled and hot pictures, which the control uses but does not own.
    std::array<HIMAGELIST, 3> m_ahImages{};
};

} // namespace qv::win32
