#include "reports/TrpOficio.h"

#include "reports/SpanishDate.h"
#include "store/Tdm.h"

#include <cmath>

namespace tav::reports {

namespace {

QString joined(const QStringList &parts)
{
    QStringList kept;
    for (const auto &p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(QLatin1Char(' '));
}

QString number(const QVariant &v)
{
    return v.isNull() ? QString() : QString::number(std::llround(v.toDouble()));
}

} // namespace

OficioData OficioData::fromDm(store::Tdm &dm)
{
    store::Dataset &ped = *dm.ped;
    // The letter shows the request as it is stored: a change not yet saved is not printed.
    const QVariantList stored = ped.state() == store::DatasetState::Edit ? ped.storedValues() : QVariantList();
    const auto value = [&](const char *name) {
        const store::Field &f = ped[QString::fromLatin1(name)];
        return stored.isEmpty() ? f.value() : stored.value(f.index());
    };
    const auto s = [&](const char *name) {
        return store::Field::textOf(ped[QString::fromLatin1(name)].kind(), value(name));
    };
    auto lookup = [](store::Dataset &table, const char *key, const QVariant &value, const char *result) {
        return value.isNull()
                   ? QString()
                   : table.lookupValue(QString::fromLatin1(key), value, QString::fromLatin1(result)).toString();
    };
    OficioData d;
    d.place = s("X_LOC");
    d.date = value("F_PED").toDate();
    const QVariant org = value("C_ORG");
    d.organisation = lookup(*dm.org, "C_ORG", org, "X_ORG");
    d.secretariat = s("X_SEC");
    d.street = s("X_DOM");
    d.locality = s("X_LOC");
    const QVariant orgProvince =
        org.isNull() ? QVariant() : dm.org->lookupValue(QStringLiteral("C_ORG"), org, QStringLiteral("C_PROV"));
    d.province = lookup(*dm.prov, "C_PROV", orgProvince, "X_PROV");
    d.offence = lookup(*dm.tdel, "C_TDEL", value("C_TDEL"), "X_TDEL");
    d.caseNumber = s("N_CAUSA");
    d.surnames = joined({s("X_APE1"), s("X_APE2")});
    d.names = joined({s("X_NOM1"), s("X_NOM2"), s("X_NOM3")});
    // Aliases of a saved request follow it; a request being entered has none yet.
    if (ped.state() != store::DatasetState::Insert) {
        store::Dataset &sup = *dm.sup;
        for (int pos = 0; pos < sup.recordCount(); ++pos) {
            auto v = [&](const char *name) {
                return sup.valueAt(pos, sup.field(QString::fromLatin1(name)).index()).toString();
            };
            d.surnames += QStringLiteral(" o  ") + joined({v("X_APE1"), v("X_APE2")});
            d.names += QStringLiteral(" o  ") + joined({v("X_NOM1"), v("X_NOM2"), v("X_NOM3")});
        }
    }
    d.sex = lookup(*dm.sexo, "C_SEXO", value("C_SEXO"), "X_SEXO");
    d.birthDate = s("F_NAC");
    d.presumedAge = s("N_EDAD");
    d.nationality = lookup(*dm.nac, "C_NAC", value("C_NAC"), "X_NAC");
    d.document = number(value("N_DOC"));
    if (!value("C_PROVCI").isNull())
        d.issuer = s("X_EXPP");
    d.fatherNames = joined({s("X_NOMPADR1"), s("X_NOMPADR2"), s("X_NOMPADR3")});
    d.motherSurnames = joined({s("X_APEMADR1"), s("X_APEMADR2")});
    d.motherNames = joined({s("X_NOMMADR1"), s("X_NOMMADR2"), s("X_NOMMADR3")});
    return d;
}

void TrpOficio::render(ReportPainter &p, int)
{
    const double W = ReportPainter::kPageWidthMm;
    const TextStyle institution{11, true, false, false, Qt::AlignHCenter | Qt::AlignVCenter};
    const TextStyle label{9, false, false, false, Qt::AlignLeft | Qt::AlignVCenter};
    const TextStyle value{10, true, false, false, Qt::AlignLeft | Qt::AlignVCenter};
    const TextStyle section{10, true, false, false, Qt::AlignLeft | Qt::AlignVCenter};

    // Page header: emblem, the two institutions, place and date.
    p.image(QRectF(0, 0, 22, 26), reportEmblem());
    p.text(QRectF(25, 2, W - 50, 8), ministryName(), institution);
    p.text(QRectF(25, 11, W - 50, 8), registryName(), institution);
    p.text(QRectF(W - 110, 28, 110, 7), m_data.place + QStringLiteral(", ") + spanishLongDate(m_data.date),
           {10, false, false, false, Qt::AlignRight | Qt::AlignVCenter});

    // The grid of ruled boxes.
    double y = 40;
    const double labelW = 58, rowH = 8.5;
    p.box(QRectF(0, y, W, 11), 1.5);
    p.text(QRectF(2, y, W - 4, 11), QStringLiteral("PEDIDO DE INFORMES SOBRE CONDENAS  Y PROCESOS PENDIENTES"),
           {12, true, false, false, Qt::AlignCenter});
    y += 14;
    auto heading = [&](const QString &text) {
        p.fill(QRectF(0, y, W, rowH), QColor(230, 230, 230));
        p.box(QRectF(0, y, W, rowH));
        p.text(QRectF(2, y, W - 4, rowH), text, section);
        y += rowH;
    };
    // A box grows with its value: a request with several long aliases wraps onto more lines, and
    // every alias is printed.
    auto row = [&](const QString &caption, const QString &text, double height = 8.5) {
        height = std::max(height, p.textHeight(text, W - labelW - 3, value) + 3);
        p.box(QRectF(0, y, labelW, height));
        p.box(QRectF(labelW, y, W - labelW, height));
        p.text(QRectF(1.5, y, labelW - 3, height), caption, label);
        p.text(QRectF(labelW + 1.5, y, W - labelW - 3, height), text, value);
        y += height;
    };
    auto pair = [&](const QString &c1, const QString &v1, const QString &c2, const QString &v2) {
        const double half = W * 0.6;
        p.box(QRectF(0, y, labelW, rowH));
        p.box(QRectF(labelW, y, half - labelW, rowH));
        p.box(QRectF(half, y, 32, rowH));
        p.box(QRectF(half + 32, y, W - half - 32, rowH));
        p.text(QRectF(1.5, y, labelW - 3, rowH), c1, label);
        p.text(QRectF(labelW + 1.5, y, half - labelW - 3, rowH), v1, value);
        p.text(QRectF(half + 1.5, y, 29, rowH), c2, label);
        p.text(QRectF(half + 33.5, y, W - half - 35, rowH), v2, value);
        y += rowH;
    };
    heading(QStringLiteral("ORGANISMO REQUIRENTE"));
    row(QStringLiteral("Fuero de Competencia - Nro."), m_data.organisation, 11);
    row(QStringLiteral("Secretaria:"), m_data.secretariat);
    row(QStringLiteral("Calle - Nº:"), m_data.street);
    pair(QStringLiteral("Localidad:"), m_data.locality, QStringLiteral("Provincia:"), m_data.province);
    y += 3;
    heading(QStringLiteral("DATOS DEL CAUSANTE"));
    row(QStringLiteral("Motivo de la Solicitud / Delito Imputado: "), m_data.offence, 11);
    row(QStringLiteral("Causa Nº."), m_data.caseNumber);
    row(QStringLiteral("Apellido(s):"), m_data.surnames, 11);
    row(QStringLiteral("Nombre(s):"), m_data.names, 11);
    row(QStringLiteral("Sexo:"), m_data.sex);
    pair(QStringLiteral("Fecha de Nacimiento:"), m_data.birthDate, QStringLiteral("o Edad Presunta:"),
         m_data.presumedAge);
    row(QStringLiteral("Nacionalidad:"), m_data.nationality);
    pair(QStringLiteral("D.N.I:"), m_data.document, m_data.issuer.isEmpty() ? QString() : QStringLiteral("Exp. Por:"),
         m_data.issuer);
    row(QStringLiteral("Nombres del Padre:"), m_data.fatherNames);
    row(QStringLiteral("Apellidos de la Madre:"), m_data.motherSurnames);
    row(QStringLiteral("Nombres de la Madre:"), m_data.motherNames);

    // Stamp and signature.
    y += 8;
    const double boxW = (W - 10) / 2, boxH = 45;
    p.box(QRectF(0, y, boxW, boxH));
    p.box(QRectF(boxW + 10, y, boxW, boxH));
    const TextStyle caption{9, false, false, false, Qt::AlignHCenter | Qt::AlignBottom};
    p.text(QRectF(0, y, boxW, boxH - 2), QStringLiteral("Sello del Organismo"), caption);
    p.text(QRectF(boxW + 10, y, boxW, boxH - 2), QStringLiteral("Firma del Oficiante"), caption);
}

} // namespace tav::reports
