#include "support/TestDir.h"

#include <atomic>
#include <random>
#include <system_error>
#include <unistd.h>

namespace tav::test {

TestDir::TestDir()
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto candidate = base / ("tav-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                                 std::to_string(rd() % 100000));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) {
            m_path = candidate;
            break;
        }
    }
}

TestDir::~TestDir()
{
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path fixturesDir()
{
#ifdef TAV_FIXTURES_DIR
    std::filesystem::path p = TAV_FIXTURES_DIR;
    std::error_code ec;
    if (std::filesystem::is_directory(p, ec))
        return std::filesystem::canonical(p, ec);
#endif
    return {};
}

} // namespace tav::test
