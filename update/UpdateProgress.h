// The bar of the progress window measures time, not the download: it fills over a minute in
// 200 ms steps and then stands full until the check ends.
#pragma once

namespace qv {

class CUpdateProgress {
public:
    static constexpr int RANGE = 1024;
    static constexpr int TICK_MS = 200;
    static constexpr int FULL_MS = 60000;

    int Position() const { return m_nElapsed * RANGE / FULL_MS; }
    // One tick of the timer, which is killed first. Whether to set it again: not once the bar
    // is full.
    bool Tick() {
        if (m_nElapsed >= FULL_MS)
            return false;
        m_nElapsed += TICK_MS;
        return true;
    }

private:
    int m_nElapsed = TICK_MS; // in ms; opening counts as the first step
};

} // namespace qv
