#include "ui/win32/SliderControl.h"

#include <commctrl.h>
#include <windowsx.h>

namespace qv::win32 {
namespace {

constexpr UINT_PTR SLIDER_SUBCLASS_ID = 1;
// The trackbar's own end marks, which TBM_GETNUMTICS counts beside the ticks that were set.
constexpr int END_MARKS = 2;

static_assert(SLIDER_PAGE_UP == TB_PAGEUP && SLIDER_PAGE_DOWN == TB_PAGEDOWN &&
              SLIDER_THUMB_TRACK == TB_THUMBTRACK);

SLIDER_RECT ToSliderRect(const RECT& rect) {
    return {rect.left, rect.top, rect.right, rect.bottom};
}

} // namespace

CSliderControl::~CSliderControl() {
    Detach();
}

void CSliderControl::Attach(HWND hTrackBar) {
    Detach();
    if (::SetWindowSubclass(hTrackBar, SubclassProc, SLIDER_SUBCLASS_ID,
                            reinterpret_cast<DWORD_PTR>(this)))
        m_hWnd = hTrackBar;
}

void CSliderControl::Detach() {
    if (m_hWnd)
        ::RemoveWindowSubclass(m_hWnd, SubclassProc, SLIDER_SUBCLASS_ID);
    m_hWnd = nullptr;
}

void CSliderControl::SetRange(int nMin, int nMax) {
    ::SendMessageA(m_hWnd, TBM_SETRANGEMIN, FALSE, nMin);
    ::SendMessageA(m_hWnd, TBM_SETRANGEMAX, FALSE, nMax);
}

void CSliderControl::SetTicks(const std::vector<int>& aSpeeds) {
    ::SendMessageA(m_hWnd, TBM_CLEARTICS, FALSE, 0);
    for (const int nSpeed : aSpeeds)
        ::SendMessageA(m_hWnd, TBM_SETTIC, 0, nSpeed);
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CSliderControl::SetPos(int nPos) {
    ::SendMessageA(m_hWnd, TBM_SETPOS, TRUE, nPos);
}

int CSliderControl::GetPos() const {
    return static_cast<int>(::SendMessageA(m_hWnd, TBM_GETPOS, 0, 0));
}

void CSliderControl::Enable(bool bEnable) {
    ::EnableWindow(m_hWnd, bEnable);
}

SLIDER_GEOMETRY CSliderControl::ReadGeometry() const {
    SLIDER_GEOMETRY geometry;
    geometry.nMin = static_cast<int>(::SendMessageA(m_hWnd, TBM_GETRANGEMIN, 0, 0));
    geometry.nMax = static_cast<int>(::SendMessageA(m_hWnd, TBM_GETRANGEMAX, 0, 0));
    RECT rect{};
    ::SendMessageA(m_hWnd, TBM_GETCHANNELRECT, 0, reinterpret_cast<LPARAM>(&rect));
    geometry.channel = ToSliderRect(rect);
    rect = {};
    ::SendMessageA(m_hWnd, TBM_GETTHUMBRECT, 0, reinterpret_cast<LPARAM>(&rect));
    geometry.thumb = ToSliderRect(rect);
    const int nTicks = static_cast<int>(::SendMessageA(m_hWnd, TBM_GETNUMTICS, 0, 0)) - END_MARKS;
    for (int nTick = 0; nTick < nTicks; ++nTick)
        geometry.aTicks.push_back(
            {static_cast<int>(::SendMessageA(m_hWnd, TBM_GETTICPOS, nTick, 0)),
             static_cast<int>(::SendMessageA(m_hWnd, TBM_GETTIC, nTick, 0))});
    return geometry;
}

bool CSliderControl::Carry(const SLIDER_ACTION& action) {
    if (action.nNewPos) {
        SetPos(*action.nNewPos);
        if (const HWND hParent = ::GetParent(m_hWnd); hParent && action.nNotifyCode)
            ::SendMessageA(hParent, WM_HSCROLL,
                           MAKEWPARAM(static_cast<WORD>(*action.nNotifyCode),
                                      static_cast<WORD>(*action.nNewPos)),
                           reinterpret_cast<LPARAM>(m_hWnd));
    }
    return action.bDefault;
}

LRESULT CALLBACK CSliderControl::SubclassProc(HWND hWnd, UINT nMessage, WPARAM wParam,
                                              LPARAM lParam, UINT_PTR /*nId*/, DWORD_PTR pThis) {
    auto& slider = *reinterpret_cast<CSliderControl*>(pThis);
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    switch (nMessage) {
    case WM_LBUTTONDOWN:
        if (!slider.Carry(
                slider.m_mouse.OnLButtonDown(x, y, slider.GetPos(), slider.ReadGeometry())))
            return 0;
        break;
    case WM_MOUSEMOVE:
        // The trackbar's own tracking would move the thumb between ticks.
        slider.Carry(
            slider.m_mouse.OnMouseMove(x, (wParam & MK_LBUTTON) != 0, slider.ReadGeometry()));
        return 0;
    case WM_LBUTTONUP:
        slider.Carry(slider.m_mouse.OnLButtonUp());
        break;
    case WM_NCDESTROY:
        slider.Detach();
        break;
    default:
        break;
    }
    return ::DefSubclassProc(hWnd, nMessage, wParam, lParam);
}

} // namespace qv::win32
