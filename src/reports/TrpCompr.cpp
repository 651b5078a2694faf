#include "reports/TrpCompr.h"

#include "reports/RecordText.h"
#include "reports/RegistryTexts.h"
#include "store/Tdm.h"

namespace tav::reports {

ComprData ComprData::fromDm(store::Tdm &dm)
{
    return fromDataset(dm, *dm.pedp);
}

ComprData ComprData::fromDataset(store::Tdm &dm, store::Dataset &pedp)
{
    ComprData d;
    d.certificateUrl = dm.readSetting(QStringLiteral("url_cert")).trimmed();
    if (d.certificateUrl.isEmpty())
        d.certificateUrl = RegistryTexts::defaultCertificateUrl();
    if (!pedp.isActive() || (pedp.isEmpty() && !pedp.isEditing()))
        return d;
    const RecordText r(pedp);
    d.request = r.text("C_PED");
    d.office = r.text("C_REG");
    d.surnames = r.joined({"X_APE1", "X_APE2"});
    d.names = r.joined({"X_NOM1", "X_NOM2", "X_NOM3"});
    d.sex = r.lookup("C_SEXO", *dm.sexo, "C_SEXO", "X_SEXO");
    d.nationality = r.lookup("C_NAC", *dm.nac, "C_NAC", "X_NAC");
    d.birthDate = r.text("F_NAC");
    d.documentType = r.lookup("C_TDOC", *dm.tdoc, "C_TDOC", "X_TDOC");
    d.prefix = r.text("C_PREFIJO");
    d.document = r.text("N_DOC");
    d.suffix = r.text("C_SUFIJO");
    d.issuer = r.lookup("C_EXPP", *dm.expp, "C_EXPP", "X_EXPP");
    d.fatherNames = r.joined({"X_NOMPADR1", "X_NOMPADR2", "X_NOMPADR3"});
    d.motherSurnames = r.joined({"X_APEMADR1", "X_APEMADR2"});
    d.motherNames = r.joined({"X_NOMMADR1", "X_NOMMADR2", "X_NOMMADR3"});
    d.procedure = r.lookup("C_TRAM", *dm.tram, "C_TRAM", "X_TRAM");
    d.startDate = r.text("F_PED");
    d.payment = r.text("C_PAGO");
    d.securityCode = r.text("C_SEGUR");
    return d;
}

QString ComprData::documentText() const
{
    QStringList parts;
    for (const QString *p : {&prefix, &document, &suffix})
        if (!p->isEmpty())
            parts << *p;
    return parts.join(QLatin1Char(' '));
}

namespace {

const TextStyle kLabel{9, false, false, false, Qt::AlignLeft | Qt::AlignVCenter};
const TextStyle kValue{10, true, false, false, Qt::AlignLeft | Qt::AlignVCenter};
const TextStyle kTitle{12, true, true, false, Qt::AlignRight | Qt::AlignVCenter};

// A label and its value right after it, in the width from `x` to `right`; a value too long for its
// place is printed smaller rather than running into the next one.
void field(ReportPainter &p, double x, double right, double y, const QString &label, const QString &value,
           TextStyle valueStyle = kValue)
{
    // Label and value share the baseline of their row.
    const double baseline = y + 4.5;
    p.textOnBaseline(x, baseline, label, kLabel);
    const double vx = x + p.textWidth(label, kLabel) + 1.5;
    const double room = right - vx;
    while (valueStyle.pointSize > 6 && p.textWidth(value, valueStyle) > room)
        valueStyle.pointSize -= 0.5;
    p.textOnBaseline(vx, baseline, value, valueStyle);
}

} // namespace

void TrpCompr::render(ReportPainter &p, int)
{
    if (m_data.isEmpty())
        return;
    const double H = ReportPainter::kPageHeightMm;
    const double cut = H / 2;
    const double half = cut - 6;
    officeHalf(p, 0, half);
    p.line(QPointF(0, cut), QPointF(ReportPainter::kPageWidthMm, cut), 1, Qt::DotLine);
    citizenHalf(p, cut + 6, H - cut - 6);
}

void TrpCompr::officeHalf(ReportPainter &p, double top, double height)
{
    const double W = ReportPainter::kPageWidthMm;
    const double L = 4, R = W - 4;
    p.box(QRectF(0, top, W, height), 3);
    p.image(QRectF(L, top + 4, 18, 21), reportEmblem());
    p.text(QRectF(30, top + 4, R - 30, 8), heading(), kTitle);

    // The request's bar code for the office's reader, with its caption.
    const QRectF bars(R - 80, top + 15, 80, 12);
    p.code39(bars, m_data.requestBarcode(), 0.33, true);
    p.text(QRectF(bars.x(), bars.bottom() + 0.5, bars.width(), 5), m_data.barcodeCaption(),
           {9, false, false, false, Qt::AlignHCenter | Qt::AlignVCenter});

    double y = top + 37;
    const double step = 7;
    field(p, L, R, y, QStringLiteral("Apellido(s):"), m_data.surnames);
    y += step;
    field(p, L, R, y, QStringLiteral("Nombre(s):"), m_data.names);
    y += step;
    field(p, L, 50, y, QStringLiteral("Sexo:"), m_data.sex);
    field(p, 52, 128, y, QStringLiteral("Nacionalidad"), m_data.nationality);
    field(p, 130, R, y, QStringLiteral("Fecha de Nacimiento:"), m_data.birthDate);
    y += step;
    field(p, L, 100, y, QStringLiteral("Tipo de Documento:"), m_data.documentType);
    field(p, 102, R, y, QStringLiteral("Número"), m_data.documentText());
    y += step;
    field(p, L, R, y, QStringLiteral("Expedido Por:"), m_data.issuer);
    y += step;
    field(p, L, R, y, QStringLiteral("Nombres Padre:"), m_data.fatherNames);
    y += step;
    field(p, L, R, y, QStringLiteral("Apellidos Madre:"), m_data.motherSurnames);
    y += step;
    field(p, L, R, y, QStringLiteral("Nombre Madre:"), m_data.motherNames);
    y += step;
    field(p, L, 100, y, QStringLiteral("Tipo de Trámite:"), m_data.procedure);
    field(p, 102, R, y, QStringLiteral("Fecha de inicio del Trámite:"), m_data.startDate);
    y += step;
    field(p, L, R, y, QStringLiteral("Comprobante de pago:"), m_data.payment);

    // The citizen signs the office's half.
    const double sign = top + height - 11;
    p.line(QPointF(R - 70, sign), QPointF(R - 5, sign), 0.75, Qt::SolidLine);
    p.text(QRectF(R - 70, sign + 0.5, 65, 5), QStringLiteral("Firma del Solicitante"),
           {9, false, false, false, Qt::AlignHCenter | Qt::AlignTop});
}

void TrpCompr::citizenHalf(ReportPainter &p, double top, double height)
{
    const double W = ReportPainter::kPageWidthMm;
    const double L = 4, R = W - 4;
    const TextStyle link{10, true, true, false, Qt::AlignLeft | Qt::AlignVCenter};
    p.box(QRectF(0, top, W, height), 3);
    p.image(QRectF(L, top + 4, 18, 21), reportEmblem());
    p.text(QRectF(30, top + 4, R - 30, 8), heading(), kTitle);
    p.text(QRectF(30, top + 12, R - 30, 6), QStringLiteral("Iniciado en una sucursal TAV"),
           {10, true, false, false, Qt::AlignRight | Qt::AlignVCenter});

    // Request and office, and the security code with its bar code, for getting the certificate.
    double y = top + 28;
    field(p, L, 60, y, QStringLiteral("Pedido:"), m_data.request, link);
    field(p, 60, 105, y, QStringLiteral("Regional:"), m_data.office, link);
    const QRectF code(115, top + 22, R - 115, 6);
    p.text(code, QStringLiteral("Código de Seguridad:"), {9, false, false, false, Qt::AlignHCenter | Qt::AlignVCenter});
    const QRectF bars(code.x(), code.bottom() + 0.5, code.width(), 12);
    p.code39(bars, m_data.securityCode, 0.3, true);
    p.text(QRectF(bars.x(), bars.bottom() + 0.5, bars.width(), 6), m_data.securityCode,
           {10, true, true, false, Qt::AlignHCenter | Qt::AlignVCenter});

    y += 8;
    field(p, L, 110, y, QStringLiteral("Tipo de Trámite:"), m_data.procedure);
    y += 6.5;
    field(p, L, 110, y, QStringLiteral("Comprobante de pago:"), m_data.payment);
    y += 6.5;
    field(p, L, 110, y, QStringLiteral("Fecha de inicio del Trámite:"), m_data.startDate);

    // Where the certificate is found.
    y += 10;
    field(p, L, R, y, QStringLiteral("Para acceder al certificado ingrese a:"), RegistryTexts::webAddress(), link);
    y += 6.5;
    field(p, L, R, y, QStringLiteral("o también:"), m_data.certificateUrl, link);
    y += 6.5;
    field(p, L, R, y, QStringLiteral("y desde el menú elegir la opción:"), QStringLiteral("TAV"),
          {10, false, true, false, Qt::AlignLeft | Qt::AlignVCenter});

    // The registry's notice.
    y += 9;
    const TextStyle notice{8, false, false, false, Qt::AlignLeft | Qt::AlignTop};
    const double width = R - L;
    for (const QString &paragraph : RegistryTexts::receiptNotice()) {
        const double h = p.textHeight(paragraph, width, notice);
        p.text(QRectF(L, y, width, h + 0.5), paragraph, notice);
        y += h + 1.5;
    }
}

} // namespace tav::reports
