// The speed slider's mouse rules: a click or a drag lands on a detected speed (a tick mark) or
// on an end of the range; the keyboard keeps the trackbar's own steps. Pure functions over the
// slider's geometry, so they run without a window.
#pragma once

#include <optional>
#include <vector>

namespace qv {

struct SLIDER_RECT {
    int nLeft = 0;
    int nTop = 0;
    int nRight = 0;
    int nBottom = 0;
    bool Contains(int x, int y) const {
        return x >= nLeft && x < nRight && y >= nTop && y < nBottom;
    }
};

struct SLIDER_TICK {
    int x;      // client x of the tick mark
    int nValue; // its position value
};

// What the control reports: its range, channel, thumb and the ticks set on it, in the
// control's own tick order (the two end marks are not among them).
struct SLIDER_GEOMETRY {
    int nMin = 1;
    int nMax = 1;
    SLIDER_RECT channel;
    SLIDER_RECT thumb;
    std::vector<SLIDER_TICK> aTicks;
};

// The position for a click or drag at client x: an end, or the nearest tick. Ties between an
// end and a tick go to the end; between two ticks to the one later in the control's order.
int SnapToTick(int x, const SLIDER_GEOMETRY& geometry);

// Scroll codes the slider sends its parent.
inline constexpr int SLIDER_PAGE_UP = 2;
inline constexpr int SLIDER_PAGE_DOWN = 3;
inline constexpr int SLIDER_THUMB_TRACK = 5;

// What the control does with one mouse message.
struct SLIDER_ACTION {
    bool bDefault = false;          // the trackbar's standard handling runs
    std::optional<int> nNewPos;     // set this position, with redraw
    std::optional<int> nNotifyCode; // then tell the parent (WM_HSCROLL) with nNewPos
};

class CSpeedSliderMouse {
public:
    SLIDER_ACTION OnLButtonDown(int x, int y, int nCurPos, const SLIDER_GEOMETRY& geometry);
    SLIDER_ACTION OnMouseMove(int x, bool bLeftButton, const SLIDER_GEOMETRY& geometry);
    SLIDER_ACTION OnLButtonUp();

private:
    int m_nLastPos = 0;
    bool m_bDragging = false;
};

} // namespace qv
