#include "platform/dbf/DbfIndex.h"

#include "platform/dbf/DbfError.h"
#include "platform/dbf/DbfFormat.h"

#include <algorithm>
#include <cstring>

namespace tav::dbf {

Index::Index(IndexTag tag, int fieldIndex, FieldDef field)
    : m_tag(std::move(tag)), m_fieldIndex(fieldIndex), m_field(std::move(field))
{
    switch (m_field.type) {
    case FieldType::Character:
        m_keyLen = m_field.length;
        break;
    case FieldType::Numeric:
    case FieldType::Float:
    case FieldType::Date:
        m_keyLen = 8;
        break;
    default:
        throw DbfError(ErrorCode::BadArgument, "index tag " + m_tag.name + ": field " + m_field.name +
                                                   " has a type that cannot be indexed (only C, N, F, D)");
    }
    if (m_keyLen == 0)
        m_keyLen = 1;
}

std::string Index::keyOf(const Value &value) const
{
    std::string k = detail::sortKey(m_field, value);
    if (m_tag.descending) {
        for (auto &c : k)
            c = static_cast<char>(~static_cast<unsigned char>(c));
    }
    return k;
}

const char *Index::keyPtr(uint32_t recno) const
{
    return m_keys.data() + static_cast<size_t>(recno - 1) * m_keyLen;
}

bool Index::lessAt(uint32_t recnoA, const std::string &keyB, uint32_t recnoB) const
{
    const int c = std::memcmp(keyPtr(recnoA), keyB.data(), m_keyLen);
    if (c != 0)
        return c < 0;
    return recnoA < recnoB;
}

size_t Index::lowerBoundKey(const std::string &k) const
{
    auto it = std::partition_point(m_order.begin(), m_order.end(),
                                   [&](uint32_t r) { return std::memcmp(keyPtr(r), k.data(), m_keyLen) < 0; });
    return static_cast<size_t>(it - m_order.begin());
}

size_t Index::upperBoundKey(const std::string &k) const
{
    auto it = std::partition_point(m_order.begin(), m_order.end(),
                                   [&](uint32_t r) { return std::memcmp(keyPtr(r), k.data(), m_keyLen) <= 0; });
    return static_cast<size_t>(it - m_order.begin());
}

std::optional<size_t> Index::find(const Value &key) const
{
    if (m_field.type == FieldType::Character && key.isString()) {
        const std::string &s = key.asString();
        const size_t end = s.find_last_not_of(' ');
        if (end != std::string::npos && end + 1 > m_keyLen)
            return std::nullopt; // longer than the field: no key can equal it
    }
    const std::string k = keyOf(key);
    const size_t pos = lowerBoundKey(k);
    if (pos < m_order.size() && std::memcmp(keyPtr(m_order[pos]), k.data(), m_keyLen) == 0)
        return pos;
    return std::nullopt;
}

size_t Index::lowerBound(const Value &key) const
{
    return lowerBoundKey(keyOf(key));
}

size_t Index::upperBound(const Value &key) const
{
    return upperBoundKey(keyOf(key));
}

std::optional<size_t> Index::findPrefix(const std::string &prefix) const
{
    if (m_field.type != FieldType::Character || prefix.size() > m_keyLen)
        return std::nullopt;
    const std::string k = keyOf(Value(prefix));
    const size_t pos = lowerBoundKey(k);
    if (m_tag.descending) {
        // Descending keys are stored inverted; the first key with the prefix is the largest one, found as the
        // first key not before the prefix padded with 0xFF.
        std::string hi = prefix;
        hi.resize(m_keyLen, '\xFF');
        std::string inv = hi;
        for (auto &c : inv)
            c = static_cast<char>(~static_cast<unsigned char>(c));
        const size_t p = lowerBoundKey(inv);
        if (p < m_order.size()) {
            const char *kp = keyPtr(m_order[p]);
            bool match = true;
            for (size_t i = 0; i < prefix.size() && match; ++i)
                match = static_cast<char>(~static_cast<unsigned char>(kp[i])) == prefix[i];
            if (match)
                return p;
        }
        return std::nullopt;
    }
    if (pos < m_order.size() && std::memcmp(keyPtr(m_order[pos]), prefix.data(), prefix.size()) == 0)
        return pos;
    return std::nullopt;
}

std::optional<size_t> Index::positionOf(uint32_t recno) const
{
    if (recno == 0 || recno > m_present.size() || !m_present[recno - 1])
        return std::nullopt;
    const std::string k(keyPtr(recno), m_keyLen);
    auto it = std::partition_point(m_order.begin(), m_order.end(), [&](uint32_t r) { return lessAt(r, k, recno); });
    if (it != m_order.end() && *it == recno)
        return static_cast<size_t>(it - m_order.begin());
    return std::nullopt;
}

std::optional<std::string> Index::keyFor(uint32_t recno) const
{
    if (recno == 0 || recno > m_present.size() || !m_present[recno - 1])
        return std::nullopt;
    return std::string(keyPtr(recno), m_keyLen);
}

void Index::clear()
{
    m_order.clear();
    m_keys.clear();
    m_present.clear();
}

void Index::build(std::vector<std::pair<std::string, uint32_t>> entries)
{
    clear();
    std::sort(entries.begin(), entries.end());
    uint32_t maxRecno = 0;
    for (const auto &e : entries)
        maxRecno = std::max(maxRecno, e.second);
    m_keys.assign(static_cast<size_t>(maxRecno) * m_keyLen, '\0');
    m_present.assign(maxRecno, 0);
    m_order.reserve(entries.size());
    for (const auto &e : entries) {
        if (e.second == 0 || m_present[e.second - 1])
            continue;
        std::memcpy(m_keys.data() + static_cast<size_t>(e.second - 1) * m_keyLen, e.first.data(),
                    std::min(m_keyLen, e.first.size()));
        m_present[e.second - 1] = 1;
        m_order.push_back(e.second);
    }
}

void Index::insert(uint32_t recno, const std::string &key)
{
    if (recno == 0)
        return;
    erase(recno);
    if (recno > m_present.size()) {
        m_present.resize(recno, 0);
        m_keys.resize(static_cast<size_t>(recno) * m_keyLen, '\0');
    }
    std::string k = key;
    k.resize(m_keyLen, '\0');
    std::memcpy(m_keys.data() + static_cast<size_t>(recno - 1) * m_keyLen, k.data(), m_keyLen);
    auto it = std::partition_point(m_order.begin(), m_order.end(), [&](uint32_t r) { return lessAt(r, k, recno); });
    m_order.insert(it, recno);
    m_present[recno - 1] = 1;
}

void Index::erase(uint32_t recno)
{
    if (auto pos = positionOf(recno)) {
        m_order.erase(m_order.begin() + static_cast<long>(*pos));
        m_present[recno - 1] = 0;
    }
}

} // namespace tav::dbf
