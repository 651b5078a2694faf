#pragma once

// Runs one of our command-line tools as its own process and collects what it printed.

#include "support/TestDir.h"

#include <string>

namespace tav::test {

struct ToolRun
{
    int code = -1; // exit status, -1 when the program did not end normally
    std::string out;
    std::string err;
};

// `args` are passed to the shell as written (quote paths); standard error goes through a file in `dir`.
ToolRun runTool(const std::string &program, const std::string &args, const TestDir &dir);

} // namespace tav::test
