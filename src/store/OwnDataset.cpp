#include "store/OwnDataset.h"

#include "store/DbfSource.h"
#include "store/TableSet.h"
#include "store/Tdm.h"

namespace tav::store {

std::unique_ptr<Dataset> openOwnDataset(Tdm &dm, const QString &component)
{
    const TableDef *def = findTableDef(component);
    if (!def)
        throw DatasetError(QStringLiteral("Tabla desconocida: %1").arg(component).toStdString());
    QList<ColumnDef> columns;
    for (const auto &f : def->fields)
        columns.append(DbfSource::columnOf(f));
    auto source = std::make_unique<DbfSource>(dm.storage().tablePath(def->file), def->indexField, columns);
    auto ds = std::make_unique<Dataset>(component, std::move(source));
    ds->showMessage = [&dm](const QString &text) { dm.ui().warning(text); };
    ds->open();
    return ds;
}

} // namespace tav::store
