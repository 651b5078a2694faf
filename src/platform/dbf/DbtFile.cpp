#include "platform/dbf/DbtFile.h"

#include "platform/dbf/DbfError.h"

#include <algorithm>
#include <cstring>

namespace tav::dbf::detail {

namespace {

constexpr uint32_t kMaxMemo = 256u * 1024u * 1024u; // refuse absurd lengths instead of allocating them

uint32_t le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putLe32(uint8_t *p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>((v >> (8 * i)) & 0xFF);
}

} // namespace

DbtFile DbtFile::open(const std::filesystem::path &path, bool dBase3, bool writable)
{
    DbtFile m;
    m.m_path = path;
    m.m_dBase3 = dBase3;
    try {
        m.m_file = File::open(path, writable);
    } catch (const DbfError &e) {
        throw DbfError(ErrorCode::BadMemo, e.what());
    }
    uint8_t hdr[32] = {};
    if (m.m_file.readSome(0, hdr, sizeof hdr) < 24)
        throw DbfError(ErrorCode::BadMemo, m.m_file.name() + ": truncated memo file header");
    if (!dBase3) {
        const uint16_t bs = static_cast<uint16_t>(hdr[20] | (hdr[21] << 8));
        // dBASE IV and the Borland engine write 512 or a multiple; an absent value means 512.
        if (bs == 0)
            m.m_blockSize = 512;
        else if (bs % 64 != 0 || bs > 16384)
            throw DbfError(ErrorCode::BadMemo, m.m_file.name() + ": impossible memo block size " + std::to_string(bs));
        else
            m.m_blockSize = bs;
    }
    return m;
}

DbtFile DbtFile::create(const std::filesystem::path &path, const std::string &dbfBaseName, bool dBase3,
                        uint16_t blockSize, bool truncate)
{
    DbtFile m;
    m.m_path = path;
    m.m_dBase3 = dBase3;
    m.m_blockSize = dBase3 ? 512 : blockSize;
    m.m_file = File::create(path, truncate);
    std::vector<uint8_t> hdr(m.m_blockSize, 0);
    putLe32(hdr.data(), 1); // next free block
    if (dBase3) {
        hdr[16] = 0x03;
    } else {
        std::string base = dbfBaseName.substr(0, 8);
        for (auto &c : base)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::memcpy(hdr.data() + 8, base.data(), base.size());
        hdr[18] = 0x02;
        hdr[19] = 0x01;
        hdr[20] = static_cast<uint8_t>(m.m_blockSize & 0xFF);
        hdr[21] = static_cast<uint8_t>(m.m_blockSize >> 8);
    }
    m.m_file.writeAll(0, hdr.data(), hdr.size());
    m.m_file.sync();
    return m;
}

void DbtFile::checkHeader() const
{
    uint8_t hdr[4];
    m_file.readExact(0, hdr, 4, "the memo file header");
    const uint64_t size = m_file.size();
    const uint64_t next = le32(hdr);
    if (next == 0 || next * m_blockSize > size + m_blockSize)
        throw DbfError(ErrorCode::BadMemo, m_file.name() + ": next free block " + std::to_string(next) +
                                               " disagrees with the file size " + std::to_string(size));
}

std::string DbtFile::headerProblem() const
{
    const uint64_t size = m_file.size();
    const uint64_t first = m_dBase3 ? 512 : m_blockSize;
    if (size < std::min<uint64_t>(first, 512))
        return m_file.name() + ": the memo file is cut short (" + std::to_string(size) +
               " bytes, less than its header)";
    uint8_t hdr[4];
    m_file.readExact(0, hdr, 4, "the memo file header");
    const uint64_t next = le32(hdr);
    const uint64_t blocks = (size + m_blockSize - 1) / m_blockSize;
    if (next == 0 || next > blocks)
        return m_file.name() + ": the next free block " + std::to_string(next) + " lies past the end of the file (" +
               std::to_string(blocks) + " blocks)";
    return {};
}

std::string DbtFile::problemAt(uint32_t block) const
{
    const uint64_t size = m_file.size();
    const uint64_t offset = static_cast<uint64_t>(block) * m_blockSize;
    if (block == 0 || offset >= size)
        return m_file.name() + ": memo pointer " + std::to_string(block) + " lies outside the memo file";
    if (m_dBase3)
        return {};
    uint8_t head[8];
    if (offset + 8 > size)
        return m_file.name() + ": memo block " + std::to_string(block) + " is cut short";
    m_file.readExact(offset, head, 8, "a memo block header");
    if (!(head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00))
        return {}; // dBASE III text in a dBASE IV file: read up to its end mark
    const uint32_t length = le32(head + 4);
    if (length < 8 || offset + length > size)
        return m_file.name() + ": the memo at block " + std::to_string(block) + " has length " +
               std::to_string(length) + ", past the end of the memo file";
    return {};
}

Bytes DbtFile::read(uint32_t block) const
{
    const uint64_t size = m_file.size();
    const uint64_t offset = static_cast<uint64_t>(block) * m_blockSize;
    if (block == 0 || offset >= size)
        throw DbfError(ErrorCode::BadMemo, m_file.name() + ": memo pointer " + std::to_string(block) +
                                               " lies outside the memo file (" + std::to_string(size) + " bytes)");
    Bytes out;
    if (m_dBase3) {
        // Text up to the first 0x1A (dBASE III+ ends a memo with two).
        const uint64_t maxLen = std::min<uint64_t>(size - offset, kMaxMemo);
        std::vector<uint8_t> buf(512);
        uint64_t pos = offset;
        while (pos < offset + maxLen) {
            const size_t n = m_file.readSome(
                pos, buf.data(), static_cast<size_t>(std::min<uint64_t>(buf.size(), offset + maxLen - pos)));
            if (n == 0)
                break;
            auto end = std::find(buf.begin(), buf.begin() + static_cast<long>(n), uint8_t{0x1A});
            out.insert(out.end(), buf.begin(), end);
            if (end != buf.begin() + static_cast<long>(n))
                return out;
            pos += n;
        }
        return out;
    }
    uint8_t head[8];
    if (offset + 8 > size)
        throw DbfError(ErrorCode::BadMemo, m_file.name() + ": memo block " + std::to_string(block) + " is truncated");
    m_file.readExact(offset, head, 8, "a memo block header");
    if (!(head[0] == 0xFF && head[1] == 0xFF && head[2] == 0x08 && head[3] == 0x00)) {
        // Not a used dBASE IV block: some writers put dBASE III text in a dBASE IV file.
        std::vector<uint8_t> buf(std::min<uint64_t>(size - offset, kMaxMemo));
        const size_t n = m_file.readSome(offset, buf.data(), buf.size());
        auto end = std::find(buf.begin(), buf.begin() + static_cast<long>(n), uint8_t{0x1A});
        if (end == buf.begin() + static_cast<long>(n))
            throw DbfError(ErrorCode::BadMemo,
                           m_file.name() + ": memo block " + std::to_string(block) + " is not a memo start");
        return Bytes(buf.begin(), end);
    }
    const uint32_t length = le32(head + 4);
    if (length < 8 || length > kMaxMemo || offset + length > size)
        throw DbfError(ErrorCode::BadMemo, m_file.name() + ": memo at block " + std::to_string(block) + " has length " +
                                               std::to_string(length) + " beyond the end of the memo file");
    out.resize(length - 8);
    if (!out.empty())
        m_file.readExact(offset + 8, out.data(), out.size(), "a memo");
    return out;
}

uint32_t DbtFile::append(const Bytes &data, bool sync)
{
    if (data.size() + 16 > kMaxMemo)
        throw DbfError(ErrorCode::BadValue,
                       m_file.name() + ": memo of " + std::to_string(data.size()) + " bytes is too large");
    // The memo file's own lock (2 bytes at the lock base, as dBASE-compatible engines do).
    File &f = m_file;
    f.lock(kLockBase, 2, true, true);
    struct Unlock
    {
        File &f;
        ~Unlock() { f.unlock(kLockBase, 2); }
    } unlock{f};
    uint8_t hdr[4];
    f.readExact(0, hdr, 4, "the memo file header");
    const uint64_t size = f.size();
    // Blocks from the header's next free block to the end of the file hold nothing a record points to: the
    // zeros written ahead below, or the memo of a writer that was stopped before its record pointed to it.
    // A next block past the end (a damaged header) is taken as the end.
    const uint64_t blocksInFile = (size + m_blockSize - 1) / m_blockSize;
    uint64_t next = le32(hdr);
    if (next == 0 || next > blocksInFile)
        next = std::max<uint64_t>(1, blocksInFile);
    if (next > 0xFFFFFFF0ULL)
        throw DbfError(ErrorCode::BadMemo, f.name() + ": memo file is full");
    std::vector<uint8_t> buf;
    if (m_dBase3) {
        buf = data;
        if (std::find(buf.begin(), buf.end(), uint8_t{0x1A}) != buf.end())
            throw DbfError(ErrorCode::BadValue,
                           f.name() + ": a dBASE III memo cannot hold the byte 0x1A (binary data)");
        buf.push_back(0x1A);
        buf.push_back(0x1A);
    } else {
        buf.resize(8);
        buf[0] = 0xFF;
        buf[1] = 0xFF;
        buf[2] = 0x08;
        buf[3] = 0x00;
        putLe32(buf.data() + 4, static_cast<uint32_t>(data.size() + 8));
        buf.insert(buf.end(), data.begin(), data.end());
    }
    const size_t blocks = (buf.size() + m_blockSize - 1) / m_blockSize;
    buf.resize(blocks * m_blockSize, 0);
    // The file grows in steps of zeros written ahead, so that most saves only overwrite blocks the file
    // already has: flushing those to disk needs no change of the file's size.
    const uint64_t end = (next + blocks) * m_blockSize;
    if (end > size) {
        constexpr uint64_t kAhead = 64 * 1024;
        const uint64_t grown = (end + kAhead + m_blockSize - 1) / m_blockSize * m_blockSize;
        const std::vector<uint8_t> zeros(static_cast<size_t>(grown - end), 0);
        f.writeAll(end, zeros.data(), zeros.size());
    }
    f.writeAll(next * m_blockSize, buf.data(), buf.size());
    // One sync covers data and header: a header that lags behind is repaired by the next append, which
    // never writes below the end of the file.
    uint8_t newNext[4];
    putLe32(newNext, static_cast<uint32_t>(next + blocks));
    f.writeAll(0, newNext, 4);
    if (sync)
        f.sync();
    return static_cast<uint32_t>(next);
}

} // namespace tav::dbf::detail
