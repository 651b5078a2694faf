#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace tav::dbf {

// Column types of dBASE III+/IV/5 and level 7.
enum class FieldType : char {
    Character = 'C', // text, space-padded, Windows-1252 bytes as stored
    Numeric = 'N',   // ASCII number, right-justified
    Float = 'F',     // stored like Numeric (dBASE IV "floating")
    Date = 'D',      // "YYYYMMDD"
    Logical = 'L',   // T/F/Y/N, '?' or space = null
    Memo = 'M',      // text in the .DBT
    Binary = 'B',    // bytes in the .DBT (images)
    General = 'G',   // OLE bytes in the .DBT
    Integer = 'I',   // level 7: 4-byte integer
    AutoInc = '+',   // level 7: 4-byte autoincrement
    Double = 'O',    // level 7: 8-byte double
    Timestamp = '@'  // level 7: 8-byte date and time
};

// One column. For C/N/F `length` is the stored width (C up to 254) and `decimals` the digits after the
// point (N/F only); for other types length is implied (D 8, L 1, M/B/G 10, I/+ 4, O/@ 8) and
// the value given here is ignored when creating.
struct FieldDef
{
    std::string name; // up to 10 characters (31 at level 7); compared without regard to case
    FieldType type = FieldType::Character;
    uint8_t length = 0;
    uint8_t decimals = 0;
};

// A calendar date. A default Date (0/0/0) is not a valid date; null dates are Value nulls.
struct Date
{
    int year = 0;
    int month = 0;
    int day = 0;
    auto operator<=>(const Date &) const = default;
    bool isValid() const;
    long julianDay() const; // Julian day number (2000-01-01 = 2451545); only for valid dates
    static Date fromJulianDay(long jd);
};

// A level-7 timestamp ('@' fields): date plus milliseconds since midnight.
struct DateTime
{
    Date date;
    int64_t msecOfDay = 0;
    auto operator<=>(const DateTime &) const = default;
};

using Bytes = std::vector<uint8_t>;

// A typed field value.
//  - null: blank numerics (spaces, or spaces with '.'), blank or invalid dates, '?'/space logicals, empty memo
//    pointers, and unparsable numeric text (nonsense bytes read as null, never as a wrong number).
//  - std::string for C: the stored Windows-1252 bytes with TRAILING BLANKS REMOVED (leading blanks kept); an
//    all-blank C field reads as "" (not null). Writing pads with blanks; writing null writes blanks.
//    For M (memo text) also std::string: the memo's bytes, unconverted.
//  - double for N, F, O; int64_t for I, +. Writing a N/F field accepts double or int64_t.
//  - Date for D; DateTime for @; bool for L; Bytes for B and G (opaque: no header is stripped or added).
//    Writing M accepts std::string or Bytes; writing B/G accepts Bytes or std::string.
class Value
{
public:
    using Variant = std::variant<std::monostate, std::string, double, int64_t, Date, bool, Bytes, DateTime>;

    Value() = default;
    Value(std::monostate) {}
    Value(std::string s) : m_v(std::move(s)) {}
    Value(const char *s) : m_v(std::string(s)) {}
    Value(double d) : m_v(d) {}
    // Any integer type (int, unsigned, long long, size_t ...) is stored as int64_t.
    template <typename T>
    requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>) Value(T i)
        : m_v(static_cast<int64_t>(i))
    {}
    Value(Date d) : m_v(d) {}
    Value(DateTime d) : m_v(d) {}
    Value(bool b) : m_v(b) {}
    Value(Bytes b) : m_v(std::move(b)) {}

    static Value null() { return Value(); }

    bool isNull() const { return std::holds_alternative<std::monostate>(m_v); }
    bool isString() const { return std::holds_alternative<std::string>(m_v); }
    bool isDouble() const { return std::holds_alternative<double>(m_v); }
    bool isInt() const { return std::holds_alternative<int64_t>(m_v); }
    bool isNumber() const { return isDouble() || isInt(); }
    bool isDate() const { return std::holds_alternative<Date>(m_v); }
    bool isDateTime() const { return std::holds_alternative<DateTime>(m_v); }
    bool isBool() const { return std::holds_alternative<bool>(m_v); }
    bool isBytes() const { return std::holds_alternative<Bytes>(m_v); }

    // Accessors throw std::bad_variant_access on the wrong kind, except asDouble (accepts int64_t too),
    // asInt (accepts a double, truncated) and the "or" forms, which return the fallback on null or mismatch.
    const std::string &asString() const { return std::get<std::string>(m_v); }
    double asDouble() const;
    int64_t asInt() const;
    Date asDate() const { return std::get<Date>(m_v); }
    DateTime asDateTime() const { return std::get<DateTime>(m_v); }
    bool asBool() const { return std::get<bool>(m_v); }
    const Bytes &asBytes() const { return std::get<Bytes>(m_v); }

    std::string stringOr(const std::string &fallback) const;
    double doubleOr(double fallback) const;
    bool boolOr(bool fallback) const;

    const Variant &variant() const { return m_v; }
    bool operator==(const Value &other) const = default;

private:
    Variant m_v;
};

// A tag of the production index: a single-field key on a C, N, F or D field.
struct IndexTag
{
    std::string name;  // tag name, up to 10 characters, stored upper case
    std::string field; // key field name
    bool descending = false;
    bool unique = false;
    bool operator==(const IndexTag &) const = default;
};

} // namespace tav::dbf
