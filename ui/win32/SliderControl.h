// The speed slider over the dialog's trackbar: range, ticks and position in speeds, and the mouse
// rules that land every click and drag on a detected speed or an end of the range.
#pragma once

#include "platform/win32/Win32.h"
#include "ui/SpeedSlider.h"

#include <vector>

namespace qv::win32 {

class CSliderControl {
public:
    CSliderControl() = default;
    CSliderControl(const CSliderControl&) = delete;
    CSliderControl& operator=(const CSliderControl&) = delete;
    ~CSliderControl();

    // Takes over the mouse of the trackbar; until Detach, or the trackbar's end.
    void Attach(HWND hTrackBar);
    void Detach();

    HWND Handle() const { return m_hWnd; }
    void SetRange(int nMin, int nMax);
    void SetTicks(const std::vector<int>& aSpeeds);
    void SetPos(int nPos);
    int GetPos() const;
    void Enable(bool bEnable);

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT nMessage, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR nId, DWORD_PTR pThis);
    SLIDER_GEOMETRY ReadGeometry() const;
    // What the mouse rules decided; whether the trackbar's own handling is still to run.
    bool Carry(const SLIDER_ACTION& action);

    HWND m_hWnd = nullptr;
    CSpeedSliderMouse m_mouse;
};

} // namespace qv::win32
