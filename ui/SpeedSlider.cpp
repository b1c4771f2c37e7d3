#include "ui/SpeedSlider.h"

#include <algorithm>
#include <cstdlib>

namespace qv {
namespace {

bool IsEmpty(const SLIDER_RECT& rect) {
    return rect.nLeft >= rect.nRight || rect.nTop >= rect.nBottom;
}

// The smallest rectangle holding both, as UnionRect makes it: an empty one adds nothing.
SLIDER_RECT Union(const SLIDER_RECT& a, const SLIDER_RECT& b) {
    if (IsEmpty(a))
        return b;
    if (IsEmpty(b))
        return a;
    return {std::min(a.nLeft, b.nLeft), std::min(a.nTop, b.nTop), std::max(a.nRight, b.nRight),
            std::max(a.nBottom, b.nBottom)};
}

SLIDER_ACTION StandardHandling() {
    SLIDER_ACTION action;
    action.bDefault = true;
    return action;
}

SLIDER_ACTION MoveTo(int nPos, int nNotifyCode) {
    SLIDER_ACTION action;
    action.nNewPos = nPos;
    action.nNotifyCode = nNotifyCode;
    return action;
}

} // namespace

int SnapToTick(int x, const SLIDER_GEOMETRY& geometry) {
    const SLIDER_RECT& channel = geometry.channel;
    if (x <= channel.nLeft)
        return geometry.nMin;
    if (x >= channel.nRight)
        return geometry.nMax;
    const int nToLeft = std::abs(x - channel.nLeft);
    const int nToRight = std::abs(x - channel.nRight);
    int nValue = nToRight < nToLeft ? geometry.nMax : geometry.nMin;
    int nDistance = std::min(nToLeft, nToRight);
    // From the control's last tick to its first, so that of two ticks equally near the later
    // one wins; an end keeps a tie against any tick.
    for (auto it = geometry.aTicks.rbegin(); it != geometry.aTicks.rend(); ++it) {
        if (const int nToTick = std::abs(x - it->x); nToTick < nDistance) {
            nValue = it->nValue;
            nDistance = nToTick;
        }
    }
    return nValue;
}

SLIDER_ACTION CSpeedSliderMouse::OnLButtonDown(int x, int y, int nCurPos,
                                               const SLIDER_GEOMETRY& geometry) {
    if (geometry.thumb.Contains(x, y)) {
        // The trackbar tracks its own thumb; moves are snapped from here on.
        m_bDragging = true;
        m_nLastPos = nCurPos;
        return StandardHandling();
    }
    if (!Union(geometry.channel, geometry.thumb).Contains(x, y))
        return StandardHandling();
    // A click beside the thumb jumps to a speed instead of paging.
    const int nPos = SnapToTick(x, geometry);
    m_nLastPos = nPos;
    if (nPos == nCurPos)
        return {};
    return MoveTo(nPos, nPos >= nCurPos ? SLIDER_PAGE_DOWN : SLIDER_PAGE_UP);
}

SLIDER_ACTION CSpeedSliderMouse::OnMouseMove(int x, bool bLeftButton,
                                             const SLIDER_GEOMETRY& geometry) {
    if (!bLeftButton || !m_bDragging)
        return {};
    const int nPos = SnapToTick(x, geometry);
    if (nPos == m_nLastPos)
        return {};
    m_nLastPos = nPos;
    return MoveTo(nPos, SLIDER_THUMB_TRACK);
}

SLIDER_ACTION CSpeedSliderMouse::OnLButtonUp() {
    m_bDragging = false;
    return StandardHandling();
}

} // namespace qv
