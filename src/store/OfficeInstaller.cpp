#include "store/OfficeInstaller.h"

#include "store/DbfSource.h"
#include "store/Field.h"
#include "store/StorageLifecycle.h"
#include "store/TableSet.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"

#include <QFile>
#include <QStringList>
#include <QTextStream>

#include <system_error>

namespace tav::store {

OfficeInstaller::OfficeInstaller(std::filesystem::path dataDir) : m_dataDir(std::move(dataDir)) {}

std::filesystem::path OfficeInstaller::findDataDir(const std::filesystem::path &programDir)
{
    std::error_code ec;
    // Beside the program, or where an installation puts it (<prefix>/bin and <prefix>/share/tavregional);
    // a build tree has the same layout.
    const std::vector<std::filesystem::path> candidates{programDir / "data",
                                                        programDir.parent_path() / "share" / "tavregional" / "data"};
    for (const auto &c : candidates)
        if (std::filesystem::is_directory(c / "tables", ec))
            return c;
    return {};
}

void OfficeInstaller::createOffice(const std::filesystem::path &dir) const
{
    std::error_code ec;
    if (!std::filesystem::is_directory(m_dataDir / "tables", ec))
        throw StorageError(QStringLiteral("No se encuentran los datos de instalación en %1")
                               .arg(QString::fromStdString(m_dataDir.string()))
                               .toStdString());
    std::filesystem::create_directories(dir, ec);
    if (!std::filesystem::is_directory(dir, ec))
        throw StorageError(QStringLiteral("No se pudo crear el directorio %1")
                               .arg(QString::fromStdString(dir.string()))
                               .toStdString());
    for (const auto &def : tableSet())
        if (os::findFileNoCase(dir, def.file.toStdString()))
            throw StorageError(QStringLiteral("El directorio %1 ya contiene la tabla %2; no se modifica nada.")
                                   .arg(QString::fromStdString(dir.string()), def.file)
                                   .toStdString());

    for (const auto &def : tableSet()) {
        try {
            dbf::CreateOptions o;
            o.tags = def.tags;
            o.version = def.version;
            dbf::Table::create(dir / def.file.toStdString(), def.fields, o).close();
            fillTable(dir, def.component, def.file);
            if (!def.tags.empty()) {
                const QString base = def.file.left(def.file.lastIndexOf(QLatin1Char('.')));
                const auto index = os::findFileNoCase(dir, (base + QStringLiteral(".mdx")).toStdString());
                if (!index)
                    throw StorageError(QStringLiteral("%1: no se generó el índice").arg(def.file).toStdString());
                std::filesystem::copy_file(*index, dir / (base + QStringLiteral("_bak.mdx")).toStdString(),
                                           std::filesystem::copy_options::overwrite_existing);
            }
        } catch (const StorageError &) {
            throw;
        } catch (const std::exception &e) {
            throw StorageError(QStringLiteral("%1: %2").arg(def.file, QString::fromLocal8Bit(e.what())).toStdString());
        }
    }
    for (const char *name : {"fmodelo.bemepe", "Amputado.BMP"}) {
        if (std::filesystem::exists(m_dataDir / name, ec))
            std::filesystem::copy_file(m_dataDir / name, dir / name, std::filesystem::copy_options::overwrite_existing,
                                       ec);
    }
}

void OfficeInstaller::fillTable(const std::filesystem::path &dir, const QString &component, const QString &file) const
{
    QFile in(
        QString::fromStdString((m_dataDir / "tables" / (component + QStringLiteral(".txt")).toStdString()).string()));
    if (!in.exists())
        return;
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text))
        throw StorageError(QStringLiteral("No se pudo leer %1").arg(in.fileName()).toStdString());
    QTextStream ts(&in);
    ts.setEncoding(QStringConverter::Utf8);
    QStringList header;
    DbfSource source(dir / file.toStdString());
    dbf::OpenOptions bulk;
    bulk.syncWrites = false;
    source.setOpenOptions(bulk);
    source.open();
    const auto &cols = source.columns();
    std::vector<int> colOf;
    int lineNo = 0;
    while (!ts.atEnd()) {
        const QString line = ts.readLine();
        ++lineNo;
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList cells = line.split(QLatin1Char('|'));
        if (header.isEmpty()) {
            header = cells;
            for (const auto &h : header) {
                int found = -1;
                for (qsizetype i = 0; i < cols.size(); ++i)
                    if (cols.at(i).name.compare(h.trimmed(), Qt::CaseInsensitive) == 0)
                        found = static_cast<int>(i);
                if (found < 0)
                    throw StorageError(
                        QStringLiteral("%1: la columna %2 no existe en %3").arg(in.fileName(), h, file).toStdString());
                colOf.push_back(found);
            }
            continue;
        }
        if (cells.size() != header.size())
            throw StorageError(QStringLiteral("%1, línea %2: se esperaban %3 valores")
                                   .arg(in.fileName())
                                   .arg(lineNo)
                                   .arg(header.size())
                                   .toStdString());
        QVariantList row(cols.size());
        for (qsizetype i = 0; i < cells.size(); ++i) {
            const auto &col = cols.at(colOf[static_cast<size_t>(i)]);
            row[colOf[static_cast<size_t>(i)]] = coerceValue(col.kind, col.size, cells.at(i));
        }
        source.append(row);
    }
    source.table().flush();
    source.close();
}

} // namespace tav::store
