#pragma once

#include "store/TableSet.h"

#include "platform/dbf/DbfTable.h"

#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <map>
#include <stdexcept>

namespace tav::store {

// A start-up storage step that failed; the text is the message the user sees.
class StorageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    QString text() const { return QString::fromUtf8(what()); }
};

// A step that needs a table to itself found it open at another station; nothing of it was done.
class TableInUse : public StorageError
{
public:
    explicit TableInUse(const QString &file);
    const QString &file() const { return m_file; }

private:
    QString m_file;
};

// Whether an engine failure means that another station has the table open (or holds it exclusively).
bool isTableInUse(const std::exception &error);

// The upkeep of the office's tables at start and on demand: check and index repair, schema upgrade,
// column widening, packing and re-indexing. Every table is addressed in the program directory, its file
// found whatever the case of its name.
class StorageLifecycle
{
public:
    using MessageSink = std::function<void(const QString &text)>;
    using Progress = std::function<void(int percent)>;

    explicit StorageLifecycle(std::filesystem::path programDir);

    const std::filesystem::path &programDir() const { return m_dir; }
    // The file of a table in the program directory: the existing one in any case, else the name as given.
    std::filesystem::path tablePath(const QString &file) const;

    // Opens every table in declaration order; one that will not open gets its index back from
    // "<base>_bak.mdx" and is opened again. Returns the failure message of the first table that could not be
    // repaired ("ERROR: Al Chequear tabla - Msg: ..."), or an empty text when all open.
    // A table whose file is damaged (record count against the file, deletion flags, stored values, memo file)
    // is not opened or repaired: it is listed in damagedTables() with what is wrong, the remaining tables are
    // checked, and the returned message names every damaged table and how to repair it. A table another
    // station holds exclusively at that moment is not damaged: it is skipped, never repaired under that station.
    QString checkTables() const;
    // Tables the last checkTables found damaged: file name (as declared) → the problems, in Spanish.
    const std::map<QString, QStringList> &damagedTables() const { return m_damaged; }
    bool isDamaged(const QString &file) const { return m_damaged.count(file.toLower()) > 0; }
    // Removes the "." + name + ".new" files a pack, re-index or schema change left when it was stopped
    // (those another station is still writing are left alone). Returns how many.
    int removeLeftovers() const;
    // Copies "<base>_bak.mdx" over "<base>.mdx"; throws StorageError with the message to show.
    void restoreIndex(const QString &tableFile) const;

    // Adds the columns later versions introduced to tables that lack them. Rows with a failure message
    // report it through `messages` and go on; any other failure throws StorageError and ends the upgrade.
    // A table another station has open cannot be changed now: its missing columns are left for a later
    // start (pendingChanges) and the upgrade goes on. Returns the number of columns added.
    int upgradeSchema(const MessageSink &messages) const;
    // Widens the columns that still have their old width; returns how many were widened. The width is read
    // without taking the table; a widening another station keeps from being done now is left pending.
    int widenColumns() const;

    // Removes deleted records and writes the indexes anew (the table is taken exclusively).
    // Throws TableInUse while another station has the table open, StorageError (with the engine's text)
    // when it cannot for another reason; a table without deleted records is left as is.
    void packTable(const QString &file) const;

    // Writes the production index of every table anew, in declaration order, reporting the progress
    // (0..100); tables without an index are opened too, so a missing table is found; tables the check found
    // damaged are left alone. Throws StorageError
    // with the message to show when a table cannot be opened or rebuilt.
    // SkipTablesInUse (the start-up's upkeep): a table another station has open is left as it is.
    // AllOrNothing (asked for by a person): every table is taken first; when another station has one open,
    // TableInUse names it and no index was touched.
    enum class InUse { SkipTablesInUse, AllOrNothing };
    void reindexAll(const Progress &progress, InUse inUse = InUse::AllOrNothing) const;

    // What the start-up upkeep had to leave because other stations have tables open: the table files
    // skipped (once each, in the order met), and the columns a table lacks or has too narrow.
    struct PendingChange
    {
        QString file;
        QString column;
    };
    const QStringList &tablesInUse() const { return m_inUse; }
    const std::vector<PendingChange> &pendingChanges() const { return m_pending; }
    void clearNotes() const;

private:
    void noteInUse(const QString &file) const;
    QString shownName(const QString &file) const; // the name the file has on disk

    std::filesystem::path m_dir;
    mutable std::map<QString, QStringList> m_damaged;
    mutable QStringList m_inUse;
    mutable std::vector<PendingChange> m_pending;
};

// One problem of a damaged table, for the user.
QString damageText(const dbf::Damage &damage);

// The message shown when a table cannot be re-indexed, naming the table and the support contact.
QString reindexFailureMessage(const QString &component);

// The support contact appended to messages that ask the office to call for help.
QString supportContact();

} // namespace tav::store
