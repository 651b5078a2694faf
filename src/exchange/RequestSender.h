#pragma once

#include "exchange/OutgoingMessage.h"

#include <QStringList>

#include <functional>

namespace tav::store {
class Tdm;
class Dataset;
} // namespace tav::store

namespace tav::exchange {

// The send operations of the data module: each checks the current request, asks what needs asking, writes
// "ped.dat" and the temporary copies of the request's files, hands the message to the transport and, when it
// was accepted, marks the request as sent. Outcomes are shown through the Ui port.
class RequestSender
{
public:
    using Transport = std::function<bool(const OutgoingMessage &)>;

    RequestSender(store::Tdm &dm, Transport transport);

    void EnviarPedido();      // the current official request
    void EnviarPedidoP();     // the current personal request
    void EnviarCorreccionP(); // the current personal request, as a correction
    void PedirEstado();       // the status request "GetEstado.DAT"

    // The attachment list of an official/personal request, after making the temporary copies
    // ("huella.zip"/"huella.tif", "docu.tif"). Exposed for the tests of the order rules.
    QStringList prepareOfficialAttachments();
    QStringList preparePersonalAttachments();

    // The message handed to the transport last (for the log and the tests); empty before any send.
    const OutgoingMessage &lastMessage() const { return m_last; }

private:
    bool readyToSend(store::Dataset &table);
    bool writeRequestFile(const QByteArray &bytes);
    bool sendAndMark(store::Dataset &table, const OutgoingMessage &message, bool setSentFlag);
    void copyIfExists(const QString &from, const QString &to);

    store::Tdm &m_dm;
    Transport m_transport;
    OutgoingMessage m_last;
};

} // namespace tav::exchange
