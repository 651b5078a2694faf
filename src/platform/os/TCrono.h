#pragma once

#include <cstdint>

namespace tav::os {

// A stopwatch in milliseconds on the system's monotonic counter. Elapsed is stop − start when the
// start tick is below the stop tick, else 0 (so a counter that wrapped around gives 0).
class TCrono
{
public:
    void start();
    void stop();
    bool running() const { return m_running; }
    int64_t elapsed() const { return m_startTick < m_stopTick ? m_stopTick - m_startTick : 0; }

    // For tests of the wrap-around rule.
    void setTicks(int64_t startTick, int64_t stopTick)
    {
        m_startTick = startTick;
        m_stopTick = stopTick;
    }

private:
    int64_t m_startTick = 0;
    int64_t m_stopTick = 0;
    bool m_running = false;
};

} // namespace tav::os
