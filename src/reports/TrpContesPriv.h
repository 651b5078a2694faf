#pragma once

#include "reports/ReportFrame.h"

#include <QDate>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::reports {

// What the answer letter of a personal request shows (every value as text).
struct ContesPrivData
{
    QDate printed;           // the day it is printed
    QString request;         // C_PED
    QString fileNumber;      // N_EXPE
    QString surnames, names; // X_APE1 X_APE2; X_NOM1 X_NOM2 X_NOM3
    QString certificate;     // N_CERT, the registered letter's number
    QString remarks;         // X_OBS
    QString result;          // X_RES of the request's C_RES; empty when `res` has no such row

    // The current `pedp` record, printed today (the data module's clock).
    static ContesPrivData fromDm(store::Tdm &dm);
    // The request on which `pedp` stands (the reply handlers use their own dataset over the table).
    static ContesPrivData fromDataset(store::Tdm &dm, store::Dataset &pedp);
};

// The letter telling that a personal request was answered by registered mail.
class TrpContesPriv : public Report
{
public:
    explicit TrpContesPriv(ContesPrivData data) : m_data(std::move(data)) {}
    QString title() const override { return QStringLiteral("Contestación de Pedido Personal"); }
    void render(ReportPainter &painter, int page) override;
    const ContesPrivData &data() const { return m_data; }
    // "<place of the registry>, dd/MM/yyyy".
    QString dateLine() const;

private:
    ContesPrivData m_data;
};

} // namespace tav::reports
