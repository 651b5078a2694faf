#pragma once

#include "store/Event.h"

#include <QDate>
#include <QString>

#include <functional>

namespace tav::store {
class Tdm;
class Dataset;
class Field;
} // namespace tav::store
namespace tav::shell {
struct SessionUser;
}

namespace tav::personal {

class SlipLookup;

// The rules of personal requests, bound to the data module's table `pedp` so they hold whichever window or
// job saves a record, with the check before sending and the application of a payment-slip code.
class PersonalRules
{
public:
    // The object name of the personal-request window: the slip-type check of a save runs only while it shows.
    static QString windowName() { return QStringLiteral("FPedP"); }

    PersonalRules(store::Tdm &dm, const shell::SessionUser &session, SlipLookup &slips);
    PersonalRules(const PersonalRules &) = delete;
    PersonalRules &operator=(const PersonalRules &) = delete;

    void pedpNewRecord(store::Dataset &pedp);
    void pedpAfterEdit(store::Dataset &pedp);
    void pedpC_TRAMChange(store::Field &field);
    void pedpBeforePost(store::Dataset &pedp);
    void pedpBeforeDelete(store::Dataset &pedp);

    // True when the current request may be sent; shows its own messages.
    bool ValidarEnvioPedp();
    // Applies an 11-character slip code to the current request (put in edit when it is not).
    bool AplicarCodigoBoleta(const QString &code);

    // The comparison window: true when the person chooses to send although the request differs from the slip.
    // Set by the program; without it a request that differs is not sent.
    std::function<bool(const QString &slipCode, int office, int request)> MostrarComparacion;

    static QString homeDeliveryMessage()
    {
        return QStringLiteral("ERROR: En los pedidos domiciliarios que no sean exentos, se debe cargar el código "
                              "del pago domiciliario");
    }
    static QString slipTypeMessage()
    {
        return QStringLiteral("ERROR: El tipo de trámite no corresponde con el tipo indicado en la Boleta");
    }
    static QString unknownTypeMessage() { return QStringLiteral("Error: No se pudo encontrar el tipo de tramite"); }

private:
    bool storeScratch(const QString &scratch, const QString &target);
    void warn(const QString &text);

    store::Tdm &m_dm;
    const shell::SessionUser &m_session;
    SlipLookup &m_slips;
    store::Subscriptions m_bindings;
};

} // namespace tav::personal
