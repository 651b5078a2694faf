#pragma once

#include <sane/sane.h>

#include <cstdlib>
#include <dlfcn.h>
#include <string>

namespace tav::test {

// Points SANE at the project's test configuration (only the "test" backend) before the first scanner object
// starts SANE in this process.
//
// The test backend's reader thread loses its buffer now and then. So that LeakSanitizer can name the backend (and
// the suppression in the scanner tests can ignore it), the backend is kept loaded after SANE unloads it.
inline void useTestScanners()
{
    ::setenv("SANE_CONFIG_DIR", TAV_SOURCE_DIR "/tests/fixtures/sane", 1);
    static const bool kept = [] {
        Dl_info info{};
        if (!dladdr(reinterpret_cast<void *>(&sane_init), &info) || !info.dli_fname)
            return false;
        std::string dir = info.dli_fname;
        dir = dir.substr(0, dir.rfind('/'));
        return dlopen((dir + "/sane/libsane-test.so.1").c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
    }();
    (void)kept;
}

} // namespace tav::test
