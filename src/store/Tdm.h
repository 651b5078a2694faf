#pragma once

#include "store/Clock.h"
#include "store/Dataset.h"
#include "store/StorageLifecycle.h"

#include "port/Ui.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>

namespace tav::store {

// The data module: owns every table of the office as a dataset, the settings access, the sequence
// numbers, the per-request file names, the record helpers the save rules share, and the flags the
// windows and rules read. One instance (`dm`) lives for the whole program run.
class Tdm : public QObject
{
    Q_OBJECT

public:
    Tdm(std::filesystem::path programDir, ui::Ui &ui, const Clock &clock, QObject *parent = nullptr);
    ~Tdm() override;

    ui::Ui &ui() const { return m_ui; }
    const Clock &clock() const { return m_clock; }
    StorageLifecycle &storage() { return m_storage; }

    // --- program directory and version ---
    const std::filesystem::path &programDir() const { return m_dir; }
    QString programPath() const;                 // with its trailing separator
    QString filePath(const QString &name) const; // a file of the program directory, existing case wins
    bool fileExists(const QString &name) const;  // such a file is in the program directory, in any case
    QString programVersion;                      // "2.32": written into C_VERSION on every save

    // --- flags and settings loaded at start ---
    bool initialized = false;
    bool postConfirmed = false;
    bool receptionIdle = true;
    bool homeDelivery = false;
    int answersPerCycle = 1;
    bool loginRequired = true; // fail closed: only settings read to the end can switch the login off
    bool printConfirmationOfPersonal = false;
    bool nominativeRequests = false;
    bool documentationRequired = true;
    bool liveScanConfigured = false;
    bool checkSlipData = true;
    bool automaticPrinting = true;
    int timerIntervalMs = 60000;
    QString offenceFilter; // lower-case text offence descriptions must contain

    // The reception timer: fires every "frec_recep" minutes (interval set by loadSettings); the main window
    // runs the reception trigger on it. The cycle itself is installed by the message exchange.
    QTimer Timer;
    std::function<void()> receptionCycle;

    // --- datasets (created at construction, opened by openTables) ---
    Dataset &dataset(const QString &component) const;
    // A dataset of its own over one of the office's tables (same file, columns and index order), closed and
    // with none of the handlers bound to the data module's datasets: for jobs that walk a table (purge, reply
    // handling), so that moving its cursor never moves the record a person's window shows. What it saves
    // reaches the data module's dataset at that one's next re-read.
    std::unique_ptr<Dataset> ownDataset(const QString &component) const;
    Dataset *org, *prov, *ped, *nac, *tdoc, *sexo, *prior, *pedp, *sup, *Est, *expp, *res, *usu, *estcent, *tdel, *tram,
        *amb, *carped, *url;
    Dataset *PedBol; // in memory: one personal request as the payment-slip service returns it

    // --- start-up storage steps, each callable on its own ---
    void deleteStartupScratch(); // "out.tif", "out.bmp"
    // Table check with index repair; shows the failure message (start-up goes on). False on failure.
    bool checkTables();
    // Schema upgrade and widening; messages of the rows that have one are shown; other failures throw.
    // A change another station keeps from being made now is said once per table (the program goes on: a
    // save that needs the missing column is refused, never cut).
    void upgradeSchema();
    // Packs "ped.dbf" and "pedp.dbf"; a failure shows its message and start-up goes on. A table another
    // station has open is left for a later start without a message.
    void packRequestTables();
    // Re-indexes every table (the data module's datasets are closed and reopened as they were).
    // AtStart skips the tables other stations have open; OnDemand (the menu, the job) does all or nothing and
    // names the table in use. Failed: after its message, the program must end.
    enum class ReindexWhen { AtStart, OnDemand };
    enum class ReindexResult { Done, TableInUse, Failed };
    ReindexResult reindex(const StorageLifecycle::Progress &progress, ReindexWhen when = ReindexWhen::OnDemand);
    void openTables();
    // Closes every table; never throws (a failure to close one is logged and the others are still closed).
    void closeTables() noexcept;
    void migratePop3Password();
    bool tdocHasExportColumn() const;
    // Reads the settings into the flags above; throws DatasetError when `frec_recep` is not an integer,
    // leaving the flags read so far.
    void loadSettings();

    enum class StartResult { Ready, Terminate };
    // The whole storage start: the steps above in order, with their messages. The upkeep steps (upgrade,
    // widening, pack, re-index) are not a condition of working: their failures are shown and the start goes
    // on, and the tables other stations have open are left for a later start (maintenanceNote says which).
    // Terminate when the program must end: the tables cannot be opened, the re-index fails, the
    // document-type export column is missing. The login stays required unless the settings were read.
    StartResult startUp(const StorageLifecycle::Progress &reindexProgress = {});
    // The one line the start leaves for the status bar (empty when all upkeep could be done).
    QString maintenanceNote;
    // How long the start waits for a table another station holds exclusively (its own start-up upkeep).
    std::chrono::milliseconds openWait{30000};

    // --- settings access (exact key, case-sensitive) ---
    QString readSetting(const QString &name);
    QString readSetting(const QString &name, const QString &defaultValue);
    bool writeSetting(const QString &name, const QString &value);

    // --- numbering ---
    // Draws the next number of a sequence ("ped", "pedp", "org"); 0 (after its message) when the sequence
    // has no row. Throws DatasetError when the sequence table stays held by another station.
    int drawNumber(const QString &sequence);
    // Draws a number for the dataset's component into its key field; false when none was drawn or the
    // field is read-only.
    bool assignNumber(Dataset &table, const QString &keyField);
    std::chrono::milliseconds sequenceWait{5000};

    // --- per-request files (names without directory; empty when the key is incomplete) ---
    static QString requestFileName(const QString &prefix, const Dataset &table);
    QString pedFingerprintFile() const { return requestFileName(QStringLiteral("h"), *ped); }
    QString pedCardFile() const { return requestFileName(QStringLiteral("z"), *ped); }
    QString pedDocumentFile() const { return requestFileName(QStringLiteral("d"), *ped); }
    QString pedAnswerFile() const { return requestFileName(QStringLiteral("c"), *ped); }
    QString pedpFingerprintFile() const { return requestFileName(QStringLiteral("hp"), *pedp); }
    QString pedpCardFile() const { return requestFileName(QStringLiteral("zp"), *pedp); }
    QString pedpDocumentFile() const { return requestFileName(QStringLiteral("dp"), *pedp); }
    QString pedpAnswerFile() const { return requestFileName(QStringLiteral("cp"), *pedp); }
    // Removes a file of the program directory; nothing happens for an empty name or a missing file.
    void deleteFile(const QString &name) const;

    // --- record helpers of the save rules ---
    // True (after its message) when the value is null or empty.
    bool isMissing(const QVariant &value, const QString &label);
    bool isMissing(const Field &field, const QString &label) { return isMissing(field.value(), label); }
    // False (after its message) at the first character that is not A..Z, space, apostrophe or Ñ.
    bool validNameCharacters(const QVariant &value);
    // Trimmed, with inner runs of spaces reduced to one; null stays null.
    static QVariant normalizedName(const QVariant &value);
    // Returns and clears the post-confirmed flag; when it was not set, says the changes are unsaved.
    bool checkPostConfirmed();
    // True while an official or personal request is being edited or inserted.
    bool isEditing() const;

    // The re-read after a save or deletion: other stations' changes become visible.
    void FlushBuffers(Dataset &table);
    // Deletes the scratch files of an earlier edit before a new one starts.
    void BeforeEdit(Dataset &table);

private:
    Dataset *makeTable(const QString &component);
    void bindEvents();

    std::filesystem::path m_dir;
    ui::Ui &m_ui;
    const Clock &m_clock;
    StorageLifecycle m_storage;
    std::map<QString, Dataset *> m_byName;
    Subscriptions m_bindings; // the data module's own handlers on its tables
};

} // namespace tav::store
