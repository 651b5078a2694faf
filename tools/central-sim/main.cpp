// central-sim: a stand-in for the central office on this machine, for tests, demos and training.
//
//   central-sim --listen 127.0.0.1:PORT --store DIR [--config FILE] [--cert FILE --key FILE] [--boletas FILE]
//               [--smtp HOST:PORT --buzon ADDRESS [--auto confirmar,contestar] [--demora SECONDS]]
//   central-sim --store DIR --smtp HOST:PORT --buzon ADDRESS --responder FOLDER --tipo KIND
//
// PORT 0 picks a free port. When it is ready it prints one line, "central-sim: escuchando en URL", with the
// address of its message service; each message then gives one line on standard output.

#include "CentralSim.h"
#include "ReplyMailer.h"
#include "SlipService.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>
#include <QHostAddress>
#include <QSettings>
#include <QSslCertificate>
#include <QSslKey>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    // The certificate images of the replies are drawn without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("central-sim"));
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Oficina central simulada para pruebas y capacitación"));
    cli.addHelpOption();
    const QCommandLineOption listen(QStringLiteral("listen"), QStringLiteral("Dirección y puerto"),
                                    QStringLiteral("HOST:PUERTO"), QStringLiteral("127.0.0.1:8787"));
    const QCommandLineOption store(QStringLiteral("store"), QStringLiteral("Carpeta de mensajes recibidos"),
                                   QStringLiteral("DIR"));
    const QCommandLineOption config(QStringLiteral("config"), QStringLiteral("Archivo INI de respuestas"),
                                    QStringLiteral("ARCHIVO"));
    const QCommandLineOption cert(QStringLiteral("cert"), QStringLiteral("Certificado PEM (HTTPS)"),
                                  QStringLiteral("ARCHIVO"));
    const QCommandLineOption key(QStringLiteral("key"), QStringLiteral("Clave privada PEM (HTTPS)"),
                                 QStringLiteral("ARCHIVO"));
    const QCommandLineOption slips(QStringLiteral("boletas"),
                                   QStringLiteral("Archivo de boletas, trámites y códigos de seguridad"),
                                   QStringLiteral("ARCHIVO"));
    cli.addOptions({listen, store, config, cert, key, slips});
    ReplyMailer::addOptions(cli);
    cli.process(app);

    const auto die = [](const QString &text) {
        std::fprintf(stderr, "central-sim: %s\n", text.toUtf8().constData());
        return 2;
    };
    if (!cli.isSet(store))
        return die(QStringLiteral("falta --store DIR"));
    const QString hostPort = cli.value(listen);
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    bool portOk = false;
    const int port = colon > 0 ? hostPort.mid(colon + 1).toInt(&portOk) : -1;
    const QHostAddress address(colon > 0 ? hostPort.left(colon) : QString());
    if (!portOk || port < 0 || port > 65535 || address.isNull())
        return die(QStringLiteral("--listen espera HOST:PUERTO, se recibió ") + hostPort);
    if (cli.isSet(cert) != cli.isSet(key))
        return die(QStringLiteral("--cert y --key van juntos"));

    CentralSim::Options options;
    options.storeDir = cli.value(store);
    options.sendAnswer = QStringLiteral("Mensaje recibido: pedido %1 de la regional %2");
    options.verifyAnswer = QStringLiteral("Configuración correcta: regional %1 - MAC %2 - Host %3");
    if (cli.isSet(config)) {
        if (!QFile::exists(cli.value(config)))
            return die(QStringLiteral("no existe ") + cli.value(config));
        QSettings ini(cli.value(config), QSettings::IniFormat);
        options.sendAnswer = ini.value(QStringLiteral("Respuestas/SendMessage"), options.sendAnswer).toString();
        options.verifyAnswer = ini.value(QStringLiteral("Respuestas/VerifyMessage"), options.verifyAnswer).toString();
    }
    if (!QDir().mkpath(options.storeDir))
        return die(QStringLiteral("no se pudo crear ") + options.storeDir);
    ReplyMailer::Settings mailSettings;
    {
        QString error;
        std::unique_ptr<QSettings> ini;
        if (cli.isSet(config))
            ini = std::make_unique<QSettings>(cli.value(config), QSettings::IniFormat);
        if (!ReplyMailer::readSettings(cli, ini.get(), mailSettings, error))
            return die(error);
    }
    ReplyMailer mailer(options.storeDir, mailSettings);
    if (cli.isSet(QStringLiteral("responder"))) {
        // One reply on command, then the end.
        QString error;
        if (!mailer.reply(cli.value(QStringLiteral("responder")), cli.value(QStringLiteral("tipo")), error))
            return die(error);
        return 0;
    }

    CentralSim sim(options);
    mailer.install(sim.server());
    sim.onStored = [&mailer](const QString &folder, const CentralSim::ParsedMessage &m) {
        mailer.messageStored(folder, m.operation, m.Subject);
    };
    // The slip, procedure and security-code services answer whether or not a data file is given.
    SlipService slipService;
    QString slipError;
    if (cli.isSet(slips) && !slipService.load(cli.value(slips), slipError))
        return die(slipError);
    slipService.route(sim.server());
    QString scheme = QStringLiteral("http");
    if (cli.isSet(cert)) {
        QFile certFile(cli.value(cert)), keyFile(cli.value(key));
        if (!certFile.open(QIODevice::ReadOnly) || !keyFile.open(QIODevice::ReadOnly))
            return die(QStringLiteral("no se pudo leer el certificado o la clave"));
        const QSslCertificate certificate(&certFile, QSsl::Pem);
        const QSslKey privateKey(&keyFile, QSsl::Rsa, QSsl::Pem);
        if (certificate.isNull() || privateKey.isNull())
            return die(QStringLiteral("certificado o clave inválidos"));
        sim.server().sslSetup(certificate, privateKey);
        scheme = QStringLiteral("https");
    }
    const quint16 bound = sim.server().listen(address, static_cast<quint16>(port));
    if (bound == 0)
        return die(QStringLiteral("no se pudo escuchar en ") + hostPort);
    std::printf("central-sim: escuchando en %s://%s:%u%s\n", scheme.toUtf8().constData(),
                address.toString().toUtf8().constData(), unsigned(bound),
                CentralSim::messagePath().toUtf8().constData());
    std::fflush(stdout);
    return QGuiApplication::exec();
}
