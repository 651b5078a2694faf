#include "store/RequestQueries.h"

#include "store/Dataset.h"
#include "store/DbfSource.h"
#include "store/TableSet.h"

#include "platform/os/NoCasePath.h"

#include <map>
#include <stdexcept>

namespace tav::store {

namespace {

// Reads a table's live records as name → value maps, in index or natural order.
class TableReader
{
public:
    TableReader(const std::filesystem::path &dir, const QString &file, const QString &indexField = {})
        : m_source(os::resolveNoCase(dir / file.toStdString()), indexField)
    {
        m_source.open();
        const auto &cols = m_source.columns();
        for (qsizetype i = 0; i < cols.size(); ++i)
            m_columns.insert(cols.at(i).name.toUpper(), static_cast<int>(i));
    }
    ~TableReader() { m_source.close(); }
    TableReader(const TableReader &) = delete;
    TableReader &operator=(const TableReader &) = delete;

    std::vector<KeyEntry> records() { return m_source.liveRecords(); }
    QVariantList read(RecNo r) { return m_source.read(r); }
    int column(const QString &name) const { return m_columns.value(name.toUpper(), -1); }
    bool has(const QString &name) const { return column(name) >= 0; }
    QVariant value(const QVariantList &row, const QString &name) const
    {
        const int c = column(name);
        return c < 0 ? QVariant() : row.value(c);
    }
    QVariantMap toMap(const QVariantList &row) const
    {
        QVariantMap m;
        const auto &cols = m_source.columns();
        for (qsizetype i = 0; i < cols.size(); ++i)
            m.insert(cols.at(i).name, row.value(i));
        return m;
    }
    DbfSource &source() { return m_source; }

private:
    DbfSource m_source;
    QHash<QString, int> m_columns;
};

QString fileOf(SearchTable t)
{
    switch (t) {
    case SearchTable::Official:
        return QStringLiteral("Ped.dbf");
    case SearchTable::Personal:
        return QStringLiteral("Pedp.dbf");
    case SearchTable::Alias:
        return QStringLiteral("Sup.dbf");
    }
    return {};
}

bool sameNumber(const QVariant &v, double n)
{
    return !v.isNull() && v.toDouble() == n;
}

} // namespace

RequestQueries::RequestQueries(std::filesystem::path programDir) : m_dir(std::move(programDir)) {}

std::vector<OfficialListRow> RequestQueries::officialList(std::optional<bool> sent, std::optional<bool> answered) const
{
    std::map<double, QString> orgNames;
    {
        TableReader org(m_dir, QStringLiteral("org.DBF"));
        for (const auto &e : org.records()) {
            const QVariantList row = org.read(e.recno);
            const QVariant code = org.value(row, QStringLiteral("C_ORG"));
            if (!code.isNull())
                orgNames.emplace(code.toDouble(), org.value(row, QStringLiteral("X_ORG")).toString());
        }
    }
    std::vector<OfficialListRow> out;
    TableReader ped(m_dir, QStringLiteral("PED.DBF"), QStringLiteral("C_PED"));
    for (const auto &e : ped.records()) {
        const QVariantList row = ped.read(e.recno);
        // An inner join: a request without a known organisation is not listed.
        const QVariant orgCode = ped.value(row, QStringLiteral("C_ORG"));
        if (orgCode.isNull())
            continue;
        auto org = orgNames.find(orgCode.toDouble());
        if (org == orgNames.end())
            continue;
        if (sent && ped.value(row, QStringLiteral("M_ENVIADO")) != QVariant(*sent))
            continue;
        if (answered && ped.value(row, QStringLiteral("M_CONTESTA")) != QVariant(*answered))
            continue;
        OfficialListRow r;
        r.c_ped = ped.value(row, QStringLiteral("C_PED")).toDouble();
        r.f_ped = ped.value(row, QStringLiteral("F_PED")).toDate();
        r.n_expe = ped.value(row, QStringLiteral("N_EXPE"));
        r.x_ape1 = ped.value(row, QStringLiteral("X_APE1")).toString();
        r.x_nom1 = ped.value(row, QStringLiteral("X_NOM1")).toString();
        r.f_con = ped.value(row, QStringLiteral("F_CON")).toDate();
        r.x_org = org->second;
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<QVariantMap> RequestQueries::officialRequest(double c_ped, double c_reg) const
{
    TableReader ped(m_dir, QStringLiteral("PED.DBF"), QStringLiteral("C_PED"));
    for (const auto &e : ped.records()) {
        const QVariantList row = ped.read(e.recno);
        if (sameNumber(ped.value(row, QStringLiteral("C_PED")), c_ped) &&
            sameNumber(ped.value(row, QStringLiteral("C_REG")), c_reg))
            return ped.toMap(row);
    }
    return std::nullopt;
}

std::vector<SearchRow> RequestQueries::search(SearchTable table, const SearchCriteria &c) const
{
    TableReader t(m_dir, fileOf(table));
    std::vector<std::pair<QString, QString>> names;
    if (c.by == SearchCriteria::By::Names) {
        const std::pair<const char *, const QString *> all[] = {
            {"X_APE1", &c.ape1}, {"X_APE2", &c.ape2}, {"X_NOM1", &c.nom1}, {"X_NOM2", &c.nom2}, {"X_NOM3", &c.nom3}};
        for (const auto &[field, text] : all)
            if (!text->isEmpty())
                names.emplace_back(QString::fromLatin1(field), *text);
        if (names.empty())
            throw std::runtime_error("Indique al menos un apellido o un nombre para buscar.");
    }
    if (c.by == SearchCriteria::By::Document && !t.has(QStringLiteral("N_DOC")))
        throw std::runtime_error("Los supuestos no tienen número de documento: elija Oficiales o Personales.");

    std::vector<SearchRow> out;
    for (const auto &e : t.records()) {
        const QVariantList row = t.read(e.recno);
        bool match = false;
        switch (c.by) {
        case SearchCriteria::By::Number:
            match = sameNumber(t.value(row, QStringLiteral("C_PED")), c.number);
            break;
        case SearchCriteria::By::Document:
            match = sameNumber(t.value(row, QStringLiteral("N_DOC")), c.number);
            break;
        case SearchCriteria::By::Names:
            match = true;
            for (const auto &[field, text] : names) {
                // Stored values have no trailing blanks; the typed text is compared as it is.
                const QVariant v = t.value(row, field);
                if ((v.isNull() ? QString() : v.toString()) != text) {
                    match = false;
                    break;
                }
            }
            break;
        }
        if (!match)
            continue;
        SearchRow r;
        r.c_ped = t.value(row, QStringLiteral("C_PED"));
        r.x_ape1 = t.value(row, QStringLiteral("X_APE1"));
        r.x_ape2 = t.value(row, QStringLiteral("X_APE2"));
        r.x_nom1 = t.value(row, QStringLiteral("X_NOM1"));
        r.x_nom2 = t.value(row, QStringLiteral("X_NOM2"));
        r.x_nom3 = t.value(row, QStringLiteral("X_NOM3"));
        r.c_sexo = t.value(row, QStringLiteral("C_SEXO"));
        r.f_nac = t.value(row, QStringLiteral("F_NAC"));
        r.n_edad = t.value(row, QStringLiteral("N_EDAD"));
        r.n_doc = t.value(row, QStringLiteral("N_DOC"));
        out.push_back(std::move(r));
    }
    return out;
}

std::vector<QVariantMap> RequestQueries::aliasesOf(double c_ped) const
{
    TableReader sup(m_dir, QStringLiteral("sup.dbf"));
    std::vector<QVariantMap> out;
    for (const auto &e : sup.records()) {
        const QVariantList row = sup.read(e.recno);
        if (sameNumber(sup.value(row, QStringLiteral("C_PED")), c_ped))
            out.push_back(sup.toMap(row));
    }
    return out;
}

std::vector<RequestKey> RequestQueries::purgeSelection(bool personal, const QDate &cutoff) const
{
    TableReader t(m_dir, personal ? QStringLiteral("pedp.dbf") : QStringLiteral("ped.dbf"));
    std::vector<RequestKey> out;
    for (const auto &e : t.records()) {
        const QVariantList row = t.read(e.recno);
        const QVariant fCon = t.value(row, QStringLiteral("F_CON"));
        if (fCon.isNull() || !(fCon.toDate() < cutoff))
            continue;
        const bool answered = personal ? t.value(row, QStringLiteral("C_EST")).toString() == QLatin1String("C")
                                       : t.value(row, QStringLiteral("M_CONTESTA")) == QVariant(true);
        if (!answered)
            continue;
        out.push_back({t.value(row, QStringLiteral("C_PED")).toDouble(),
                       t.value(row, QStringLiteral("C_REG")).toDouble(), e.recno});
    }
    return out;
}

} // namespace tav::store
