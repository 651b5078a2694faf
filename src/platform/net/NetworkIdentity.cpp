#include "platform/net/NetworkIdentity.h"

#include <QHostInfo>
#include <QNetworkInterface>

namespace tav::net {

NetworkIdentity NetworkIdentity::current()
{
    NetworkIdentity id;
    // Adapters in the system's order; the loopback adapter has no hardware address and is passed over.
    const QList<QNetworkInterface> adapters = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface &adapter : adapters) {
        const QString mac = adapter.hardwareAddress();
        if (mac.isEmpty() || mac == QLatin1String("00:00:00:00:00:00"))
            continue;
        if (!adapter.flags().testFlag(QNetworkInterface::IsUp))
            continue;
        const QList<QNetworkAddressEntry> entries = adapter.addressEntries();
        QString ip;
        for (const QNetworkAddressEntry &entry : entries) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                ip = address.toString();
                break;
            }
        }
        if (ip.isEmpty() && !entries.isEmpty())
            ip = entries.first().ip().toString();
        if (ip.isEmpty())
            continue;
        id.mac = mac;
        id.ip = ip;
        id.hostName = QHostInfo::localHostName();
        break;
    }
    return id;
}

} // namespace tav::net
