#include "app/Jobs.h"

#include "port/ConsoleUi.h"
#include "queries/Purge.h"
#include "store/OfficeInstaller.h"
#include "store/TableSet.h"
#include "store/Tdm.h"

#include "platform/dbf/DbfTable.h"

namespace tav::app {

namespace {

QString toText(const std::filesystem::path &p)
{
    return QString::fromStdString(p.string());
}

} // namespace

int initOfficeJob(const std::filesystem::path &officeDir, const std::filesystem::path &programDir, QTextStream &out)
{
    const auto data = store::OfficeInstaller::findDataDir(programDir);
    if (data.empty()) {
        out << "No se encuentran los datos de instalación (carpeta data junto al programa)." << Qt::endl;
        return 2;
    }
    try {
        store::OfficeInstaller(data).createOffice(officeDir);
    } catch (const std::exception &e) {
        out << QString::fromUtf8(e.what()) << Qt::endl;
        return 1;
    }
    out << "Oficina creada en " << toText(officeDir) << Qt::endl;
    return 0;
}

int reindexJob(const std::filesystem::path &programDir, QTextStream &out)
{
    ui::ConsoleUi ui;
    store::Clock clock;
    store::Tdm dm(programDir, ui, clock);
    int last = -1;
    const auto result = dm.reindex([&](int percent) {
        if (percent != last)
            out << "Ordenamiento de Archivos: " << percent << "%" << Qt::endl;
        last = percent;
    });
    if (result != store::Tdm::ReindexResult::Done)
        return 1;
    out << "Finalizó el ordenamiento exitosamente" << Qt::endl;
    return 0;
}

int purgeJob(const std::filesystem::path &programDir, QTextStream &out)
{
    ui::ConsoleUi ui;
    store::Clock clock;
    store::Tdm dm(programDir, ui, clock);
    try {
        dm.openTables();
        queries::Purge purge(dm);
        const auto result = purge.run();
        out << "Purga de contestaciones anteriores al " << result.cutoff.toString(QStringLiteral("dd/MM/yyyy")) << ": "
            << result.official << " pedidos oficiales y " << result.personal << " pedidos personales." << Qt::endl;
    } catch (const std::exception &e) {
        out << QString::fromUtf8(e.what()) << Qt::endl;
        return 1;
    }
    return 0;
}

int checkJob(const std::filesystem::path &programDir, QTextStream &out)
{
    store::StorageLifecycle storage(programDir);
    int problems = 0;
    out << "Tablas de " << toText(programDir) << Qt::endl;
    for (const auto &def : store::tableSet()) {
        const auto path = storage.tablePath(def.file);
        try {
            // The whole file: record count, deletion flags, stored values, memo file and index.
            const auto damage = dbf::Table::verify(path);
            dbf::OpenOptions inspect;
            inspect.readOnly = true;
            inspect.validateIndex = false;
            inspect.loadIndexes = false;
            inspect.reindexOnClose = false;
            auto t = dbf::Table::open(path, dbf::OpenMode::Shared, inspect);
            if (damage.empty()) {
                out << "  " << def.file << ": " << t.recordCount() << " registros, OK" << Qt::endl;
            } else {
                ++problems;
                out << "  " << def.file << ": DAÑADA" << Qt::endl;
                for (const auto &d : damage)
                    out << "    " << store::damageText(d) << Qt::endl;
            }
            QStringList missing;
            for (const auto &row : store::schemaUpgrades())
                if (row.file.compare(def.file, Qt::CaseInsensitive) == 0 && t.fieldIndex(row.field.name) < 0)
                    missing << QString::fromStdString(row.field.name);
            for (const auto &w : store::widenings()) {
                if (w.file.compare(def.file, Qt::CaseInsensitive) != 0)
                    continue;
                const int fi = t.fieldIndex(w.field.toStdString());
                if (fi >= 0 && t.fields()[static_cast<size_t>(fi)].length == w.oldWidth)
                    missing << QStringLiteral("%1 (ancho %2 → %3)").arg(w.field).arg(w.oldWidth).arg(w.newWidth);
            }
            if (!missing.isEmpty())
                out << "    a actualizar al iniciar: " << missing.join(QStringLiteral(", ")) << Qt::endl;
        } catch (const std::exception &e) {
            ++problems;
            out << "  " << def.file << ": ERROR " << QString::fromUtf8(e.what()) << Qt::endl;
        }
    }
    out << (problems == 0 ? "Todas las tablas abren correctamente." : "Hay tablas con problemas.") << Qt::endl;
    return problems == 0 ? 0 : 1;
}

} // namespace tav::app
