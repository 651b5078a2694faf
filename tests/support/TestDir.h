#pragma once

#include <filesystem>
#include <string>

namespace tav::test {

// A fresh folder under the system's temporary directory, removed when the object goes.
class TestDir
{
public:
    TestDir();
    ~TestDir();
    TestDir(const TestDir &) = delete;
    TestDir &operator=(const TestDir &) = delete;

    const std::filesystem::path &path() const { return m_path; }
    std::filesystem::path operator/(const std::string &name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// The project's test data folder (tests/fixtures), or an empty path when it is absent.
std::filesystem::path fixturesDir();

} // namespace tav::test
