#pragma once

#include <QString>
#include <QStringList>

namespace tav::exchange {

// What a send operation hands to the message transport: the transport reads back one boolean.
struct OutgoingMessage
{
    QString recipient;
    QString subject;
    int request = 0;         // C_PED; 0 for the status request and the service test
    int office = 0;          // c_reg or c_regp
    QStringList attachments; // bare names of files in the program directory, in order
    QString body;
};

} // namespace tav::exchange
