#include "platform/dbf/MdxFile.h"

#include "platform/dbf/DbfError.h"
#include "platform/dbf/DbfFile.h"
#include "platform/dbf/DbfFormat.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unordered_set>

namespace tav::dbf::detail {

namespace {

constexpr uint32_t kPage = 512;
constexpr uint32_t kPagesPerBlock = 2; // 1024-byte blocks, as the Borland engine writes them
constexpr uint32_t kBlock = kPage * kPagesPerBlock;
constexpr uint32_t kHeaderPages = 4;
constexpr size_t kTagTable = 544;
constexpr int kMaxTags = 47;

uint16_t le16(const uint8_t *p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putLe16(uint8_t *p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v & 0xFF);
    p[1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

void putLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

std::string upper(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string &s)
{
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ')
        ++b;
    while (e > b && s[e - 1] == ' ')
        --e;
    return s.substr(b, e - b);
}

bool isIdentifier(const std::string &s)
{
    if (s.empty())
        return false;
    for (char c : s) {
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
            return false;
    }
    return true;
}

int itemLengthFor(int keyLen)
{
    return ((keyLen + 4) + 3) / 4 * 4;
}

void stampYmd(uint8_t *p)
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    p[0] = static_cast<uint8_t>(tm.tm_year);
    p[1] = static_cast<uint8_t>(tm.tm_mon + 1);
    p[2] = static_cast<uint8_t>(tm.tm_mday);
}

// --- key encodings ---

// 12-byte BCD of a decimal text: byte0 = 0x34 + position of the decimal point relative to the first digit,
// byte1 = sign | digit count << 2 | 1, then up to 20 digits, two per byte.
std::string bcdFromText(const std::string &text)
{
    std::string t = trim(text);
    bool neg = false;
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
        neg = t[0] == '-';
        t.erase(0, 1);
    }
    std::string intPart, fracPart;
    const auto dot = t.find('.');
    intPart = t.substr(0, dot);
    if (dot != std::string::npos)
        fracPart = t.substr(dot + 1);
    size_t i = 0;
    while (i < intPart.size() && intPart[i] == '0')
        ++i;
    intPart.erase(0, i);
    std::string digits;
    int exponent = 0;
    if (!intPart.empty()) {
        digits = intPart + fracPart;
        exponent = static_cast<int>(intPart.size());
    } else {
        size_t z = 0;
        while (z < fracPart.size() && fracPart[z] == '0')
            ++z;
        digits = fracPart.substr(z);
        exponent = -static_cast<int>(z);
    }
    while (!digits.empty() && digits.back() == '0')
        digits.pop_back();
    if (digits.size() > 20)
        digits.resize(20);
    std::string k(12, '\0');
    if (digits.empty()) {
        k[0] = 0x34;
        k[1] = 0x01;
        return k;
    }
    k[0] = static_cast<char>(0x34 + exponent);
    k[1] = static_cast<char>((neg ? 0x80 : 0) | (static_cast<int>(digits.size()) << 2) | 0x01);
    for (size_t d = 0; d < digits.size(); ++d) {
        const int v = digits[d] - '0';
        if (d % 2 == 0)
            k[2 + d / 2] = static_cast<char>(v << 4);
        else
            k[2 + d / 2] = static_cast<char>(static_cast<uint8_t>(k[2 + d / 2]) | v);
    }
    return k;
}

bool allDigitsText(const std::string &t)
{
    double d;
    if (!parseNumber(t, d))
        return false;
    return t.find_first_of("eE") == std::string::npos;
}

std::string numericKey(const KeySource &src, const FieldDef &f)
{
    if (allDigitsText(src.raw))
        return bcdFromText(src.raw);
    if (!src.value.isNumber())
        return bcdFromText("0");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", std::min<int>(f.decimals, 18), src.value.asDouble());
    return bcdFromText(buf);
}

double bcdToDouble(const uint8_t *k)
{
    if ((k[1] & 0x7C) == 0 && k[2] == 0)
        return 0.0;
    char text[40];
    size_t p = 0;
    if (k[1] & 0x80)
        text[p++] = '-';
    text[p++] = '0';
    text[p++] = '.';
    for (int d = 0; d < 20; ++d) {
        const int v = (d % 2 == 0) ? (k[2 + d / 2] >> 4) : (k[2 + d / 2] & 0x0F);
        text[p++] = static_cast<char>('0' + std::min(v, 9));
    }
    std::snprintf(text + p, sizeof text - p, "e%d", static_cast<int>(k[0]) - 0x34);
    return std::strtod(text, nullptr);
}

std::string dateKey(const Value &v)
{
    double d = 1.0e100; // blank date
    if (v.isDate() && v.asDate().isValid())
        d = static_cast<double>(v.asDate().julianDay());
    std::string k(8, '\0');
    std::memcpy(k.data(), &d, 8); // little-endian IEEE double
    return k;
}

Value dateFromKey(const uint8_t *k)
{
    double d;
    std::memcpy(&d, k, 8);
    if (!(d > 0 && d < 1.0e9))
        return Value();
    return Value(Date::fromJulianDay(std::lround(d)));
}

// The sortable key (sortKey) of an index key as stored.
std::string sortableFromStored(const FieldDef &f, char keyType, const uint8_t *k, int keyLen)
{
    switch (keyType) {
    case 'N':
        return sortKey(FieldDef{"", FieldType::Numeric, 20, 0}, Value(bcdToDouble(k)));
    case 'D':
        return sortKey(FieldDef{"", FieldType::Date, 8, 0}, dateFromKey(k));
    default: {
        std::string s(reinterpret_cast<const char *>(k), static_cast<size_t>(keyLen));
        (void)f;
        return s;
    }
    }
}

struct ParsedHeader
{
    uint32_t pages = 0;
    uint16_t blockBytes = 0;
    uint16_t pagesPerBlock = 0;
    std::string dbfName;
    int tagCount = 0;
};

struct ParsedTag
{
    MdxTag info;
    uint32_t headerPage = 0;
    uint32_t root = 0;
    int keyLen = 0;
    int itemLen = 0;
    int keysMax = 0;
};

} // namespace

namespace {

struct Reader
{
    File file;
    std::string name;
    uint64_t size = 0;
    ParsedHeader hdr;
    std::vector<ParsedTag> tags;

    [[noreturn]] void fail(const std::string &what) const { throw DbfError(ErrorCode::BadIndex, name + ": " + what); }

    void open(const std::filesystem::path &path)
    {
        name = path.filename().string();
        try {
            file = File::open(path, false);
        } catch (const DbfError &e) {
            throw DbfError(ErrorCode::BadIndex, std::string(e.what()) + " (production index missing)");
        }
        // Writers change the tree under the exclusive lock; a walk sees it before or after a change.
        file.lock(kLockBase, 1, false, true);
        size = file.size();
    }

    void parseHeader()
    {
        if (size < kHeaderPages * kPage)
            fail("truncated index header (" + std::to_string(size) + " bytes)");
        uint8_t h[kHeaderPages * kPage];
        file.readExact(0, h, sizeof h, "the index header");
        if (h[0] != 2)
            fail("unknown index version " + std::to_string(h[0]));
        hdr.pagesPerBlock = le16(h + 20);
        hdr.blockBytes = le16(h + 22);
        if (hdr.pagesPerBlock < 1 || hdr.pagesPerBlock > 32 || hdr.blockBytes != hdr.pagesPerBlock * kPage)
            fail("inconsistent block size " + std::to_string(hdr.blockBytes) + " / " +
                 std::to_string(hdr.pagesPerBlock) + " pages");
        if (h[25] != 48 || h[26] != 32)
            fail("damaged tag table description");
        hdr.tagCount = le16(h + 28);
        if (hdr.tagCount > kMaxTags)
            fail("impossible tag count " + std::to_string(hdr.tagCount));
        hdr.pages = le32(h + 32);
        // More bytes than the header counts: pages written by a writer that was stopped before it linked
        // them in; they are unused and the next writer takes them again.
        if (static_cast<uint64_t>(hdr.pages) * kPage > size)
            fail("the header gives " + std::to_string(hdr.pages) + " pages but the file has " + std::to_string(size) +
                 " bytes");
        const uint32_t freePage = le32(h + 36);
        if (freePage >= hdr.pages && freePage != 0)
            fail("free page " + std::to_string(freePage) + " lies outside the file");
        const char *n = reinterpret_cast<const char *>(h + 4);
        hdr.dbfName = std::string(n, strnlen(n, 16));
        for (int t = 0; t < hdr.tagCount; ++t) {
            const uint8_t *e = h + kTagTable + 32 * t;
            ParsedTag pt;
            pt.headerPage = le32(e);
            const char *tn = reinterpret_cast<const char *>(e + 4);
            pt.info.tag.name = trim(std::string(tn, strnlen(tn, 11)));
            pt.info.keyType = static_cast<char>(e[20]);
            const std::string which = "tag " + std::to_string(t + 1);
            if (pt.info.tag.name.empty())
                fail(which + " has no name");
            if (pt.headerPage < kHeaderPages || pt.headerPage >= hdr.pages || pt.headerPage % hdr.pagesPerBlock != 0)
                fail("tag " + pt.info.tag.name + ": header page " + std::to_string(pt.headerPage) +
                     " lies outside the file");
            if (pt.info.keyType != 'C' && pt.info.keyType != 'N' && pt.info.keyType != 'D')
                fail("tag " + pt.info.tag.name + ": unknown key type");
            tags.push_back(std::move(pt));
        }
    }

    void parseTagHeaders(const std::vector<FieldDef> &fields)
    {
        std::vector<uint8_t> b(hdr.blockBytes);
        for (auto &pt : tags) {
            const std::string tn = "tag " + pt.info.tag.name;
            if (static_cast<uint64_t>(pt.headerPage) * kPage + hdr.blockBytes > size)
                fail(tn + ": header block lies outside the file");
            file.readExact(static_cast<uint64_t>(pt.headerPage) * kPage, b.data(), b.size(), "a tag header");
            pt.root = le32(b.data());
            const uint8_t flags = b[8];
            const char type = static_cast<char>(b[9]);
            pt.keyLen = le16(b.data() + 12);
            pt.keysMax = le16(b.data() + 14);
            pt.itemLen = le16(b.data() + 18);
            pt.info.tag.descending = (flags & 0x08) != 0;
            pt.info.tag.unique = (flags & 0x40) != 0;
            if (type != pt.info.keyType)
                fail(tn + ": key type differs between the tag table and the tag header");
            const int wantLen = type == 'N' ? 12 : type == 'D' ? 8 : -1;
            if ((wantLen > 0 && pt.keyLen != wantLen) || (type == 'C' && (pt.keyLen < 1 || pt.keyLen > 100)))
                fail(tn + ": impossible key length " + std::to_string(pt.keyLen));
            if (pt.itemLen != itemLengthFor(pt.keyLen) && pt.itemLen != pt.keyLen + 4)
                fail(tn + ": item length " + std::to_string(pt.itemLen) + " disagrees with the key length");
            if (pt.keysMax < 1 || 8 + pt.keysMax * pt.itemLen + 4 > hdr.blockBytes)
                fail(tn + ": impossible keys per block " + std::to_string(pt.keysMax));
            if (pt.root < kHeaderPages || pt.root >= hdr.pages)
                fail(tn + ": root page " + std::to_string(pt.root) + " lies outside the file");
            const char *ex = reinterpret_cast<const char *>(b.data() + 24);
            pt.info.expression = trim(std::string(ex, strnlen(ex, 220)));
            if (pt.info.expression.empty())
                fail(tn + ": empty key expression");
            const std::string up = upper(pt.info.expression);
            for (size_t i = 0; i < fields.size(); ++i) {
                if (upper(fields[i].name) == up) {
                    pt.info.fieldIndex = static_cast<int>(i);
                    break;
                }
            }
            if (pt.info.fieldIndex < 0) {
                if (isIdentifier(pt.info.expression))
                    fail(tn + ": key expression " + pt.info.expression + " names no field of the table");
                continue; // an expression we do not evaluate: structure only
            }
            const FieldDef &f = fields[static_cast<size_t>(pt.info.fieldIndex)];
            pt.info.tag.field = f.name;
            const bool ok = (f.type == FieldType::Character && type == 'C' && pt.keyLen == f.length) ||
                            ((f.type == FieldType::Numeric || f.type == FieldType::Float) && type == 'N') ||
                            (f.type == FieldType::Date && type == 'D');
            if (!ok)
                fail(tn + ": key type " + std::string(1, type) + "/" + std::to_string(pt.keyLen) +
                     " does not match field " + f.name);
        }
    }

    void walk(const ParsedTag &pt, const FieldDef *field, uint32_t recordCount, bool binaryCollation, MdxEntries *out)
    {
        const std::string tn = "tag " + pt.info.tag.name;
        std::unordered_set<uint32_t> visited;
        std::vector<uint8_t> b(hdr.blockBytes);
        std::string prev;
        bool havePrev = false;
        int leafDepth = -1;
        const bool checkOrder = pt.info.keyType != 'C' || binaryCollation;
        // Depth-first, children in order, with an explicit stack of (page, depth).
        std::vector<std::pair<uint32_t, int>> stack{{pt.root, 0}};
        while (!stack.empty()) {
            const auto [page, depth] = stack.back();
            stack.pop_back();
            if (depth > 32)
                fail(tn + ": the tree is too deep (a loop?)");
            if (page < kHeaderPages || page >= hdr.pages || page % hdr.pagesPerBlock != 0)
                fail(tn + ": node page " + std::to_string(page) + " lies outside the file");
            if (!visited.insert(page).second)
                fail(tn + ": node page " + std::to_string(page) + " is reached twice");
            file.readExact(static_cast<uint64_t>(page) * kPage, b.data(), b.size(), "an index node");
            const uint32_t n = le32(b.data());
            if (n > static_cast<uint32_t>(pt.keysMax))
                fail(tn + ": node page " + std::to_string(page) + " holds " + std::to_string(n) +
                     " keys, more than fit");
            const uint32_t after = le32(b.data() + 8 + n * static_cast<uint32_t>(pt.itemLen));
            if (after == 0) {
                if (leafDepth < 0)
                    leafDepth = depth;
                else if (leafDepth != depth)
                    fail(tn + ": leaves at different depths");
                for (uint32_t i = 0; i < n; ++i) {
                    const uint8_t *item = b.data() + 8 + i * static_cast<uint32_t>(pt.itemLen);
                    const uint32_t recno = le32(item);
                    if (recno < 1 || recno > recordCount)
                        fail(tn + ": record number " + std::to_string(recno) + " outside 1.." +
                             std::to_string(recordCount));
                    std::string key =
                        sortableFromStored(field ? *field : FieldDef{}, pt.info.keyType, item + 4, pt.keyLen);
                    if (checkOrder && havePrev) {
                        const int c = std::memcmp(prev.data(), key.data(), std::min(prev.size(), key.size()));
                        if (pt.info.tag.descending ? c < 0 : c > 0)
                            fail(tn + ": keys out of order at record " + std::to_string(recno));
                    }
                    if (out)
                        out->emplace_back(key, recno);
                    prev = std::move(key);
                    havePrev = true;
                }
            } else {
                std::vector<uint32_t> children;
                for (uint32_t i = 0; i < n; ++i)
                    children.push_back(le32(b.data() + 8 + i * static_cast<uint32_t>(pt.itemLen)));
                children.push_back(after);
                for (auto it = children.rbegin(); it != children.rend(); ++it)
                    stack.emplace_back(*it, depth + 1);
            }
        }
    }
};

} // namespace

MdxContents readMdx(const std::filesystem::path &path, const std::string &dbfBaseName,
                    const std::vector<FieldDef> &fields, uint32_t recordCount, bool binaryCollation, bool wantEntries)
{
    Reader r;
    r.open(path);
    r.parseHeader();
    // The header keeps the table's base name (cut to 8 characters by DOS writers, to 15 by ours).
    const std::string stored = upper(r.hdr.dbfName), base = upper(dbfBaseName);
    const bool sameTable = stored.empty() || stored == base ||
                           (stored.size() >= 8 && base.size() > stored.size() && base.rfind(stored, 0) == 0);
    if (!dbfBaseName.empty() && !sameTable)
        r.fail("belongs to table \"" + r.hdr.dbfName + "\", not \"" + dbfBaseName + "\"");
    r.parseTagHeaders(fields);
    MdxContents out;
    for (const auto &pt : r.tags) {
        out.tags.push_back(pt.info);
        const FieldDef *f = pt.info.fieldIndex >= 0 ? &fields[static_cast<size_t>(pt.info.fieldIndex)] : nullptr;
        MdxEntries entries;
        r.walk(pt, f, recordCount, binaryCollation, (wantEntries && f) ? &entries : nullptr);
        out.entries.push_back(std::move(entries));
    }
    return out;
}

std::vector<MdxTag> readMdxTags(const std::filesystem::path &path, const std::vector<FieldDef> &fields)
{
    Reader r;
    r.open(path);
    r.parseHeader();
    r.parseTagHeaders(fields);
    std::vector<MdxTag> out;
    for (const auto &pt : r.tags)
        out.push_back(pt.info);
    return out;
}

void writeMdx(const std::filesystem::path &path, const std::string &dbfBaseName, const std::vector<FieldDef> &fields,
              const std::vector<IndexTag> &tags, std::vector<std::vector<KeySource>> keys,
              const std::filesystem::path &preparedAt)
{
    if (tags.size() > static_cast<size_t>(kMaxTags))
        throw DbfError(ErrorCode::BadArgument, path.filename().string() + ": too many index tags");
    std::vector<uint8_t> out(kHeaderPages * kPage, 0);
    uint32_t nextPage = kHeaderPages;
    struct TagPlace
    {
        uint32_t headerPage;
        char type;
    };
    std::vector<TagPlace> places;

    for (size_t t = 0; t < tags.size(); ++t) {
        const IndexTag &tag = tags[t];
        int fi = -1;
        for (size_t i = 0; i < fields.size(); ++i) {
            if (upper(fields[i].name) == upper(tag.field))
                fi = static_cast<int>(i);
        }
        if (fi < 0)
            throw DbfError(ErrorCode::BadArgument,
                           path.filename().string() + ": tag " + tag.name + " names no field " + tag.field);
        const FieldDef &f = fields[static_cast<size_t>(fi)];
        char type;
        int keyLen;
        if (f.type == FieldType::Character) {
            type = 'C';
            keyLen = f.length;
            if (keyLen > 100)
                throw DbfError(ErrorCode::BadArgument,
                               path.filename().string() + ": tag " + tag.name + ": key longer than 100 bytes");
        } else if (f.type == FieldType::Numeric || f.type == FieldType::Float) {
            type = 'N';
            keyLen = 12;
        } else if (f.type == FieldType::Date) {
            type = 'D';
            keyLen = 8;
        } else {
            throw DbfError(ErrorCode::BadArgument,
                           path.filename().string() + ": tag " + tag.name + ": field " + f.name + " cannot be indexed");
        }
        const int itemLen = itemLengthFor(keyLen);
        const int keysMax = static_cast<int>((kBlock - 12) / static_cast<uint32_t>(itemLen));

        // Sort (key, record number); descending tags keep equal keys in record order too.
        auto &src = keys[t];
        struct Item
        {
            std::string sort;
            uint32_t recno;
            uint32_t srcIndex;
        };
        std::vector<Item> items;
        items.reserve(src.size());
        for (uint32_t i = 0; i < src.size(); ++i) {
            std::string s = sortKey(f, src[i].value);
            if (tag.descending) {
                for (auto &c : s)
                    c = static_cast<char>(~static_cast<unsigned char>(c));
            }
            items.push_back({std::move(s), src[i].recno, i});
        }
        std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
            const int c = a.sort.compare(b.sort);
            return c != 0 ? c < 0 : a.recno < b.recno;
        });
        if (tag.unique) {
            auto last =
                std::unique(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.sort == b.sort; });
            items.erase(last, items.end());
        }
        auto storedKey = [&](const Item &it) {
            const KeySource &ks = src[it.srcIndex];
            std::string k;
            if (type == 'C') {
                k = ks.value.isString() ? ks.value.asString() : std::string();
                k.resize(static_cast<size_t>(keyLen), ' ');
            } else if (type == 'N') {
                k = numericKey(ks, f);
            } else {
                k = dateKey(ks.value);
            }
            k.resize(static_cast<size_t>(itemLen - 4), '\0');
            return k;
        };

        const uint32_t headerPage = nextPage;
        nextPage += 2 * kPagesPerBlock; // tag header block and the zeroed block after it
        out.resize(static_cast<size_t>(nextPage) * kPage, 0);

        // Leaves, filled left to right; then each level of parents until one node remains.
        struct NodeRef
        {
            uint32_t page;
            std::string lastKey;
        };
        std::vector<NodeRef> level;
        auto newNode = [&]() {
            const uint32_t page = nextPage;
            nextPage += kPagesPerBlock;
            out.resize(static_cast<size_t>(nextPage) * kPage, 0);
            return page;
        };
        size_t pos = 0;
        do {
            const uint32_t page = newNode();
            uint8_t *node = out.data() + static_cast<size_t>(page) * kPage;
            const size_t n = std::min<size_t>(static_cast<size_t>(keysMax), items.size() - pos);
            putLe32(node, static_cast<uint32_t>(n));
            std::string last;
            for (size_t i = 0; i < n; ++i) {
                uint8_t *item = node + 8 + i * static_cast<size_t>(itemLen);
                putLe32(item, items[pos + i].recno);
                last = storedKey(items[pos + i]);
                std::memcpy(item + 4, last.data(), last.size());
            }
            pos += n;
            level.push_back({page, last});
        } while (pos < items.size());
        while (level.size() > 1) {
            std::vector<NodeRef> parents;
            size_t i = 0;
            while (i < level.size()) {
                const size_t children = std::min<size_t>(static_cast<size_t>(keysMax) + 1, level.size() - i);
                const uint32_t page = newNode();
                uint8_t *node = out.data() + static_cast<size_t>(page) * kPage;
                putLe32(node, static_cast<uint32_t>(children - 1));
                for (size_t c = 0; c + 1 < children; ++c) {
                    uint8_t *item = node + 8 + c * static_cast<size_t>(itemLen);
                    putLe32(item, level[i + c].page);
                    std::memcpy(item + 4, level[i + c].lastKey.data(), level[i + c].lastKey.size());
                }
                putLe32(node + 8 + (children - 1) * static_cast<size_t>(itemLen), level[i + children - 1].page);
                parents.push_back({page, level[i + children - 1].lastKey});
                i += children;
            }
            level = std::move(parents);
        }
        const uint32_t root = level.front().page;

        uint8_t *th = out.data() + static_cast<size_t>(headerPage) * kPage;
        putLe32(th, root);
        putLe32(th + 4, nextPage - headerPage);
        th[8] = static_cast<uint8_t>(0x10 | (tag.descending ? 0x08 : 0) | (tag.unique ? 0x40 : 0));
        th[9] = static_cast<uint8_t>(type);
        th[11] = 0x1B;
        putLe16(th + 12, static_cast<uint32_t>(keyLen));
        putLe16(th + 14, static_cast<uint32_t>(keysMax));
        putLe16(th + 16, type == 'D' ? 1 : 0);
        putLe16(th + 18, static_cast<uint32_t>(itemLen));
        th[20] = 1;
        th[23] = tag.unique ? 0x01 : 0x00;
        const std::string expr = upper(f.name);
        std::memcpy(th + 24, expr.data(), std::min<size_t>(expr.size(), 219));
        th[246] = 1;
        putLe32(th + 248, headerPage + 2 * kPagesPerBlock);
        putLe32(th + 252, nextPage - kPagesPerBlock);
        stampYmd(th + 257);
        th[480] = 0x01;
        places.push_back({headerPage, type});
    }

    uint8_t *h = out.data();
    h[0] = 2;
    stampYmd(h + 1);
    const std::string base = upper(dbfBaseName).substr(0, 15);
    std::memcpy(h + 4, base.data(), base.size());
    putLe16(h + 20, kPagesPerBlock);
    putLe16(h + 22, kBlock);
    h[24] = 1;
    h[25] = 48;
    h[26] = 32;
    putLe16(h + 28, static_cast<uint32_t>(tags.size()));
    h[30] = static_cast<uint8_t>(tags.size() + 1);
    h[31] = 0x1B;
    putLe32(h + 32, nextPage);
    stampYmd(h + 44);
    h[512 + 17] = 0x01;
    // Tag table, with the binary search tree of tag names in creation order.
    std::vector<int> left(tags.size(), 0), right(tags.size(), 0), parent(tags.size(), 0);
    for (size_t t = 1; t < tags.size(); ++t) {
        size_t cur = 0;
        const std::string name = upper(tags[t].name);
        for (;;) {
            auto &next = name < upper(tags[cur].name) ? left[cur] : right[cur];
            if (next == 0) {
                next = static_cast<int>(t + 1);
                parent[t] = static_cast<int>(cur + 1);
                break;
            }
            cur = static_cast<size_t>(next - 1);
        }
    }
    for (size_t t = 0; t < tags.size(); ++t) {
        uint8_t *e = h + kTagTable + 32 * t;
        putLe32(e, places[t].headerPage);
        const std::string name = upper(tags[t].name).substr(0, 10);
        std::memcpy(e + 4, name.data(), name.size());
        e[15] = 0x10;
        e[16] = static_cast<uint8_t>(left[t]);
        e[17] = static_cast<uint8_t>(right[t]);
        e[18] = static_cast<uint8_t>(parent[t]);
        e[19] = 0x02;
        e[20] = static_cast<uint8_t>(places[t].type);
    }

    // Written beside the target and renamed over it, so a reader never sees half an index.
    const auto tmp = preparedAt.empty() ? path.parent_path() / ("." + path.filename().string() + ".new") : preparedAt;
    {
        File f = File::create(tmp, true);
        // Held while it is written, so that the clean-up at start never takes a file still being written.
        f.lock(kOpenMarker, 1, true);
        f.writeAll(0, out.data(), out.size());
        f.sync();
    }
    if (!preparedAt.empty())
        return; // the caller renames it when the table it describes is in place
    std::error_code ec;
    std::filesystem::rename(tmp, path, ec);
    if (ec) {
        std::filesystem::remove(tmp, ec);
        throw DbfError(ErrorCode::Io, path.filename().string() + ": cannot replace the index file");
    }
    syncDirectory(path.parent_path());
}

namespace {

// The index file's own lock (one byte at the lock base, as dBASE-compatible engines take it): shared while a
// reader walks the tree, exclusive while a writer changes it.
struct MdxLock
{
    File &file;
    MdxLock(File &f, bool exclusive) : file(f) { file.lock(kLockBase, 1, exclusive, true); }
    ~MdxLock() { file.unlock(kLockBase, 1); }
    MdxLock(const MdxLock &) = delete;
    MdxLock &operator=(const MdxLock &) = delete;
};

struct TreeTag
{
    uint32_t headerPage = 0;
    uint32_t root = 0;
    int keyLen = 0;
    int itemLen = 0;
    int keysMax = 0;
    char keyType = 'C';
    bool descending = false;
    bool unique = false;
    int fieldIndex = -1;
};

// One node in memory. Leaves: `ptr` are record numbers. Interior nodes: `ptr` are the children, one more
// than the keys (the last child has no key: its highest key is the parent's).
struct Node
{
    bool leaf = true;
    std::vector<uint32_t> ptr;
    std::vector<std::string> key; // stored key bytes, itemLen - 4 each
};

class TreeWriter
{
public:
    TreeWriter(File &f, const std::vector<FieldDef> &fields) : m_file(f), m_fields(fields)
    {
        uint8_t h[kHeaderPages * kPage];
        m_file.readExact(0, h, sizeof h, "the index header");
        if (h[0] != 2)
            fail("unknown index version " + std::to_string(h[0]));
        m_pagesPerBlock = le16(h + 20);
        m_blockBytes = le16(h + 22);
        if (m_pagesPerBlock < 1 || m_pagesPerBlock > 32 || m_blockBytes != m_pagesPerBlock * kPage)
            fail("inconsistent block size");
        m_pages = le32(h + 32);
        const uint64_t size = m_file.size();
        if (static_cast<uint64_t>(m_pages) * kPage > size)
            fail("the header gives more pages than the file has");
        // Pages past the header's count are left by a writer that was stopped: they are free again.
        m_next = (m_pages + m_pagesPerBlock - 1) / m_pagesPerBlock * m_pagesPerBlock;
        const int tags = le16(h + 28);
        if (tags > kMaxTags)
            fail("impossible tag count");
        for (int t = 0; t < tags; ++t) {
            const uint8_t *e = h + kTagTable + 32 * t;
            const char *tn = reinterpret_cast<const char *>(e + 4);
            m_tagNames.push_back(upper(trim(std::string(tn, strnlen(tn, 11)))));
            m_tagPages.push_back(le32(e));
        }
    }

    int tagCount() const { return static_cast<int>(m_tagNames.size()); }

    TreeTag loadTag(int t)
    {
        TreeTag tag;
        tag.headerPage = m_tagPages[static_cast<size_t>(t)];
        std::vector<uint8_t> b(m_blockBytes);
        readBlock(tag.headerPage, b.data());
        tag.root = le32(b.data());
        tag.keyType = static_cast<char>(b[9]);
        tag.keyLen = le16(b.data() + 12);
        tag.keysMax = le16(b.data() + 14);
        tag.itemLen = le16(b.data() + 18);
        tag.descending = (b[8] & 0x08) != 0;
        tag.unique = (b[8] & 0x40) != 0;
        if (tag.itemLen < tag.keyLen + 4 || tag.keysMax < 2 || 8 + tag.keysMax * tag.itemLen + 4 > m_blockBytes)
            fail("tag " + m_tagNames[static_cast<size_t>(t)] + ": impossible key layout");
        const char *ex = reinterpret_cast<const char *>(b.data() + 24);
        const std::string expr = upper(trim(std::string(ex, strnlen(ex, 220))));
        for (size_t i = 0; i < m_fields.size(); ++i)
            if (upper(m_fields[i].name) == expr)
                tag.fieldIndex = static_cast<int>(i);
        if (tag.fieldIndex < 0)
            fail("tag " + m_tagNames[static_cast<size_t>(t)] + ": key expression " + expr + " is not a field");
        return tag;
    }

    int findTag(const std::string &name) const
    {
        const std::string up = upper(name);
        for (size_t i = 0; i < m_tagNames.size(); ++i)
            if (m_tagNames[i] == up)
                return static_cast<int>(i);
        return -1;
    }

    const std::string &tagName(int t) const { return m_tagNames[static_cast<size_t>(t)]; }

    void remove(TreeTag &tag, const KeySource &k)
    {
        m_tag = &tag;
        const std::string sk = sortableOf(k);
        std::vector<std::pair<Node, uint32_t>> path; // nodes from the root down to the leaf, with their pages
        std::vector<size_t> via;                     // child taken at each interior node
        if (!findEntry(tag.root, sk, k.recno, path, via, 0))
            return; // not indexed (an index that lacked it already): nothing to take out
        Node &leaf = path.back().first;
        size_t at = 0;
        while (at < leaf.ptr.size() && leaf.ptr[at] != k.recno)
            ++at;
        leaf.ptr.erase(leaf.ptr.begin() + static_cast<long>(at));
        leaf.key.erase(leaf.key.begin() + static_cast<long>(at));
        // An emptied node leaves its parent (the root stays, even empty).
        size_t level = path.size() - 1;
        while (level > 0 && path[level].first.ptr.empty()) {
            Node &parent = path[level - 1].first;
            const size_t i = via[level - 1];
            parent.ptr.erase(parent.ptr.begin() + static_cast<long>(i));
            if (!parent.key.empty())
                parent.key.erase(parent.key.begin() + static_cast<long>(std::min(i, parent.key.size() - 1)));
            --level;
        }
        if (level == 0 && !path[0].first.leaf && path[0].first.ptr.empty()) {
            // Every leaf went: the tree becomes one empty leaf.
            const uint32_t page = allocate();
            writeNode(page, Node{});
            commitPages();
            setRoot(tag, page);
            return;
        }
        writeNode(path[level].second, path[level].first); // one block: the change is all or nothing
    }

    void insert(TreeTag &tag, const KeySource &k)
    {
        m_tag = &tag;
        const std::string sk = sortableOf(k);
        std::vector<std::pair<Node, uint32_t>> path;
        std::vector<size_t> via;
        uint32_t page = tag.root;
        for (int depth = 0;; ++depth) {
            if (depth > 32)
                fail("tag tree too deep");
            Node n = readNode(page);
            if (n.leaf) {
                path.emplace_back(std::move(n), page);
                break;
            }
            // The first child whose highest key is above the new key; equal keys go after the existing ones.
            size_t i = 0;
            while (i < n.key.size() && compareSortable(sortableOfStored(n.key[i]), sk) <= 0)
                ++i;
            const uint32_t child = n.ptr[i];
            via.push_back(i);
            path.emplace_back(std::move(n), page);
            page = child;
        }
        Node &leaf = path.back().first;
        size_t at = 0;
        while (at < leaf.ptr.size()) {
            const int c = compareSortable(sortableOfStored(leaf.key[at]), sk);
            if (c == 0 && tag.unique)
                return; // a unique tag keeps the first record of a key
            if (c > 0 || (c == 0 && leaf.ptr[at] > k.recno))
                break;
            ++at;
        }
        leaf.ptr.insert(leaf.ptr.begin() + static_cast<long>(at), k.recno);
        leaf.key.insert(leaf.key.begin() + static_cast<long>(at), storedOf(k));
        if (static_cast<int>(leaf.ptr.size()) <= tag.keysMax) {
            writeNode(path.back().second, leaf);
            return;
        }
        // Split upwards. Split halves go to new pages; the first node that does not overflow is rewritten in
        // place, or a new root is linked from the tag header, as the last write.
        const bool atEnd = at == leaf.ptr.size() - 1;
        size_t level = path.size() - 1;
        Node left, right;
        std::string separator;
        splitLeaf(leaf, atEnd, left, right);
        separator = left.key.back();
        uint32_t leftPage = allocate(), rightPage = allocate();
        writeNode(leftPage, left);
        writeNode(rightPage, right);
        while (level > 0) {
            Node &parent = path[level - 1].first;
            const size_t i = via[level - 1];
            parent.ptr[i] = rightPage;
            parent.ptr.insert(parent.ptr.begin() + static_cast<long>(i), leftPage);
            parent.key.insert(parent.key.begin() + static_cast<long>(i), separator);
            --level;
            if (static_cast<int>(parent.key.size()) <= tag.keysMax) {
                commitPages();
                writeNode(path[level].second, parent);
                return;
            }
            Node l, r;
            const size_t m = parent.key.size() / 2;
            l.leaf = r.leaf = false;
            l.ptr.assign(parent.ptr.begin(), parent.ptr.begin() + static_cast<long>(m) + 1);
            l.key.assign(parent.key.begin(), parent.key.begin() + static_cast<long>(m));
            separator = parent.key[m];
            r.ptr.assign(parent.ptr.begin() + static_cast<long>(m) + 1, parent.ptr.end());
            r.key.assign(parent.key.begin() + static_cast<long>(m) + 1, parent.key.end());
            leftPage = allocate();
            rightPage = allocate();
            writeNode(leftPage, l);
            writeNode(rightPage, r);
        }
        Node root;
        root.leaf = false;
        root.ptr = {leftPage, rightPage};
        root.key = {separator};
        const uint32_t rootPage = allocate();
        writeNode(rootPage, root);
        commitPages();
        setRoot(tag, rootPage);
    }

    // Steps the tag's change counter; returns the value before.
    int bumpSerial(const TreeTag &tag)
    {
        uint8_t s = 0;
        m_file.readExact(static_cast<uint64_t>(tag.headerPage) * kPage + 20, &s, 1, "a tag header");
        const uint8_t next = static_cast<uint8_t>(s + 1);
        m_file.writeAll(static_cast<uint64_t>(tag.headerPage) * kPage + 20, &next, 1);
        return s;
    }

private:
    [[noreturn]] void fail(const std::string &what) const
    {
        throw DbfError(ErrorCode::BadIndex, m_file.name() + ": " + what);
    }

    void readBlock(uint32_t page, uint8_t *out) const
    {
        if (page < kHeaderPages || page % m_pagesPerBlock != 0 || page >= m_next)
            fail("node page " + std::to_string(page) + " lies outside the file");
        m_file.readExact(static_cast<uint64_t>(page) * kPage, out, m_blockBytes, "an index node");
    }

    Node readNode(uint32_t page) const
    {
        std::vector<uint8_t> b(m_blockBytes);
        readBlock(page, b.data());
        Node n;
        const uint32_t count = le32(b.data());
        if (count > static_cast<uint32_t>(m_tag->keysMax))
            fail("node page " + std::to_string(page) + " holds too many keys");
        const size_t item = static_cast<size_t>(m_tag->itemLen);
        const uint32_t after = le32(b.data() + 8 + count * item);
        n.leaf = after == 0;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t *p = b.data() + 8 + i * item;
            n.ptr.push_back(le32(p));
            n.key.emplace_back(reinterpret_cast<const char *>(p + 4), item - 4);
        }
        if (!n.leaf)
            n.ptr.push_back(after);
        return n;
    }

    void writeNode(uint32_t page, const Node &n)
    {
        std::vector<uint8_t> b(m_blockBytes, 0);
        const size_t item = static_cast<size_t>(m_tag->itemLen);
        putLe32(b.data(), static_cast<uint32_t>(n.key.size()));
        for (size_t i = 0; i < n.key.size(); ++i) {
            uint8_t *p = b.data() + 8 + i * item;
            putLe32(p, n.ptr[i]);
            std::memcpy(p + 4, n.key[i].data(), std::min(n.key[i].size(), item - 4));
        }
        if (!n.leaf)
            putLe32(b.data() + 8 + n.key.size() * item, n.ptr.back());
        m_file.writeAll(static_cast<uint64_t>(page) * kPage, b.data(), b.size());
    }

    uint32_t allocate()
    {
        const uint32_t page = m_next;
        m_next += m_pagesPerBlock;
        m_allocated.push_back(page);
        return page;
    }

    // The new pages count as the index's own before anything links to them.
    void commitPages()
    {
        if (m_allocated.empty())
            return;
        uint8_t p[4];
        putLe32(p, m_next);
        m_file.writeAll(32, p, 4);
        // The tag header keeps its size in pages and the last page it was given.
        uint8_t th[8];
        m_file.readExact(static_cast<uint64_t>(m_tag->headerPage) * kPage + 4, th, 4, "a tag header");
        putLe32(th, le32(th) + static_cast<uint32_t>(m_allocated.size()) * m_pagesPerBlock);
        m_file.writeAll(static_cast<uint64_t>(m_tag->headerPage) * kPage + 4, th, 4);
        putLe32(th, m_allocated.back());
        m_file.writeAll(static_cast<uint64_t>(m_tag->headerPage) * kPage + 252, th, 4);
        m_pages = m_next;
        m_allocated.clear();
    }

    void setRoot(TreeTag &tag, uint32_t page)
    {
        uint8_t p[4];
        putLe32(p, page);
        m_file.writeAll(static_cast<uint64_t>(tag.headerPage) * kPage, p, 4);
        tag.root = page;
    }

    static void splitLeaf(const Node &n, bool atEnd, Node &left, Node &right)
    {
        // Keys that arrive in order (new request numbers) keep the left node full.
        const size_t m = atEnd ? n.ptr.size() - 1 : n.ptr.size() / 2;
        left.leaf = right.leaf = true;
        left.ptr.assign(n.ptr.begin(), n.ptr.begin() + static_cast<long>(m));
        left.key.assign(n.key.begin(), n.key.begin() + static_cast<long>(m));
        right.ptr.assign(n.ptr.begin() + static_cast<long>(m), n.ptr.end());
        right.key.assign(n.key.begin() + static_cast<long>(m), n.key.end());
    }

    const FieldDef &field() const { return m_fields[static_cast<size_t>(m_tag->fieldIndex)]; }

    std::string sortableOf(const KeySource &k) const
    {
        // The stored form first, so that the comparison sees exactly what the tree holds.
        return sortableOfStored(storedOf(k));
    }

    std::string sortableOfStored(const std::string &stored) const
    {
        return sortableFromStored(field(), m_tag->keyType, reinterpret_cast<const uint8_t *>(stored.data()),
                                  m_tag->keyLen);
    }

    std::string storedOf(const KeySource &k) const
    {
        std::string s;
        if (m_tag->keyType == 'C') {
            s = k.value.isString() ? k.value.asString() : std::string();
            s.resize(static_cast<size_t>(m_tag->keyLen), ' ');
        } else if (m_tag->keyType == 'N') {
            s = numericKey(k, field());
        } else {
            s = dateKey(k.value);
        }
        s.resize(static_cast<size_t>(m_tag->itemLen - 4), '\0');
        return s;
    }

    int compareSortable(const std::string &a, const std::string &b) const
    {
        const int c = a.compare(b);
        const int s = c < 0 ? -1 : (c > 0 ? 1 : 0);
        return m_tag->descending ? -s : s;
    }

    // Depth-first search for the leaf that holds (key, recno): equal keys may spread over several children.
    bool findEntry(uint32_t page, const std::string &sk, uint32_t recno, std::vector<std::pair<Node, uint32_t>> &path,
                   std::vector<size_t> &via, int depth)
    {
        if (depth > 32)
            fail("tag tree too deep");
        Node n = readNode(page);
        if (n.leaf) {
            for (size_t i = 0; i < n.ptr.size(); ++i) {
                if (n.ptr[i] == recno && compareSortable(sortableOfStored(n.key[i]), sk) == 0) {
                    path.emplace_back(std::move(n), page);
                    return true;
                }
            }
            return false;
        }
        size_t i = 0;
        while (i < n.key.size() && compareSortable(sortableOfStored(n.key[i]), sk) < 0)
            ++i;
        path.emplace_back(n, page);
        for (; i < n.ptr.size(); ++i) {
            via.push_back(i);
            if (findEntry(n.ptr[i], sk, recno, path, via, depth + 1))
                return true;
            via.pop_back();
            if (i < n.key.size() && compareSortable(sortableOfStored(n.key[i]), sk) > 0)
                break;
        }
        path.pop_back();
        return false;
    }

    File &m_file;
    const std::vector<FieldDef> &m_fields;
    uint16_t m_pagesPerBlock = 2;
    uint16_t m_blockBytes = kBlock;
    uint32_t m_pages = 0;
    uint32_t m_next = 0;
    std::vector<uint32_t> m_allocated;
    std::vector<std::string> m_tagNames;
    std::vector<uint32_t> m_tagPages;
    const TreeTag *m_tag = nullptr;
};

} // namespace

int readMdxSerial(File &file)
{
    MdxLock lock(file, false);
    uint8_t h[kHeaderPages * kPage];
    file.readExact(0, h, sizeof h, "the index header");
    if (le16(h + 28) == 0)
        return -1;
    const uint32_t page = le32(h + kTagTable);
    uint8_t s = 0;
    file.readExact(static_cast<uint64_t>(page) * kPage + 20, &s, 1, "a tag header");
    return s;
}

int applyMdxChanges(File &file, const std::vector<FieldDef> &fields, const std::vector<MdxEntryChange> &changes,
                    bool sync)
{
    MdxLock lock(file, true);
    TreeWriter w(file, fields);
    if (w.tagCount() == 0)
        return -1;
    for (const auto &c : changes) {
        const int t = w.findTag(c.tagName);
        if (t < 0)
            throw DbfError(ErrorCode::BadIndex, file.name() + ": no tag " + c.tagName);
        TreeTag tag = w.loadTag(t);
        if (c.remove)
            w.remove(tag, c.oldKey);
        if (c.insert)
            w.insert(tag, c.newKey);
    }
    int before = -1;
    for (int t = 0; t < w.tagCount(); ++t) {
        const int s = w.bumpSerial(w.loadTag(t));
        if (t == 0)
            before = s;
    }
    if (sync)
        file.sync();
    return before;
}

} // namespace tav::dbf::detail
