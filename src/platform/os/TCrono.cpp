#include "platform/os/TCrono.h"

#include <chrono>

namespace tav::os {

namespace {
int64_t tick()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
} // namespace

void TCrono::start()
{
    m_startTick = tick();
    m_running = true;
}

void TCrono::stop()
{
    m_stopTick = tick();
    m_running = false;
}

} // namespace tav::os
