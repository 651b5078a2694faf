#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <filesystem>

class QXmlStreamWriter;

namespace tav::exchange {

// One file of a message to the central office: its bare name and its bytes in Base64 followed by CR LF
// (an empty text for a file that does not exist).
struct Attachment
{
    QString fileName;
    QByteArray content;  // the file's bytes, read when the message was built
    bool exists = false; // false: the file was missing and travels as an empty text

    // The text that travels: the encoded bytes and CR LF, or nothing for a missing file.
    QByteArray fileContentBase64() const { return exists ? encode(content) : QByteArray(); }

    // Reads the whole file now (the caller may delete it as soon as this returns); the encoding is left to
    // the worker that sends it.
    static Attachment fromFile(const std::filesystem::path &directory, const QString &name);
    static Attachment of(const QString &name, const QByteArray &bytes) { return {name, bytes, true}; }
    // The transfer encoding: standard Base64 in blocks of 2736 bytes (3648 characters each, the last block
    // shorter), then CR LF.
    static QByteArray encode(const QByteArray &bytes);
};

// The message the web service carries, in the service's field order.
struct TAVMessage
{
    int Pedido = 0;
    int Regional = 0;
    QString MAC;
    QString HostName;
    QString Recipients;
    QString Subject;
    QString Body;
    QList<Attachment> Attachments;

    // The service's namespace: SOAP actions are this text followed by the operation's name.
    static const QString &serviceNamespace();
    // The endpoint when the configuration file names none.
    static const QString &defaultUrl();

    // The `msg` parameter of SendMessage and VerifyMessage.
    void write(QXmlStreamWriter &w) const;
    // The whole request envelope of an operation, written straight into one buffer (the Base64 text needs no
    // escaping, so several megabytes go by copying rather than through the XML writer).
    QByteArray envelope(const QString &operation) const;
};

} // namespace tav::exchange
