#pragma once

#include <QString>

#include <filesystem>

namespace tav::store {

// Makes the program directory of a new office: every table with its columns, production index and
// "_bak.mdx" backup, the code tables and settings from the installation data, and the card template files.
class OfficeInstaller
{
public:
    // `dataDir` holds "tables/*.txt" and the template files ("fmodelo.bemepe", "Amputado.BMP").
    explicit OfficeInstaller(std::filesystem::path dataDir);

    // Creates the office in `dir` (made when missing). Refuses a directory that already holds a table of
    // the office, so nothing an office has is overwritten. Throws StorageError with the reason.
    void createOffice(const std::filesystem::path &dir) const;

    // Where the installation data is for a program at `programDir`: "<programDir>/data", or
    // "<programDir>/../share/tavregional/data" as installed (and as a build tree links it), or empty
    // when neither exists.
    static std::filesystem::path findDataDir(const std::filesystem::path &programDir);

private:
    void fillTable(const std::filesystem::path &dir, const QString &component, const QString &file) const;
    std::filesystem::path m_dataDir;
};

} // namespace tav::store
