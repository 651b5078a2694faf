#pragma once

#include "unit/official/CourtOfficeFixture.h"

#include "exchange/RequestSender.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "platform/imaging/ImageFile.h"
#include "support/CentralSimProcess.h"
#include "unit/imaging/TestImages.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QThread>

namespace tav::test {

// An office with one official request, its transport pointed at a stand-in central office started for the test.
class SendFixture : public CourtOfficeFixture
{
protected:
    void SetUp() override
    {
        CourtOfficeFixture::SetUp();
        transport = std::make_unique<exchange::TSMime>(*dm, log);
        sender = std::make_unique<exchange::RequestSender>(
            *dm, [this](const exchange::OutgoingMessage &m) { return transport->Send(m); });
        sim = std::make_unique<CentralSimProcess>(QStringLiteral(CENTRAL_SIM), path("central"));
    }

    void TearDown() override
    {
        if (transport) {
            EXPECT_TRUE(transport->waitForWorkers(15000));
        }
        transport.reset();
        sim.reset();
        CourtOfficeFixture::TearDown();
    }

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.path().string())).filePath(name); }

    void startSim()
    {
        ASSERT_TRUE(sim->start()) << sim->error().toStdString();
        soap::SoapSettings endpoint = transport->endpoint();
        endpoint.url = sim->url();
        endpoint.timeoutMs = 5000;
        transport->setEndpoint(endpoint);
    }

    void writeCard(const QString &name)
    {
        imaging::Page page = grayPage(2480, 1299);
        page.xResolution = page.yResolution = 300;
        QString error;
        ASSERT_TRUE(imaging::ImageFile::save(page, path(name), imaging::Encoding::tiffGrayJpegMedium(), &error))
            << error.toStdString();
    }
    void writeBytes(const QString &name, const QByteArray &bytes)
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    static QByteArray readBytes(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(no existe)");
    }

    // A saved official request (number 1, office 7).
    void enterRequest()
    {
        store::Dataset &ped = *dm->ped;
        ped.insert();
        ped["C_ORG"].setValue(1);
        ped["C_NAC"].setValue(1);
        ped["C_SEXO"].setValue("M");
        ped["X_APE1"].setValue("GOMEZ");
        ped["X_NOM1"].setValue("JUAN");
        ped["C_PRIOR"].setValue(1);
        ped["C_TDEL"].setValue(101);
        dm->postConfirmed = true;
        ASSERT_TRUE(ped.post()) << ui.messageTexts().join('|').toStdString();
        ui.clearRecord();
    }

    // Waits (bounded) until the log has `count` lines, letting queued lines arrive.
    bool waitForLogLines(int count, int milliseconds = 15000)
    {
        QDeadlineTimer deadline(milliseconds);
        while (log.lines().size() < count && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        return log.lines().size() >= count;
    }

    // The stored message's description, as key=value pairs.
    static QMap<QString, QString> messageOf(const QString &folder)
    {
        QMap<QString, QString> values;
        const QStringList lines = QString::fromUtf8(readBytes(folder + "/mensaje.txt")).split('\n');
        for (const QString &line : lines)
            if (line.contains('='))
                values.insert(line.section('=', 0, 0), line.section('=', 1));
        return values;
    }

    exchange::SendLog log;
    std::unique_ptr<exchange::TSMime> transport;
    std::unique_ptr<exchange::RequestSender> sender;
    std::unique_ptr<CentralSimProcess> sim;
};

} // namespace tav::test
