#pragma once

#include <QHash>
#include <QHttpServer>
#include <QMap>
#include <QPair>
#include <QSet>
#include <QString>

// The central registry's services for personal requests, as the stand-in answers them: the slip service
// (central request number and payment date of a slip), the procedure service (a procedure's data as
// "name=value|" items) and the security-code service. Their answers come from a data file:
//
//   # comment
//   BOLETA|<slip code>|<document number>|<central request number>|<payment date dd/MM/yyyy, may be empty>
//   TRAMITE|<central request number>|<document number>|<the reply text, verbatim to the end of the line>
//   FALLA|<slip code>            the slip service answers a SOAP fault for this slip
//   SEGURIDAD_RECHAZA|<request>|<office>   the security-code service refuses (0) for this request
//
// The security codes it accepts are kept while it runs: a change whose current code differs from the last one
// accepted for the same request is refused.
class SlipService
{
public:
    static const QString &serviceNamespace();

    // Reads the data file; false with the reason in `error`.
    bool load(const QString &file, QString &error);
    // Adds the three services' routes to the server.
    void route(QHttpServer &server);

private:
    QHttpServerResponse handle(const QHttpServerRequest &request, const QStringList &operations);

    QMap<QPair<QString, QString>, QString> m_requestBySlipDoc; // (slip, document) -> central request
    QHash<QString, QString> m_dateBySlip;
    QMap<QPair<QString, QString>, QString> m_procedure; // (central request, document) -> reply
    QSet<QString> m_failingSlips;
    QSet<QPair<QString, QString>> m_refusedCodes;
    QMap<QPair<QString, QString>, QString> m_codes; // (request, office) -> security code accepted last
};
