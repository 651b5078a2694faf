#include "reports/RegistryTexts.h"

namespace tav::reports {

QString RegistryTexts::webAddress()
{
    return QStringLiteral("www.tav-central.example");
}

QString RegistryTexts::defaultCertificateUrl()
{
    return QStringLiteral("certificados.tav-central.example");
}

QString RegistryTexts::place()
{
    return QStringLiteral("Capital Federal");
}

QStringList RegistryTexts::receiptNotice()
{
    return {
        QStringLiteral("El certificado estará disponible en las direcciones indicadas a partir de los cinco (5) "
                       "días hábiles de iniciado el trámite, una vez que el Registro haya verificado las huellas "
                       "dactilares y la documentación presentada. Para obtenerlo ingrese el número de pedido, el "
                       "número de regional y el código de seguridad de este comprobante."),
        QStringLiteral("El certificado tiene una validez de noventa (90) días corridos desde la fecha de su "
                       "emisión. Vencido ese plazo deberá iniciar un nuevo trámite."),
        QStringLiteral("Si advierte un error en sus datos personales, preséntese con su documento de identidad y "
                       "este comprobante en la sucursal donde inició el trámite dentro de los diez (10) días "
                       "hábiles de iniciado, para que sea corregido antes de la emisión del certificado."),
        QStringLiteral("Este comprobante es personal y el titular es responsable de conservarlo hasta obtener el "
                       "certificado: quien conozca su código de seguridad puede consultarlo. En caso de pérdida, "
                       "solicite en la misma sucursal un nuevo código de seguridad; el anterior deja de ser "
                       "válido en ese momento."),
        QStringLiteral("Por consultas comuníquese con el Registro al 0800-555-0182, de lunes a viernes de 8 a 18 "
                       "horas, o por correo electrónico a consultas@tav-central.example."),
    };
}

} // namespace tav::reports
