#pragma once

#include <cstdlib>

namespace tav::test {

// Points SANE at the project's test configuration (only the "test" backend) before the first scanner object
// starts SANE in this process.
inline void useTestScanners()
{
    ::setenv("SANE_CONFIG_DIR", TAV_SOURCE_DIR "/tests/fixtures/sane", 1);
}

} // namespace tav::test
