#pragma once

#include <QByteArray>
#include <QDir>
#include <QHttpServer>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// The central office as the regional offices see it: its message service answers SendMessage and
// VerifyMessage, and every message received is stored in a folder of its own.
class CentralSim
{
public:
    struct Options
    {
        QString storeDir;
        QString sendAnswer;   // "%1" request, "%2" office
        QString verifyAnswer; // "%1" office, "%2" MAC, "%3" host
    };

    struct ParsedAttachment
    {
        QString fileName;
        bool present = false; // false: the office sent an empty text (its file did not exist)
        QByteArray bytes;
    };
    struct ParsedMessage
    {
        QString operation;
        QString Pedido, Regional, MAC, HostName, Recipients, Subject, Body;
        QList<ParsedAttachment> attachments;
    };

    explicit CentralSim(Options options);

    QHttpServer &server() { return m_server; }

    // Called with the folder of each message once it is stored (the replies by mail hang here).
    std::function<void(const QString &folder, const ParsedMessage &message)> onStored;

    static const QString &serviceNamespace();
    static const QString &messagePath();

    // Parses and checks a request; on failure returns false with the fault text.
    static bool parse(const QByteArray &envelope, ParsedMessage &message, QString &fault);
    // Stores a message (envelope kept) in a new folder, all or nothing; the folder's path or an error.
    bool store(const QByteArray &envelope, const ParsedMessage &message, QString &folderOrError);

    static QByteArray faultEnvelope(const QString &code, const QString &text);
    // The answer of `operation` in the service namespace `ns` (the message service's unless given), with
    // `emptyElements` after the result, written empty.
    static QByteArray resultEnvelope(const QString &operation, const QString &text, const QString &ns = {},
                                     const QStringList &emptyElements = {});

private:
    QHttpServerResponse handle(const QHttpServerRequest &request);

    Options m_options;
    QHttpServer m_server;
    int m_sequence = 0;
};
