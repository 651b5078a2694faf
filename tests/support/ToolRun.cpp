#include "support/ToolRun.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace tav::test {

ToolRun runTool(const std::string &program, const std::string &args, const TestDir &dir)
{
    const auto errFile = dir / "stderr.txt";
    const std::string cmd = program + " " + args + " 2>'" + errFile.string() + "'";
    ToolRun r;
    FILE *f = ::popen(cmd.c_str(), "r");
    if (!f)
        return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        r.out.append(buf, n);
    const int st = ::pclose(f);
    r.code = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream err(errFile, std::ios::binary);
    r.err.assign(std::istreambuf_iterator<char>(err), std::istreambuf_iterator<char>());
    return r;
}

} // namespace tav::test
