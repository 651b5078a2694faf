#include "platform/dbf/DbfFormat.h"

#include "platform/dbf/DbfError.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tav::dbf::detail {

namespace {

uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putLe16(uint8_t *p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void putLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

uint64_t be64(const uint8_t *p)
{
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v = (v << 8) | p[i];
    return v;
}

void putBe64(uint8_t *p, uint64_t v)
{
    for (int i = 7; i >= 0; --i) {
        p[i] = static_cast<uint8_t>(v & 0xFF);
        v >>= 8;
    }
}

bool isKnownType(char t)
{
    switch (t) {
    case 'C':
    case 'N':
    case 'F':
    case 'D':
    case 'L':
    case 'M':
    case 'B':
    case 'G':
    case 'I':
    case '+':
    case 'O':
    case '@':
        return true;
    default:
        return false;
    }
}

// The width a type requires, or 0 when the descriptor gives it.
int impliedLength(FieldType t)
{
    switch (t) {
    case FieldType::Date:
        return 8;
    case FieldType::Logical:
        return 1;
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General:
        return 10;
    case FieldType::Integer:
    case FieldType::AutoInc:
        return 4;
    case FieldType::Double:
    case FieldType::Timestamp:
        return 8;
    default:
        return 0;
    }
}

std::string_view trimView(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\0'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\0'))
        --e;
    return s.substr(b, e - b);
}

double decodeSortableDouble(const uint8_t *p)
{
    uint64_t u = be64(p);
    if (u & 0x8000000000000000ULL)
        u &= ~0x8000000000000000ULL;
    else
        u = ~u;
    return std::bit_cast<double>(u);
}

void encodeSortableDouble(double d, uint8_t *p)
{
    uint64_t bits = std::bit_cast<uint64_t>(d);
    if (bits & 0x8000000000000000ULL)
        bits = ~bits;
    else
        bits |= 0x8000000000000000ULL;
    putBe64(p, bits);
}

constexpr long kJulianDayOfYear1 = 1721426; // 0001-01-01, proleptic Gregorian
constexpr double kMsPerDay = 86400000.0;

std::string fieldText(const FieldDef &f)
{
    return f.name + " (" + static_cast<char>(f.type) + "," + std::to_string(f.length) + "," +
           std::to_string(f.decimals) + ")";
}

} // namespace

int Header::level() const
{
    if (isLevel7())
        return 7;
    if (version == 0x83)
        return 3;
    if (version == 0x8B)
        return 4;
    if (productionIndex || ldid != 0)
        return 4;
    for (const auto &f : fields) {
        if (f.def.type == FieldType::Float)
            return 4;
    }
    return 3;
}

size_t headerBytesNeeded(const uint8_t *first32)
{
    return std::max<size_t>(32, le16(first32 + 8));
}

Header parseHeader(const std::string &fileName, const uint8_t *data, size_t available, uint64_t fileSize)
{
    auto fail = [&](const std::string &what) { throw DbfError(ErrorCode::BadHeader, fileName + ": " + what); };
    if (available < 32 || fileSize < 32)
        fail("truncated header (" + std::to_string(fileSize) + " bytes)");
    Header h;
    h.version = data[0];
    const int lvl = h.version & 0x07;
    if (lvl != 3 && lvl != 4)
        fail("unsupported version byte 0x" + [&] {
            char b[8];
            std::snprintf(b, sizeof b, "%02X", h.version);
            return std::string(b);
        }());
    h.recordCount = le32(data + 4);
    h.headerLength = le16(data + 8);
    h.recordLength = le16(data + 10);
    h.productionIndex = data[28] != 0;
    h.ldid = data[29];
    const size_t descStart = h.isLevel7() ? 68 : 32;
    const size_t descSize = h.descriptorSize();
    if (h.headerLength < descStart + 1)
        fail("header length " + std::to_string(h.headerLength) + " is too small");
    if (fileSize < h.headerLength || available < h.headerLength)
        fail("truncated header: header length " + std::to_string(h.headerLength) + " but the file has " +
             std::to_string(fileSize) + " bytes");
    if (h.recordLength < 2)
        fail("record length " + std::to_string(h.recordLength) + " is too small");
    h.fixed.assign(data, data + descStart);
    if (h.isLevel7()) {
        const char *n = reinterpret_cast<const char *>(data + 32);
        h.ldName.assign(n, strnlen(n, 32));
    }
    size_t pos = descStart;
    bool terminated = false;
    uint32_t offset = 1;
    while (pos < h.headerLength) {
        if (data[pos] == 0x0D) {
            terminated = true;
            break;
        }
        if (pos + descSize > h.headerLength)
            break;
        const uint8_t *d = data + pos;
        FieldLayout fl;
        fl.raw.assign(d, d + descSize);
        const size_t nameMax = h.isLevel7() ? 32 : 11;
        const char *nm = reinterpret_cast<const char *>(d);
        fl.def.name.assign(nm, strnlen(nm, nameMax));
        while (!fl.def.name.empty() && fl.def.name.back() == ' ')
            fl.def.name.pop_back();
        const char type = static_cast<char>(d[h.isLevel7() ? 32 : 11]);
        fl.def.length = d[h.isLevel7() ? 33 : 16];
        fl.def.decimals = d[h.isLevel7() ? 34 : 17];
        const std::string which = "field " + std::to_string(h.fields.size() + 1);
        if (fl.def.name.empty())
            fail(which + " has no name (damaged field descriptors)");
        if (!isKnownType(type))
            fail(which + " (" + fl.def.name + ") has an unknown type byte 0x" + [&] {
                char b[8];
                std::snprintf(b, sizeof b, "%02X", static_cast<uint8_t>(type));
                return std::string(b);
            }());
        fl.def.type = static_cast<FieldType>(type);
        if (fl.def.length == 0)
            fail(which + " (" + fl.def.name + ") has length 0");
        const int implied = impliedLength(fl.def.type);
        if (implied != 0 && fl.def.length != implied)
            fail(which + " (" + fl.def.name + ") of type " + type + " has length " + std::to_string(fl.def.length) +
                 ", expected " + std::to_string(implied));
        if ((fl.def.type == FieldType::Numeric || fl.def.type == FieldType::Float) &&
            (fl.def.decimals >= fl.def.length || fl.def.length > 32))
            fail(which + " (" + fl.def.name + ") has an impossible numeric size " + std::to_string(fl.def.length) +
                 "," + std::to_string(fl.def.decimals));
        fl.offset = offset;
        offset += fl.def.length;
        h.fields.push_back(std::move(fl));
        pos += descSize;
    }
    if (!terminated)
        fail("missing field descriptor terminator (0x0D) within the header length " + std::to_string(h.headerLength));
    if (h.fields.empty())
        fail("no field descriptors");
    if (offset != h.recordLength)
        fail("record length " + std::to_string(h.recordLength) + " disagrees with the field descriptors (" +
             std::to_string(offset) + ")");
    h.tail.assign(data + pos + 1, data + h.headerLength);
    return h;
}

void stampDate(uint8_t *hdr)
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    hdr[1] = static_cast<uint8_t>(tm.tm_year); // years since 1900, as dBASE writes it
    hdr[2] = static_cast<uint8_t>(tm.tm_mon + 1);
    hdr[3] = static_cast<uint8_t>(tm.tm_mday);
}

Header makeHeader(uint8_t version, uint8_t ldid, const std::string &ldName, const std::vector<FieldDef> &fields,
                  const std::vector<uint8_t> &tail)
{
    Header h;
    h.version = version;
    h.ldid = ldid;
    h.ldName = ldName;
    h.fixed.assign(h.isLevel7() ? 68 : 32, 0);
    h.fixed[0] = version;
    stampDate(h.fixed.data());
    h.fixed[29] = ldid;
    if (h.isLevel7())
        std::memcpy(h.fixed.data() + 32, ldName.data(), std::min<size_t>(ldName.size(), 31));
    h.tail = tail;
    for (const auto &f : fields) {
        FieldLayout fl;
        fl.def = f;
        h.fields.push_back(std::move(fl));
    }
    layoutHeader(h);
    return h;
}

void layoutHeader(Header &h)
{
    const size_t descSize = h.descriptorSize();
    uint32_t offset = 1;
    for (auto &fl : h.fields) {
        if (fl.raw.size() != descSize) {
            fl.raw.assign(descSize, 0);
            if (h.isLevel7() && fl.def.type == FieldType::AutoInc)
                putLe32(fl.raw.data() + 42, 1);
        }
        const size_t nameMax = h.isLevel7() ? 32 : 11;
        std::memset(fl.raw.data(), 0, nameMax);
        std::memcpy(fl.raw.data(), fl.def.name.data(), std::min(fl.def.name.size(), nameMax - 1));
        fl.raw[h.isLevel7() ? 32 : 11] = static_cast<uint8_t>(fl.def.type);
        fl.raw[h.isLevel7() ? 33 : 16] = fl.def.length;
        fl.raw[h.isLevel7() ? 34 : 17] = fl.def.decimals;
        fl.offset = offset;
        offset += fl.def.length;
    }
    h.recordLength = static_cast<uint16_t>(offset);
    h.headerLength = static_cast<uint16_t>(h.fixed.size() + descSize * h.fields.size() + 1 + h.tail.size());
}

std::vector<uint8_t> serializeHeader(const Header &h)
{
    std::vector<uint8_t> out(h.fixed);
    out[0] = h.version;
    putLe32(out.data() + 4, h.recordCount);
    putLe16(out.data() + 8, h.headerLength);
    putLe16(out.data() + 10, h.recordLength);
    out[28] = h.productionIndex ? 1 : 0;
    out[29] = h.ldid;
    for (const auto &fl : h.fields)
        out.insert(out.end(), fl.raw.begin(), fl.raw.end());
    out.push_back(0x0D);
    out.insert(out.end(), h.tail.begin(), h.tail.end());
    return out;
}

bool parseNumber(std::string_view text, double &out)
{
    text = trimView(text);
    if (text.empty() || text.size() > 64)
        return false;
    bool digit = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c == '.' || c == 'e' || c == 'E')
            continue;
        else if ((c == '-' || c == '+') && (i == 0 || text[i - 1] == 'e' || text[i - 1] == 'E'))
            continue;
        else
            return false;
    }
    if (!digit)
        return false;
    char buf[72];
    std::memcpy(buf, text.data(), text.size());
    buf[text.size()] = '\0';
    char *end = nullptr;
    const double d = std::strtod(buf, &end);
    if (end != buf + text.size() || !std::isfinite(d))
        return false;
    out = d;
    return true;
}

Value decodeField(const FieldDef &f, const uint8_t *bytes, std::string *raw)
{
    const std::string_view sv(reinterpret_cast<const char *>(bytes), f.length);
    switch (f.type) {
    case FieldType::Character: {
        size_t e = sv.size();
        while (e > 0 && (sv[e - 1] == ' ' || sv[e - 1] == '\0'))
            --e;
        if (raw)
            *raw = std::string(trimView(sv));
        return Value(std::string(sv.substr(0, e)));
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        const auto t = trimView(sv);
        if (raw)
            *raw = std::string(t);
        double d = 0;
        if (!parseNumber(t, d))
            return Value(); // blank, "." (dBASE IV blank), overflow stars or nonsense
        return Value(d);
    }
    case FieldType::Date: {
        const auto t = trimView(sv);
        if (raw)
            *raw = std::string(t);
        if (t.size() != 8)
            return Value();
        int parts[3] = {0, 0, 0};
        const int widths[3] = {4, 2, 2};
        size_t p = 0;
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < widths[k]; ++j, ++p) {
                if (t[p] < '0' || t[p] > '9')
                    return Value();
                parts[k] = parts[k] * 10 + (t[p] - '0');
            }
        }
        Date d{parts[0], parts[1], parts[2]};
        return d.isValid() ? Value(d) : Value();
    }
    case FieldType::Logical: {
        const char c = static_cast<char>(bytes[0]);
        if (raw)
            *raw = (c == ' ' || c == '\0') ? std::string() : std::string(1, c);
        if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
            return Value(true);
        if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
            return Value(false);
        return Value();
    }
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General: {
        const auto t = trimView(sv);
        if (raw)
            *raw = std::string(t);
        if (t.empty() || t.size() > 10)
            return Value();
        int64_t n = 0;
        for (char c : t) {
            if (c < '0' || c > '9')
                return Value();
            n = n * 10 + (c - '0');
        }
        if (n <= 0 || n > 0xFFFFFFFFLL)
            return Value();
        return Value(n);
    }
    case FieldType::Integer:
    case FieldType::AutoInc: {
        if (raw)
            raw->clear();
        const uint32_t u = (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
                           (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
        if (u == 0)
            return Value();
        return Value(static_cast<int64_t>(static_cast<int32_t>(u ^ 0x80000000U)));
    }
    case FieldType::Double: {
        if (raw)
            raw->clear();
        if (be64(bytes) == 0)
            return Value();
        const double d = decodeSortableDouble(bytes);
        return std::isfinite(d) ? Value(d) : Value();
    }
    case FieldType::Timestamp: {
        if (raw)
            raw->clear();
        if (be64(bytes) == 0)
            return Value();
        const double ms = decodeSortableDouble(bytes);
        if (!std::isfinite(ms) || ms < kMsPerDay || ms > 3.2e14)
            return Value();
        const double days = std::floor(ms / kMsPerDay);
        DateTime dt;
        dt.date = Date::fromJulianDay(kJulianDayOfYear1 + static_cast<long>(days) - 1);
        dt.msecOfDay = static_cast<int64_t>(std::llround(ms - days * kMsPerDay));
        return dt.date.isValid() ? Value(dt) : Value();
    }
    }
    return Value();
}

void encodeMemoPointer(uint32_t block, uint8_t *out)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%010u", block);
    std::memcpy(out, buf, 10);
}

void encodeField(const std::string &fileName, const FieldDef &f, const Value &value, uint8_t *out)
{
    auto bad = [&](const std::string &what) {
        throw DbfError(ErrorCode::BadValue, fileName + ": field " + fieldText(f) + ": " + what);
    };
    const size_t len = f.length;
    switch (f.type) {
    case FieldType::Character: {
        std::memset(out, ' ', len);
        if (value.isNull())
            return;
        std::string_view s;
        if (value.isString())
            s = value.asString();
        else if (value.isBytes())
            s = std::string_view(reinterpret_cast<const char *>(value.asBytes().data()), value.asBytes().size());
        else
            bad("a text value is expected");
        size_t e = s.size();
        while (e > len && s[e - 1] == ' ')
            --e; // trailing blanks beyond the width are not data
        if (e > len)
            bad("text of " + std::to_string(s.size()) + " bytes is longer than the field");
        std::memcpy(out, s.data(), e);
        return;
    }
    case FieldType::Numeric:
    case FieldType::Float: {
        std::memset(out, ' ', len);
        if (value.isNull())
            return;
        if (!value.isNumber())
            bad("a number is expected");
        char buf[128];
        if (value.isInt() && f.decimals == 0) {
            std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(value.asInt()));
        } else {
            const double d = value.asDouble();
            if (!std::isfinite(d))
                bad("not a finite number");
            if (std::fabs(d) >= 1e30)
                bad("number too large");
            std::snprintf(buf, sizeof buf, "%.*f", static_cast<int>(f.decimals), d);
            // "-0" and "-0.00" are written without the sign
            bool allZero = true;
            for (const char *p = buf; *p; ++p) {
                if (*p >= '1' && *p <= '9')
                    allZero = false;
            }
            if (allZero && buf[0] == '-')
                std::memmove(buf, buf + 1, std::strlen(buf));
        }
        const size_t n = std::strlen(buf);
        if (n > len)
            bad("the number " + std::string(buf) + " does not fit");
        std::memcpy(out + (len - n), buf, n);
        return;
    }
    case FieldType::Date: {
        std::memset(out, ' ', len);
        if (value.isNull())
            return;
        if (!value.isDate())
            bad("a date is expected");
        const Date d = value.asDate();
        if (!d.isValid())
            bad("invalid date");
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", d.year, d.month, d.day);
        std::memcpy(out, buf, 8);
        return;
    }
    case FieldType::Logical:
        if (value.isNull()) {
            out[0] = ' ';
            return;
        }
        if (!value.isBool())
            bad("true or false is expected");
        out[0] = value.asBool() ? 'T' : 'F';
        return;
    case FieldType::Memo:
    case FieldType::Binary:
    case FieldType::General:
        std::memset(out, ' ', len);
        if (value.isNull())
            return;
        if (!value.isInt())
            bad("internal: memo block expected");
        encodeMemoPointer(static_cast<uint32_t>(value.asInt()), out);
        return;
    case FieldType::Integer:
    case FieldType::AutoInc: {
        std::memset(out, 0, 4);
        if (value.isNull())
            return;
        if (!value.isNumber())
            bad("a whole number is expected");
        const int64_t v = value.asInt();
        if (v < INT32_MIN + 1 || v > INT32_MAX)
            bad("number out of range");
        const uint32_t u = static_cast<uint32_t>(static_cast<int32_t>(v)) ^ 0x80000000U;
        out[0] = static_cast<uint8_t>(u >> 24);
        out[1] = static_cast<uint8_t>(u >> 16);
        out[2] = static_cast<uint8_t>(u >> 8);
        out[3] = static_cast<uint8_t>(u);
        return;
    }
    case FieldType::Double:
        std::memset(out, 0, 8);
        if (value.isNull())
            return;
        if (!value.isNumber() || !std::isfinite(value.asDouble()))
            bad("a finite number is expected");
        encodeSortableDouble(value.asDouble(), out);
        return;
    case FieldType::Timestamp: {
        std::memset(out, 0, 8);
        if (value.isNull())
            return;
        DateTime dt;
        if (value.isDateTime())
            dt = value.asDateTime();
        else if (value.isDate())
            dt.date = value.asDate();
        else
            bad("a date and time is expected");
        if (!dt.date.isValid() || dt.msecOfDay < 0 || dt.msecOfDay >= 86400000)
            bad("invalid date and time");
        const double days = static_cast<double>(dt.date.julianDay() - kJulianDayOfYear1 + 1);
        encodeSortableDouble(days * kMsPerDay + static_cast<double>(dt.msecOfDay), out);
        return;
    }
    }
}

std::string sortKey(const FieldDef &f, const Value &value)
{
    std::string k;
    switch (f.type) {
    case FieldType::Character: {
        const size_t len = std::max<size_t>(1, f.length);
        if (value.isString())
            k = value.asString().substr(0, len);
        else if (value.isBytes())
            k.assign(value.asBytes().begin(),
                     value.asBytes().begin() + static_cast<long>(std::min(len, value.asBytes().size())));
        k.resize(len, ' ');
        return k;
    }
    case FieldType::Date: {
        uint64_t v = ~0ULL; // null dates after every date
        if (value.isDate() && value.asDate().isValid())
            v = static_cast<uint64_t>(value.asDate().julianDay());
        k.resize(8);
        putBe64(reinterpret_cast<uint8_t *>(k.data()), v);
        return k;
    }
    default: {
        double d = value.isNumber() ? value.asDouble() : 0.0;
        if (d == 0.0 || d != d)
            d = 0.0;
        k.resize(8);
        encodeSortableDouble(d, reinterpret_cast<uint8_t *>(k.data()));
        return k;
    }
    }
}

Extent extentOf(const Header &h, uint32_t headerCount, uint64_t fileSize, bool appendUnderWay)
{
    Extent e;
    e.headerCount = headerCount;
    e.appendUnderWay = appendUnderWay;
    const uint64_t body = fileSize > h.headerLength ? fileSize - h.headerLength : 0;
    const uint64_t len = std::max<uint16_t>(1, h.recordLength);
    e.wholeRecords = body / len;
    uint64_t rest = body % len;
    if (e.wholeRecords >= headerCount) {
        // Past the counted records: nothing, the EOF byte, or (while an append is under way, or after one was
        // stopped) up to one record and its EOF. The appended record may be seen part written: the file grows a
        // page at a time while another station writes it, and a process killed in the write leaves a short one.
        const uint64_t after = body - static_cast<uint64_t>(headerCount) * len;
        if (after <= 1) {
            e.wholeRecords = headerCount;
            rest = 0;
        } else if (appendUnderWay && after <= len + 1) {
            e.stoppedAppend = true;
            e.wholeRecords = headerCount;
            rest = 0;
        }
    }
    e.partialBytes = rest;
    return e;
}

bool Extent::damaged() const
{
    return wholeRecords != headerCount || partialBytes > 1;
}

std::string Extent::describe(uint32_t count) const
{
    std::string s = "the header counts " + std::to_string(count) + " records but the file holds " +
                    std::to_string(wholeRecords) + " whole records";
    if (partialBytes > 1)
        s += " and " + std::to_string(partialBytes) + " bytes of another";
    if (wholeRecords > count)
        s += " (records past the count are kept: repair with dbftool recover)";
    else
        s += " (the file was cut short: repair with dbftool recover)";
    return s;
}

} // namespace tav::dbf::detail
