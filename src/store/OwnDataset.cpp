#include "store/OwnDataset.h"

#include "store/DbfSource.h"
#include "store/TableSet.h"
#include "store/Tdm.h"

namespace tav::store {

std::unique_ptr<RecordSource> ownSource(Tdm &dm, const QString &component)
{
    const TableDef *def = findTableDef(component);
    if (!def)
        throw DatasetError(QStringLiteral("Tabla desconocida: %1").arg(component).toStdString());
    QList<ColumnDef> columns;
    for (const auto &f : def->fields)
        columns.append(DbfSource::columnOf(f));
    return std::make_unique<DbfSource>(dm.storage().tablePath(def->file), def->indexField, columns);
}

std::unique_ptr<Dataset> ownDatasetOn(Tdm &dm, const QString &component, std::unique_ptr<RecordSource> source)
{
    auto ds = std::make_unique<Dataset>(component, std::move(source));
    ds->showMessage = [&dm](const QString &text) { dm.ui().warning(text); };
    ds->open();
    return ds;
}

std::unique_ptr<Dataset> openOwnDataset(Tdm &dm, const QString &component)
{
    return ownDatasetOn(dm, component, ownSource(dm, component));
}

} // namespace tav::store
