#pragma once

#include <QString>

namespace tav::net {

// The workstation as the central office knows it: the first network adapter that has a hardware
// address and an IP address, that address's first IP, and the host name. All three are empty when no
// adapter qualifies.
struct NetworkIdentity
{
    QString mac;
    QString ip;
    QString hostName;

    static NetworkIdentity current();
};

} // namespace tav::net
