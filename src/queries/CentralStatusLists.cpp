#include "queries/CentralStatusLists.h"

#include "store/OwnDataset.h"
#include "store/Tdm.h"

namespace tav::queries {

using store::Dataset;

namespace {

QString row(const QString &a, const QString &b, const QString &c)
{
    return QStringLiteral("%1 %2 %3").arg(a, -10).arg(b, -30).arg(c, -10);
}

QStringList nonEmptyLines(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        if (!l.trimmed().isEmpty())
            out.append(l.trimmed());
    return out;
}

} // namespace

CentralStatusLists::CentralStatusLists(store::Tdm &dm) : m_dm(dm) {}

CentralStatusLists::~CentralStatusLists() = default;

CentralStatusLists::Entry CentralStatusLists::parseLine(const QString &line)
{
    const QString l = line.trimmed();
    Entry e;
    const qsizetype semi = l.indexOf(u';');
    const qsizetype bar = l.indexOf(u'|');
    if (semi > 0) {
        bool ok = false;
        const int n = l.left(semi).trimmed().toInt(&ok);
        e.request = ok && n > 0 ? n : 0;
    }
    // The bar must come at the fourth character or later, after a number and a state code.
    if (bar >= 3) {
        if (semi >= 0 && semi < bar)
            e.state = l.mid(semi + 1, bar - semi - 1);
        if (bar < l.size() - 1)
            e.file = l.mid(bar + 1);
    }
    return e;
}

bool CentralStatusLists::meansNoRequests(const QStringList &lines)
{
    return nonEmptyLines(lines).isEmpty() || lines.join(u'\n').contains(QLatin1String("NO_HAY_PEDIDOS"));
}

bool CentralStatusLists::meansUnavailable(const QStringList &lines)
{
    return lines.join(u'\n').contains(QLatin1String("Error 404"));
}

void CentralStatusLists::append(const QString &line)
{
    if (appendLine)
        appendLine(line);
}

void CentralStatusLists::MostrarEstadosOficiales(const QStringList &lines)
{
    show(lines, false);
}

void CentralStatusLists::MostrarEstadosPersonales(const QStringList &lines)
{
    show(lines, true);
}

void CentralStatusLists::show(const QStringList &lines, bool personal)
{
    const QString title = personal ? QStringLiteral("Estado de pedidos personales en TAV Central al ")
                                   : QStringLiteral("Estado de pedidos oficiales en TAV Central al ");
    append(title + m_dm.clock().now().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss")));
    append(QString(72, u'='));
    append(QString());
    if (meansNoRequests(lines)) {
        append(QStringLiteral("No existe ningún pedido en trámite de esta regional."));
    } else if (meansUnavailable(lines)) {
        append(QStringLiteral("Servicio no disponible."));
    } else {
        append(row(QStringLiteral("Pedido"), QStringLiteral("Estado"), QStringLiteral("Trámite")));
        append(row(QString(10, u'-'), QString(30, u'-'), QString(10, u'-')));
        // Opened for this list only: a table held open afterwards would keep the re-index and the pack at
        // exit from opening it alone.
        const std::unique_ptr<Dataset> own =
            store::openOwnDataset(m_dm, personal ? QStringLiteral("pedp") : QStringLiteral("ped"));
        Dataset &table = *own;
        for (const QString &line : nonEmptyLines(lines)) {
            const Entry e = parseLine(line);
            if (e.request <= 0)
                continue;
            const QString stateText =
                e.state.isEmpty()
                    ? QStringLiteral("No especificado")
                    : m_dm.estcent->lookupValue(QStringLiteral("C_ESTCENT"), e.state, QStringLiteral("X_ESTCENT"))
                          .toString()
                          .trimmed();
            bool ok = false;
            int fileNumber = e.file.trimmed().toInt(&ok);
            if (!ok)
                fileNumber = 0;
            const QString shownFile =
                e.file.isEmpty() ? QString()
                                 : (personal ? QStringLiteral("W") : QStringLiteral("U")) + QString::number(fileNumber);
            append(row(QString::number(e.request), stateText, shownFile));
            if (!table.findKey(e.request))
                continue;
            const QString local = table.field(QStringLiteral("C_EST")).asString().trimmed();
            const bool forward =
                (local == QLatin1String("E") || local == QLatin1String("T")) &&
                (e.state == QLatin1String("C") || e.state == QLatin1String("R") || e.state == QLatin1String("T"));
            if (!forward)
                continue;
            table.edit();
            table.field(QStringLiteral("C_EST")).setValue(e.state);
            if (fileNumber > 0)
                table.field(QStringLiteral("N_EXPE")).setValue(fileNumber);
            table.field(QStringLiteral("C_VERSION")).setValue(m_dm.programVersion);
            if (!table.post())
                table.cancel();
        }
    }
    if (!personal)
        append(QString());
    Dataset &shown = personal ? *m_dm.pedp : *m_dm.ped;
    if (shown.isActive() && !shown.isEditing())
        m_dm.FlushBuffers(shown);
}

} // namespace tav::queries
