#pragma once

#include "reports/ReportFrame.h"

#include <QDate>
#include <QStringList>

namespace tav::store {
class Tdm;
}

namespace tav::reports {

// What the official request letter shows, taken from the current official request.
struct OficioData
{
    QString place; // the request's locality
    QDate date;    // the request's date
    QString organisation, secretariat, street, locality, province;
    QString offence, caseNumber;
    QString surnames, names; // with the aliases appended (" o  " before each)
    QString sex, birthDate, presumedAge, nationality, document, issuer;
    QString fatherNames, motherSurnames, motherNames;

    // The current `ped` record (also one being entered: its typed values), its organisation, sex,
    // nationality, offence and aliases.
    static OficioData fromDm(store::Tdm &dm);
};

// The letter requesting reports on sentences and pending proceedings, filled with an official request.
class TrpOficio : public Report
{
public:
    static QString ministryName() { return QStringLiteral("MINISTERIO DE JUSTICIA"); }
    static QString registryName() { return QStringLiteral("REGISTRO CENTRAL DE ANTECEDENTES PENALES"); }

    explicit TrpOficio(OficioData data) : m_data(std::move(data)) {}
    QString title() const override { return QStringLiteral("Oficio"); }
    void render(ReportPainter &painter, int page) override;
    const OficioData &data() const { return m_data; }

private:
    OficioData m_data;
};

} // namespace tav::reports
