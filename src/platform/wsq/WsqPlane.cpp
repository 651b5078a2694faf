#include "platform/wsq/WsqPlane.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>

namespace tav::wsq {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kLargeBytes = kHugePage / 4; // below this, huge pages would waste more than they save

// Under the address sanitizer every plane stays on the heap, where overruns are caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargePlanes = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargePlanes = false;
#else
constexpr bool kMapLargePlanes = true;
#endif
#else
constexpr bool kMapLargePlanes = true;
#endif

} // namespace

Plane::Plane(std::size_t count) : m_count(count)
{
    const std::size_t bytes = count * sizeof(float);
    if (count != 0 && bytes / sizeof(float) != count)
        throw std::bad_alloc();
    if (kMapLargePlanes && bytes >= kLargeBytes) {
        // One spare huge page of address space lets the plane start on a huge-page boundary; the
        // spare part is never touched and so never takes memory.
        const std::size_t length = (bytes + kHugePage - 1) / kHugePage * kHugePage + kHugePage;
        void *map = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED)
            throw std::bad_alloc();
        auto *base = static_cast<char *>(map);
        const std::size_t skip =
            (kHugePage - (reinterpret_cast<std::uintptr_t>(base) & (kHugePage - 1))) & (kHugePage - 1);
        madvise(base + skip, length - skip, MADV_HUGEPAGE); // advice only
        m_map = map;
        m_mapLength = length;
        m_data = reinterpret_cast<float *>(base + skip); // anonymous memory reads as zero
        return;
    }
    m_small.assign(count, 0.0f);
    m_data = m_small.data();
}

Plane::~Plane()
{
    if (m_map)
        munmap(m_map, m_mapLength);
}

} // namespace tav::wsq
