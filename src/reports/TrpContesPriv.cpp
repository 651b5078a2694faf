#include "reports/TrpContesPriv.h"

#include "reports/RecordText.h"
#include "reports/RegistryTexts.h"
#include "reports/TrpOficio.h"
#include "store/Tdm.h"

namespace tav::reports {

ContesPrivData ContesPrivData::fromDm(store::Tdm &dm)
{
    return fromDataset(dm, *dm.pedp);
}

ContesPrivData ContesPrivData::fromDataset(store::Tdm &dm, store::Dataset &pedp)
{
    ContesPrivData d;
    d.printed = dm.clock().today();
    if (!pedp.isActive() || (pedp.isEmpty() && !pedp.isEditing()))
        return d;
    const RecordText r(pedp);
    d.request = r.text("C_PED");
    d.fileNumber = r.text("N_EXPE");
    d.surnames = r.joined({"X_APE1", "X_APE2"});
    d.names = r.joined({"X_NOM1", "X_NOM2", "X_NOM3"});
    d.certificate = r.text("N_CERT");
    d.remarks = r.text("X_OBS");
    d.result = r.lookup("C_RES", *dm.res, "C_RES", "X_RES");
    return d;
}

QString TrpContesPriv::dateLine() const
{
    return RegistryTexts::place() + QStringLiteral(", ") + m_data.printed.toString(QStringLiteral("dd/MM/yyyy"));
}

void TrpContesPriv::render(ReportPainter &p, int)
{
    const double W = ReportPainter::kPageWidthMm;
    const TextStyle institution{11, true, false, false, Qt::AlignLeft | Qt::AlignVCenter};
    const TextStyle label{10, false, false, false, Qt::AlignLeft | Qt::AlignVCenter};
    const TextStyle value{10, true, false, false, Qt::AlignLeft | Qt::AlignVCenter};

    // Header: emblem and the two institutions.
    p.image(QRectF(0, 0, 22, 26), reportEmblem());
    p.text(QRectF(27, 6, W - 27, 7), TrpOficio::ministryName(), institution);
    p.text(QRectF(27, 14, W - 27, 7), TrpOficio::registryName(), institution);
    p.line(QPointF(0, 30), QPointF(W, 30), 0.75);
    p.text(QRectF(W - 120, 36, 120, 7), dateLine(), {10, false, false, false, Qt::AlignRight | Qt::AlignVCenter});
    p.text(QRectF(0, 52, W, 10), title(), {14, true, false, false, Qt::AlignCenter});

    double y = 72;
    const double labelW = 62, rowH = 8;
    // A value wraps under itself when it is longer than a line (remarks can be).
    auto row = [&](const QString &caption, const QString &text) {
        const double h = std::max(rowH, p.textHeight(text, W - labelW, value) + 2);
        p.text(QRectF(0, y, labelW, rowH), caption, label);
        p.text(QRectF(labelW, y, W - labelW, h), text, value);
        y += h;
    };
    row(QStringLiteral("Código de Pedido"), m_data.request);
    row(QStringLiteral("Número de Expediente"), m_data.fileNumber);
    row(QStringLiteral("Apellidos:"), m_data.surnames);
    row(QStringLiteral("Nombres:"), m_data.names);
    y += 8;
    p.text(QRectF(0, y, W, 9), QStringLiteral("Pedido de Antecedentes enviado por carta Certificada"),
           {11, true, false, false, Qt::AlignCenter});
    y += 17;
    row(QStringLiteral("Número de Carta Certificada:"), m_data.certificate);
    row(QStringLiteral("Observaciones:"), m_data.remarks);
    row(QStringLiteral("Resultado:"), m_data.result);
}

} // namespace tav::reports
