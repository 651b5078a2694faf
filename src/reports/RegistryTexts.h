#pragma once

#include <QString>
#include <QStringList>

namespace tav::reports {

// The central registry's own texts printed on the receipt and the answer letter. The administrator's guide
// lists them (installation data); change them here.
struct RegistryTexts
{
    // The registry's web site, printed after "Para acceder al certificado ingrese a:".
    static QString webAddress();
    // The certificate page printed after "o también:" when the setting "url_cert" is empty.
    static QString defaultCertificateUrl();
    // The city of the registry, in the date line of the answer letter.
    static QString place();
    // The notice on the citizen's half of the receipt, one paragraph per item.
    static QStringList receiptNotice();
};

} // namespace tav::reports
