#pragma once

#include <QDate>
#include <QDateTime>

namespace tav::store {

// Today's date for every date rule (ages, purge cut-off, payment days); tests fix it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const { return QDateTime::currentDateTime(); }
    QDate today() const { return now().date(); }
};

class FixedClock : public Clock
{
public:
    explicit FixedClock(QDateTime at) : m_at(std::move(at)) {}
    QDateTime now() const override { return m_at; }
    void set(QDateTime at) { m_at = std::move(at); }

private:
    QDateTime m_at;
};

} // namespace tav::store
