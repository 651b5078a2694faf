#pragma once

// Splits the rows of a large image between the calling thread and one helper thread: the rating runs
// on machines with two cores, and a finger should be rated in well under the time of a scan.

#include <system_error>
#include <thread>

namespace tav::quality {

// Calls work(from, to) on [0, mid) here and on [mid, count) in a helper thread; small counts stay on
// this thread, and so does everything when no thread can be started. The halves must write to
// disjoint places.
template <typename Work> void inHalves(int count, Work &&work)
{
    constexpr int kMinimumToSplit = 32;
    if (count < kMinimumToSplit || std::thread::hardware_concurrency() < 2) {
        work(0, count);
        return;
    }
    const int mid = count / 2;
    std::jthread helper;
    try {
        helper = std::jthread([&] { work(mid, count); });
    } catch (const std::system_error &) {
        work(0, count); // no thread to be had: all of it here
        return;
    }
    work(0, mid);
}

} // namespace tav::quality
