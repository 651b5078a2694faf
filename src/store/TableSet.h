#pragma once

#include "platform/dbf/DbfTypes.h"

#include <QString>

#include <vector>

namespace tav::store {

// One table of the office's program directory as this program version declares it.
struct TableDef
{
    QString component;                 // name of the dataset in the data module ("ped", "Est")
    QString file;                      // file name with the case new files get ("PED.DBF")
    QString indexField;                // key field of the index in use; empty = natural order
    std::vector<dbf::IndexTag> tags;   // tags of the production index; none = the table has no .MDX
    std::vector<dbf::FieldDef> fields; // columns in file order
    uint8_t version = 0;               // header form of a new file (0: dBASE IV/5; 0x04: level 7, long names)
};

// Every table of the office in the order the data module declares them (the table check and the
// re-index walk them in this order).
const std::vector<TableDef> &tableSet();
const TableDef *findTableDef(const QString &component);

// Order in which the tables are opened at start.
const QStringList &openOrder();

// A column added by a later program version, with what existing rows get.
struct SchemaUpgradeRow
{
    QString file;           // "ped.dbf"
    dbf::FieldDef field;    // name, type, width
    QString typeText;       // the type as written in the upgrade list ("CHAR(100)", "BOOLEAN")
    bool setFalse = false;  // existing rows get False
    QString failureMessage; // shown when adding the column fails; empty = a failure ends the upgrade
};
const std::vector<SchemaUpgradeRow> &schemaUpgrades();

// A column widened in place when it still has its old width.
struct Widening
{
    QString file;
    QString field;
    int newWidth;
    int oldWidth;
};
const std::vector<Widening> &widenings();

} // namespace tav::store
