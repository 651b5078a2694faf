#pragma once

// The codec's working plane: width * height samples, zero-filled.
//
// A finger's plane is a megabyte or more and each byte of it is touched once or twice. On the virtual
// machines offices run on, the first touch of every 4 KiB page costs several microseconds, which was
// most of the time of a whole conversion; a large plane therefore asks the kernel for transparent
// huge pages (one fault per 2 MiB) where the system offers them, and falls back to ordinary pages.

#include <cstddef>
#include <vector>

namespace tav::wsq {

class Plane
{
public:
    explicit Plane(std::size_t count);
    ~Plane();
    Plane(const Plane &) = delete;
    Plane &operator=(const Plane &) = delete;

    float *data() { return m_data; }
    const float *data() const { return m_data; }
    std::size_t size() const { return m_count; }
    float &operator[](std::size_t i) { return m_data[i]; }
    float operator[](std::size_t i) const { return m_data[i]; }

private:
    float *m_data = nullptr;
    std::size_t m_count = 0;
    void *m_map = nullptr; // the mapping behind a large plane
    std::size_t m_mapLength = 0;
    std::vector<float> m_small; // a small plane lives on the ordinary heap
};

} // namespace tav::wsq
