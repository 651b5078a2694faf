#include "platform/dbf/DbfTypes.h"

namespace tav::dbf {

bool Date::isValid() const
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int max = (month == 2 && leap) ? 29 : days[month - 1];
    return day <= max;
}

long Date::julianDay() const
{
    // Gregorian calendar to Julian day number (Fliegel & Van Flandern).
    const long a = (14 - month) / 12;
    const long y = year + 4800 - a;
    const long m = month + 12 * a - 3;
    return day + (153 * m + 2) / 5 + 365 * y + y / 4 - y / 100 + y / 400 - 32045;
}

Date Date::fromJulianDay(long jd)
{
    const long a = jd + 32044;
    const long b = (4 * a + 3) / 146097;
    const long c = a - 146097 * b / 4;
    const long d = (4 * c + 3) / 1461;
    const long e = c - 1461 * d / 4;
    const long m = (5 * e + 2) / 153;
    Date r;
    r.day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    r.month = static_cast<int>(m + 3 - 12 * (m / 10));
    r.year = static_cast<int>(100 * b + d - 4800 + m / 10);
    return r;
}

double Value::asDouble() const
{
    if (const auto *i = std::get_if<int64_t>(&m_v))
        return static_cast<double>(*i);
    return std::get<double>(m_v);
}

int64_t Value::asInt() const
{
    if (const auto *d = std::get_if<double>(&m_v))
        return static_cast<int64_t>(*d);
    return std::get<int64_t>(m_v);
}

std::string Value::stringOr(const std::string &fallback) const
{
    if (const auto *s = std::get_if<std::string>(&m_v))
        return *s;
    return fallback;
}

double Value::doubleOr(double fallback) const
{
    return isNumber() ? asDouble() : fallback;
}

bool Value::boolOr(bool fallback) const
{
    if (const auto *b = std::get_if<bool>(&m_v))
        return *b;
    return fallback;
}

} // namespace tav::dbf
