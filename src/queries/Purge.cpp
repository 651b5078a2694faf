#include "queries/Purge.h"

#include "store/RequestQueries.h"
#include "store/Tdm.h"

#include "platform/dbf/DbfTable.h"

#include <cmath>

namespace tav::queries {

Purge::Purge(store::Tdm &dm) : m_dm(dm) {}

int Purge::keepDays() const
{
    bool ok = false;
    const int days = m_dm.readSetting(QStringLiteral("dur_guarda")).trimmed().toInt(&ok);
    // Zero or a negative number would purge the answers of today or of days to come: like a value that is not
    // a number, it gives the default.
    return ok && days >= 1 ? days : 15;
}

QDate Purge::cutoff() const
{
    return m_dm.clock().today().addDays(-keepDays());
}

int Purge::purgeTable(bool personal, const QDate &cutoff)
{
    store::RequestQueries queries(m_dm.programDir());
    const auto rows = queries.purgeSelection(personal, cutoff);
    if (rows.empty())
        return 0;
    const QStringList prefixes = personal ? QStringList{"hp", "zp", "cp", "dp"} : QStringList{"h", "z", "c"};
    for (const auto &r : rows)
        for (const auto &p : prefixes)
            m_dm.deleteFile(p + QString::number(std::llround(r.c_ped)) + QLatin1Char('.') +
                            QString::number(std::llround(r.c_reg)));

    const QString file = personal ? QStringLiteral("pedp.dbf") : QStringLiteral("ped.dbf");
    store::Dataset &table = personal ? *m_dm.pedp : *m_dm.ped;
    // The rows are marked through a handle of the purge's own, so no window's current record moves; the data
    // module's dataset is closed only so the pack can take the table.
    table.close();
    {
        auto t = dbf::Table::open(m_dm.storage().tablePath(file), dbf::OpenMode::Shared);
        for (const auto &r : rows)
            t.setDeleted(r.recno, true);
        t.close();
    }
    try {
        m_dm.storage().packTable(file);
    } catch (const store::StorageError &) {
        // The rows stay marked as deleted; the next start packs the table again.
    }
    return static_cast<int>(rows.size());
}

Purge::Result Purge::run(const Progress &progress)
{
    auto report = [&](int p) {
        if (progress)
            progress(p);
    };
    Result result;
    result.cutoff = cutoff();
    report(16);
    result.official = purgeTable(false, result.cutoff);
    report(48);
    result.personal = purgeTable(true, result.cutoff);
    report(100);
    m_dm.ped->close();
    m_dm.pedp->close();
    return result;
}

} // namespace tav::queries
