#pragma once

// Starting helper processes from a test and collecting what they print: several stations working on one
// program directory at the same time. Header-only so other test folders can use it too.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tav::test {

class ChildProcess
{
public:
    // Starts `exe` with `args`; its standard output is captured in a pipe.
    static ChildProcess start(const std::string &exe, const std::vector<std::string> &args)
    {
        ChildProcess c;
        int fds[2];
        if (::pipe(fds) != 0)
            return c;
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[0]);
            ::close(fds[1]);
            std::vector<char *> argv;
            argv.push_back(const_cast<char *>(exe.c_str()));
            for (const auto &a : args)
                argv.push_back(const_cast<char *>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        c.m_pid = pid;
        c.m_out = fds[0];
        return c;
    }

    ChildProcess() = default;
    ChildProcess(ChildProcess &&o) noexcept { *this = std::move(o); }
    ChildProcess &operator=(ChildProcess &&o) noexcept
    {
        std::swap(m_pid, o.m_pid);
        std::swap(m_out, o.m_out);
        std::swap(m_output, o.m_output);
        std::swap(m_status, o.m_status);
        return *this;
    }
    ~ChildProcess()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out >= 0)
            ::close(m_out);
    }

    bool started() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }

    // Reads what is available without blocking long; returns all output so far.
    const std::string &drain()
    {
        if (m_out < 0)
            return m_output;
        for (;;) {
            fd_set set;
            FD_ZERO(&set);
            FD_SET(m_out, &set);
            timeval tv{0, 0};
            if (::select(m_out + 1, &set, nullptr, nullptr, &tv) <= 0)
                break;
            char buf[4096];
            const ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0) {
                ::close(m_out);
                m_out = -1;
                break;
            }
            m_output.append(buf, static_cast<size_t>(n));
        }
        return m_output;
    }

    // Waits up to `timeout` for the process to end; returns its exit code, or empty on timeout (the process
    // is then killed) or when it died by a signal.
    std::optional<int> wait(std::chrono::milliseconds timeout)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!m_status) {
            drain();
            int st = 0;
            const pid_t r = ::waitpid(m_pid, &st, WNOHANG);
            if (r == m_pid) {
                m_status = st;
                break;
            }
            if (std::chrono::steady_clock::now() >= deadline) {
                kill();
                return std::nullopt;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        drain();
        if (WIFEXITED(*m_status))
            return WEXITSTATUS(*m_status);
        return std::nullopt;
    }

    // Kills the process at once (SIGKILL) and reaps it.
    void kill()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            int st = 0;
            ::waitpid(m_pid, &st, 0);
            m_status = st;
        }
        drain();
    }

    const std::string &output() { return drain(); }

private:
    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_output;
    std::optional<int> m_status;
};

// Starts `count` copies of `exe`, the i-th with args(i), waits for all (bounded) and returns them.
template <typename ArgsFn>
std::vector<ChildProcess> runConcurrently(const std::string &exe, int count, ArgsFn args,
                                          std::chrono::milliseconds timeout)
{
    std::vector<ChildProcess> children;
    for (int i = 0; i < count; ++i)
        children.push_back(ChildProcess::start(exe, args(i)));
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (auto &c : children) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        c.wait(std::max(left, std::chrono::milliseconds(1)));
    }
    return children;
}

// Splits output into lines.
inline std::vector<std::string> outputLines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string::npos)
            nl = text.size();
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return lines;
}

} // namespace tav::test
