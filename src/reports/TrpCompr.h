#pragma once

#include "reports/ReportFrame.h"

#include <QStringList>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::reports {

// What the receipt of a personal request shows, taken from the request (every value as text).
struct ComprData
{
    QString request, office; // C_PED, C_REG
    QString surnames, names; // X_APE1 X_APE2; X_NOM1 X_NOM2 X_NOM3
    QString sex, nationality, birthDate;
    QString documentType, prefix, document, suffix;
    QString issuer; // empty when the request has no issuer (C_EXPP empty)
    QString fatherNames, motherSurnames, motherNames;
    QString procedure, startDate, payment; // X_TRAM, F_PED, C_PAGO
    QString securityCode;                  // C_SEGUR
    QString certificateUrl;                // the setting url_cert, or the registry's default page

    // The current `pedp` record (its typed values while it is being edited) and the setting "url_cert".
    static ComprData fromDm(store::Tdm &dm);
    static ComprData fromDataset(store::Tdm &dm, store::Dataset &pedp);

    bool isEmpty() const { return request.isEmpty(); }
    // The text of the office's bar code: request and office as "1234/5".
    QString requestBarcode() const { return request + QLatin1Char('/') + office; }
    // The caption under it.
    QString barcodeCaption() const { return QStringLiteral("Regional:%1 - Pedido:%2").arg(office, request); }
    // "Número" is followed by prefix, number and suffix; an empty prefix or suffix leaves no gap.
    QString documentText() const;
};

// The receipt of a personal request: the office's half with the request's bar code and the person's data
// and signature, a dotted cut line, and the citizen's half with the security code, its bar code and where
// to get the certificate. Nothing is printed for an empty request.
class TrpCompr : public Report
{
public:
    static QString heading() { return QStringLiteral("Comprobante del Trámite de Antecedentes Penales"); }

    explicit TrpCompr(ComprData data) : m_data(std::move(data)) {}
    QString title() const override { return QStringLiteral("ComprobanteTAV"); }
    int pageCount() const override { return m_data.isEmpty() ? 0 : 1; }
    void render(ReportPainter &painter, int page) override;
    const ComprData &data() const { return m_data; }

private:
    void officeHalf(ReportPainter &p, double top, double height);
    void citizenHalf(ReportPainter &p, double top, double height);
    ComprData m_data;
};

} // namespace tav::reports
