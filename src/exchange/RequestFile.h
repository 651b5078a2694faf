#pragma once

#include <QByteArray>
#include <QString>

namespace tav::store {
class Dataset;
class Tdm;
} // namespace tav::store

namespace tav::net {
struct NetworkIdentity;
}

namespace tav::exchange {

// The data files of outgoing messages: "ped.dat" (every data field of a request as key=value lines of an
// INI-like file) and "GetEstado.DAT" (the status request). Windows-1252, each line ended CR LF.
class RequestFile
{
public:
    enum class PersonalKind { Request, Correction };

    // "ped.dat" of the current official request: its fields, the closing lines and one [SUPn] section per
    // alias row of the request.
    static QByteArray official(store::Tdm &dm);
    // "ped.dat" of the current personal request; a correction also writes m_excart51 in the field run.
    static QByteArray personal(store::Tdm &dm, PersonalKind kind, const net::NetworkIdentity &id);
    // "GetEstado.DAT".
    static QByteArray statusRequest(store::Tdm &dm);

    // A setting as the number the central office expects (0 when it is not a number).
    static int settingNumber(store::Tdm &dm, const QString &key);
    // Writes the bytes to a file of the program directory, replacing it; false when it could not be written.
    static bool write(store::Tdm &dm, const QString &name, const QByteArray &bytes);
};

} // namespace tav::exchange
