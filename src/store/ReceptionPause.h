#pragma once

#include <QTimer>

namespace tav::store {

// Stops the automatic-reception timer for a command (a capture, an answer shown) and starts it again when
// the command ends, however it ends. A timer that was not running (reception switched off) stays off.
class [[nodiscard]] ReceptionPause
{
public:
    explicit ReceptionPause(QTimer &timer) : m_timer(timer), m_wasActive(timer.isActive()) { m_timer.stop(); }
    ~ReceptionPause()
    {
        if (m_wasActive)
            m_timer.start();
    }
    ReceptionPause(const ReceptionPause &) = delete;
    ReceptionPause &operator=(const ReceptionPause &) = delete;

private:
    QTimer &m_timer;
    bool m_wasActive;
};

} // namespace tav::store
