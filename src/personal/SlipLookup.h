#pragma once

#include "personal/SlipServices.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

#include <optional>

namespace tav::store {
class Tdm;
}

namespace tav::personal {

// The data module's operations on the slip and procedure services: the payment date of a slip, the data of
// the procedure paid with a slip (into the in-memory table PedBol) and the agreement of a request with it.
// The services' host is read from "TavReg.INI" of the program directory at each call.
class SlipLookup
{
public:
    explicit SlipLookup(store::Tdm &dm);

    ServiceHost host() const;

    // The payment date of the slip; nothing when the service has none (silently) or fails (after its message).
    std::optional<QDate> ObtenerFechaPago(const QString &slipCode);

    // 1: the procedure's data is the one row of PedBol; 0: the slip and document name no procedure;
    // -1: failure, with `error` (possibly empty: some failures show their own message instead).
    int ObtenerDatosBoleta(const QString &slipCode, int documentNumber, QString &error);

    // True when the request's surname, given name, birth date and document number agree with PedBol (and when
    // there is no slip code or no slip data to compare with).
    bool CompararConBoleta(const QString &slipCode, const QString &surname, const QString &givenName,
                           const QDate &birth, qint64 documentNumber);

    // The items of a procedure reply: "name=value" texts each ended by "|"; text after the last "|" is none.
    static QList<QPair<QString, QString>> parseProcedureReply(const QString &reply);

    static QString paymentDateError() { return QStringLiteral("ERROR al intentar obtener la fecha del pago."); }

private:
    void emptyPedBol();

    store::Tdm &m_dm;
};

} // namespace tav::personal
