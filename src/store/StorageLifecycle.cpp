#include "store/StorageLifecycle.h"

#include "platform/dbf/DbfFile.h"
#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"

#include <QDebug>

#include <algorithm>
#include <map>
#include <system_error>

namespace tav::store {

namespace {

QString engineText(const std::exception &e)
{
    return QString::fromLocal8Bit(e.what());
}

dbf::OpenOptions lightOpen()
{
    dbf::OpenOptions o;
    o.loadIndexes = false;
    o.validateIndex = false;
    o.reindexOnClose = false;
    return o;
}

} // namespace

TableInUse::TableInUse(const QString &file)
    : StorageError(QStringLiteral("La tabla %1 está en uso en otra estación de trabajo.").arg(file).toStdString()),
      m_file(file)
{}

bool isTableInUse(const std::exception &error)
{
    if (dynamic_cast<const TableInUse *>(&error))
        return true;
    // Busy: another station has the table open (or holds it to itself); Locked: it holds one of the table's
    // locks at that moment (a sequence draw, an index update).
    const auto *engine = dynamic_cast<const dbf::DbfError *>(&error);
    return engine && (engine->code() == dbf::ErrorCode::Busy || engine->code() == dbf::ErrorCode::Locked);
}

QString StorageLifecycle::shownName(const QString &file) const
{
    return QString::fromStdString(tablePath(file).filename().string());
}

void StorageLifecycle::noteInUse(const QString &table) const
{
    const QString file = shownName(table);
    for (const QString &f : m_inUse)
        if (f.compare(file, Qt::CaseInsensitive) == 0)
            return;
    m_inUse.append(file);
}

void StorageLifecycle::clearNotes() const
{
    m_inUse.clear();
    m_pending.clear();
}

QString supportContact()
{
    return QStringLiteral("Soporte Técnico de TAV Central (soporte@tav-central.example, tel. 0800-555-0182)");
}

QString reindexFailureMessage(const QString &component)
{
    return QStringLiteral("No existe la tabla: %1 .\rPor favor comuníquese con %2.").arg(component, supportContact());
}

StorageLifecycle::StorageLifecycle(std::filesystem::path programDir) : m_dir(std::move(programDir)) {}

std::filesystem::path StorageLifecycle::tablePath(const QString &file) const
{
    return os::resolveNoCase(m_dir / file.toStdString());
}

void StorageLifecycle::restoreIndex(const QString &tableFile) const
{
    // The base is the file name with the first occurrence of its extension cut out.
    QString base = tableFile;
    const int dot = static_cast<int>(tableFile.lastIndexOf(QLatin1Char('.')));
    if (dot >= 0) {
        const QString ext = tableFile.mid(dot);
        base.remove(base.indexOf(ext), ext.size());
    }
    const QString backupName = base + QStringLiteral("_bak.mdx");
    const auto backup = os::findFileNoCase(m_dir, backupName.toStdString());
    if (!backup)
        throw StorageError(QStringLiteral("No existe Archivo %1").arg(backupName).toStdString());
    const auto index = os::resolveNoCase(m_dir / (base + QStringLiteral(".mdx")).toStdString());
    std::error_code ec;
    std::filesystem::copy_file(*backup, index, std::filesystem::copy_options::overwrite_existing, ec);
    if (ec)
        throw StorageError(
            QStringLiteral("No generar MDX desde el archivo de backup de la tabla %1").arg(tableFile).toStdString());
}

QString damageText(const dbf::Damage &d)
{
    using K = dbf::Damage::Kind;
    const QString field = QString::fromStdString(d.field);
    const QString stored = QString::fromLatin1(d.stored.data(), static_cast<qsizetype>(d.stored.size()));
    switch (d.kind) {
    case K::Header:
        return QStringLiteral("el encabezado del archivo está dañado (%1)").arg(QString::fromStdString(d.detail));
    case K::RecordCount:
        if (d.wholeRecords > d.headerCount)
            return QStringLiteral("el encabezado dice %1 registros pero el archivo tiene %2 registros completos")
                .arg(d.headerCount)
                .arg(d.wholeRecords);
        return QStringLiteral("el encabezado dice %1 registros pero el archivo está cortado: tiene %2 registros "
                              "completos%3")
            .arg(d.headerCount)
            .arg(d.wholeRecords)
            .arg(d.partialBytes > 1 ? QStringLiteral(" y parte de otro") : QString());
    case K::DeletionFlag:
        return QStringLiteral("el registro %1 tiene una marca de borrado que no es válida (\"%2\")")
            .arg(d.recno)
            .arg(stored);
    case K::BadValue:
        if (d.recno == 0)
            return QStringLiteral("más registros dañados (%1)").arg(QString::fromStdString(d.detail));
        return QStringLiteral("el registro %1 tiene en el campo %2 el valor \"%3\", que no es válido")
            .arg(d.recno)
            .arg(field, stored);
    case K::MemoMissing:
        return QStringLiteral("falta el archivo de memos (.DBT)");
    case K::MemoDamaged:
        if (d.recno > 0)
            return QStringLiteral("el registro %1 apunta en el campo %2 fuera del archivo de memos (.DBT)")
                .arg(d.recno)
                .arg(field);
        return QStringLiteral("el archivo de memos (.DBT) está dañado (%1)").arg(QString::fromStdString(d.detail));
    case K::Index:
        return QStringLiteral("el índice (.MDX) está dañado o desactualizado (%1)")
            .arg(QString::fromStdString(d.detail));
    }
    return QString::fromStdString(d.detail);
}

int StorageLifecycle::removeLeftovers() const
{
    int removed = 0;
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(m_dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() < 6 || name[0] != '.' || name.compare(name.size() - 4, 4, ".new") != 0)
            continue;
        const QString base = QString::fromStdString(name.substr(1, name.size() - 5)).toLower();
        if (!base.endsWith(QLatin1String(".dbf")) && !base.endsWith(QLatin1String(".mdx")) &&
            !base.endsWith(QLatin1String(".dbt")))
            continue;
        // A file being written is locked by its writer; one nobody holds was left by a stopped writer.
        try {
            dbf::OpenOptions o;
            o.validateIndex = false;
            o.loadIndexes = false;
            o.reindexOnClose = false;
            o.sharedOpenWait = std::chrono::milliseconds(0);
            if (base.endsWith(QLatin1String(".dbf"))) {
                dbf::Table::open(entry.path(), dbf::OpenMode::Exclusive, o).close();
            } else {
                // An index or memo file another station is writing (while it packs, or rewrites the index as it
                // closes a table it held alone) carries its writer's lock on the open marker.
                const auto f = dbf::detail::File::open(entry.path(), false);
                if (f.isLockedByOther(dbf::detail::kOpenMarker, 1, true))
                    continue;
            }
        } catch (const dbf::DbfError &e) {
            if (e.code() == dbf::ErrorCode::Busy)
                continue;
        }
        if (std::filesystem::remove(entry.path(), ec))
            ++removed;
    }
    return removed;
}

QString StorageLifecycle::checkTables() const
{
    // Opening validates the production index; the in-memory orders are not needed for that.
    dbf::OpenOptions probe;
    probe.loadIndexes = false;
    probe.reindexOnClose = false;
    m_damaged.clear();
    removeLeftovers();
    QStringList damagedMessages;
    for (const auto &def : tableSet()) {
        if (def.file.isEmpty())
            continue;
        // The records and the memo file first: a damaged table is not touched (no index restore, no open).
        try {
            const auto path = tablePath(def.file);
            if (std::filesystem::exists(path)) {
                dbf::VerifyOptions v;
                v.index = false;
                v.maxRecords = 5;
                QStringList problems;
                for (const auto &d : dbf::Table::verify(path, v))
                    problems << damageText(d);
                if (!problems.isEmpty()) {
                    m_damaged[def.file.toLower()] = problems;
                    damagedMessages << QStringLiteral("La tabla %1 está dañada y no se abrirá: %2.")
                                           .arg(def.file, problems.join(QStringLiteral("; ")));
                    continue;
                }
            }
        } catch (const std::exception &) {
            // Unreadable: the open below reports it.
        }
        try {
            try {
                dbf::Table::open(tablePath(def.file), dbf::OpenMode::Shared, probe).close();
                continue;
            } catch (const std::exception &e) {
                // Held exclusively by another station (its own upkeep, a sequence draw): not damaged, and its
                // index must not be replaced under it.
                if (isTableInUse(e)) {
                    noteInUse(def.file);
                    continue;
                }
            }
            try {
                restoreIndex(def.file);
            } catch (const StorageError &e) {
                throw StorageError(("ERROR: Al reparar Mdx - Msg: " + e.text()).toStdString());
            }
            try {
                dbf::Table::open(tablePath(def.file), dbf::OpenMode::Shared, probe).close();
            } catch (const std::exception &) {
                throw StorageError(("ERROR: En la apertura de la tabla " + def.file).toStdString());
            }
        } catch (const StorageError &e) {
            return QStringLiteral("ERROR: Al Chequear tabla - Msg: ") + e.text();
        }
    }
    if (!damagedMessages.isEmpty())
        return damagedMessages.join(QStringLiteral("\r")) +
               QStringLiteral("\rNo se perdió ningún dato. Para repararla, con el programa cerrado en todas las "
                              "estaciones: dbftool recover <tabla> (ver la guía del administrador), o comuníquese "
                              "con %1.")
                   .arg(supportContact());
    return {};
}

int StorageLifecycle::upgradeSchema(const MessageSink &messages) const
{
    // Each table's columns are read once; the 31 rows then only look them up.
    std::map<QString, std::vector<dbf::FieldDef>> columnsOf;
    auto columns = [&](const QString &file) -> std::vector<dbf::FieldDef> & {
        const QString key = file.toLower();
        auto it = columnsOf.find(key);
        if (it == columnsOf.end()) {
            dbf::OpenOptions probe;
            probe.readOnly = true;
            probe.loadIndexes = false;
            probe.validateIndex = false;
            it = columnsOf.emplace(key, dbf::Table::open(tablePath(file), dbf::OpenMode::Shared, probe).fields()).first;
        }
        return it->second;
    };
    int added = 0;
    for (const auto &row : schemaUpgrades()) {
        if (isDamaged(row.file))
            continue; // a damaged table is left as it is until it is repaired
        try {
            auto &fields = columns(row.file);
            if (std::any_of(fields.begin(), fields.end(),
                            [&](const dbf::FieldDef &f) { return os::equalsNoCase(f.name, row.field.name); }))
                continue;
            dbf::OpenOptions o;
            o.validateIndex = false;
            auto t = dbf::Table::open(tablePath(row.file), dbf::OpenMode::Exclusive, o);
            t.addColumn(row.field, row.setFalse ? dbf::Value(false) : dbf::Value());
            fields = t.fields();
            t.close();
            ++added;
        } catch (const std::exception &e) {
            if (isTableInUse(e)) {
                // Another station works on the table: the column is added at a start that finds it free.
                noteInUse(row.file);
                m_pending.push_back({shownName(row.file), QString::fromStdString(row.field.name)});
                continue;
            }
            if (row.failureMessage.isEmpty())
                throw StorageError(engineText(e).toStdString());
            if (messages)
                messages(row.failureMessage);
        }
    }
    return added;
}

int StorageLifecycle::widenColumns() const
{
    int widened = 0;
    for (const auto &w : widenings()) {
        if (isDamaged(w.file))
            continue;
        try {
            // The width is read without taking the table: most starts have nothing to widen, and a station
            // that finds the tables in use elsewhere must still start.
            auto needsWidening = [&](const dbf::Table &t) {
                const int fi = t.fieldIndex(w.field.toStdString());
                return fi >= 0 && t.fields()[static_cast<size_t>(fi)].length == w.oldWidth;
            };
            dbf::OpenOptions probe = lightOpen();
            probe.readOnly = true;
            if (!needsWidening(dbf::Table::open(tablePath(w.file), dbf::OpenMode::Shared, probe)))
                continue;
            dbf::OpenOptions o;
            o.validateIndex = false;
            auto t = dbf::Table::open(tablePath(w.file), dbf::OpenMode::Exclusive, o);
            if (needsWidening(t)) {
                t.changeWidth(w.field.toStdString(), static_cast<uint8_t>(w.newWidth));
                ++widened;
            }
            t.close();
        } catch (const std::exception &e) {
            if (isTableInUse(e)) {
                noteInUse(w.file);
                m_pending.push_back({shownName(w.file), w.field});
                continue;
            }
            throw StorageError(engineText(e).toStdString());
        }
    }
    return widened;
}

void StorageLifecycle::packTable(const QString &file) const
{
    try {
        auto t = dbf::Table::open(tablePath(file), dbf::OpenMode::Exclusive, lightOpen());
        if (t.deletedCount() > 0)
            t.pack();
        t.close();
    } catch (const std::exception &e) {
        if (isTableInUse(e)) {
            noteInUse(file);
            throw TableInUse(shownName(file));
        }
        throw StorageError(engineText(e).toStdString());
    }
}

void StorageLifecycle::reindexAll(const Progress &progress, InUse inUse) const
{
    std::vector<const TableDef *> tables;
    for (const auto &def : tableSet())
        if (!def.file.isEmpty())
            tables.push_back(&def);
    auto damaged = [&](const TableDef &def) { return isDamaged(def.file); };
    const int count = static_cast<int>(tables.size());
    auto take = [&](const TableDef &def) {
        return dbf::Table::open(tablePath(def.file), dbf::OpenMode::Exclusive, lightOpen());
    };
    auto rebuild = [](dbf::Table &t, const TableDef &def) {
        if (def.tags.empty())
            return;
        if (t.tags().empty())
            t.reindex(def.tags);
        else
            t.reindex();
    };
    auto report = [&](int done) {
        if (progress)
            progress(count > 1 ? std::min(100, done * 100 / (count - 1)) : 100);
    };

    if (inUse == InUse::AllOrNothing) {
        // Every table is taken before any index is written, so a table in use elsewhere leaves all as they were.
        std::vector<dbf::Table> taken;
        taken.reserve(tables.size());
        for (const TableDef *def : tables) {
            if (damaged(*def)) {
                taken.emplace_back(); // left alone until it is repaired
                continue;
            }
            try {
                taken.push_back(take(*def));
            } catch (const std::exception &e) {
                if (isTableInUse(e))
                    throw TableInUse(shownName(def->file));
                qWarning("%s: %s", qPrintable(def->file), e.what());
                throw StorageError(reindexFailureMessage(def->component).toStdString());
            }
        }
        for (size_t i = 0; i < tables.size(); ++i) {
            try {
                if (taken[i].isOpen()) {
                    rebuild(taken[i], *tables[i]);
                    taken[i].close();
                }
            } catch (const std::exception &) {
                throw StorageError(reindexFailureMessage(tables[i]->component).toStdString());
            }
            report(static_cast<int>(i) + 1);
        }
        return;
    }

    int done = 0;
    for (const TableDef *def : tables) {
        if (damaged(*def)) {
            report(++done);
            continue;
        }
        try {
            auto t = take(*def);
            rebuild(t, *def);
            t.close();
        } catch (const std::exception &e) {
            if (!isTableInUse(e)) {
                qWarning("%s: %s", qPrintable(def->file), e.what());
                throw StorageError(reindexFailureMessage(def->component).toStdString());
            }
            noteInUse(def->file);
        }
        report(++done);
    }
}

} // namespace tav::store
