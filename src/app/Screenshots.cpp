#include "app/Screenshots.h"

#include "app/Application.h"
#include "capture/FingerQuality.h"
#include "capture/windows/TFCalidad.h"
#include "capture/windows/TFDigFich.h"
#include "capture/windows/TFImgDig.h"
#include "capture/windows/TFVerImg.h"
#include "capture/windows/TTwainCaps.h"
#include "capture/windows/TTwainForm.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "exchange/windows/TFBandeja.h"
#include "exchange/windows/TFChequeoCorreo.h"
#include "exchange/windows/TFConfigEnvio.h"
#include "exchange/windows/TFLogEnvio.h"
#include "exchange/windows/TFNuevoMensaje.h"
#include "exchange/windows/TFProgresoCorreo.h"
#include "exchange/windows/TFVerTexto.h"
#include "official/CaptureServices.h"
#include "official/OfficialRules.h"
#include "official/windows/FOrg.h"
#include "official/windows/TFped.h"
#include "personal/PersonalRules.h"
#include "personal/PersonalWindowRules.h"
#include "personal/SlipLookup.h"
#include "personal/windows/TFCompPedBol.h"
#include "personal/windows/TFPedP.h"
#include "platform/imaging/ImageFile.h"
#include "queries/windows/ProgressWindow.h"
#include "reports/ActivityReport.h"
#include "reports/TrpCompr.h"
#include "reports/TrpContesPriv.h"
#include "reports/TrpFicha.h"
#include "reports/TrpOficio.h"
#include "reports/windows/TFInfMensual.h"
#include "reports/windows/TFListado.h"
#include "reports/windows/TFreporte.h"
#include "shell/Session.h"
#include "shell/windows/AboutBox.h"
#include "shell/windows/CambClave.h"
#include "shell/windows/FAdminUsu.h"
#include "shell/windows/FConfig.h"
#include "shell/windows/FMenu.h"
#include "shell/windows/InfoWnd.h"
#include "shell/windows/PedirClave.h"
#include "store/Tdm.h"
#include "ui/QtUi.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>

namespace tav::app {

namespace {

bool grabTo(QWidget &w, const std::filesystem::path &outDir, const QString &name, QTextStream &out)
{
    QApplication::processEvents();
    const QString file = QString::fromStdString((outDir / name.toStdString()).string()) + QStringLiteral(".png");
    const bool ok = w.grab().save(file);
    out << (ok ? "  " : "  ERROR ") << file << Qt::endl;
    return ok;
}

// The window at the size it opens with ("<name>.png") and at its minimum size ("<name>-min.png").
bool save(QWidget &w, const std::filesystem::path &outDir, const QString &name, QTextStream &out)
{
    w.show();
    bool ok = grabTo(w, outDir, name, out);
    const QSize opened = w.size();
    w.resize(1, 1); // as small as the window lets itself be made
    ok = grabTo(w, outDir, name + QStringLiteral("-min"), out) && ok;
    w.resize(opened);
    w.hide();
    return ok;
}

// Every page of a printed report as "<name>.png" (150 dpi, the whole sheet) and the report as "<name>.pdf".
bool saveReport(reports::Report &report, const std::filesystem::path &outDir, const QString &name, QTextStream &out)
{
    const QString base = QString::fromStdString((outDir / name.toStdString()).string());
    bool ok = report.writePdf(base + QStringLiteral(".pdf"));
    for (int page = 0; page < report.pageCount(); ++page) {
        const QString file = base + (page ? QStringLiteral("-%1.png").arg(page + 1) : QStringLiteral(".png"));
        const bool saved = report.renderPage(page, 150).save(file);
        out << (saved ? "  " : "  ERROR ") << file << Qt::endl;
        ok = ok && saved;
    }
    return ok;
}

// The four request reports filled with a sample request.
int saveReports(const QString &programDir, const std::filesystem::path &outDir, QTextStream &out)
{
    int failures = 0;
    reports::OficioData oficio;
    oficio.place = QStringLiteral("CAPITAL FEDERAL");
    oficio.date = QDate(2026, 12, 10);
    oficio.organisation = QStringLiteral("JUZGADO FEDERAL EN LO CRIMINAL Nº 3");
    oficio.secretariat = QStringLiteral("SECRETARIA 5");
    oficio.street = QStringLiteral("COMODORO PY 2002");
    oficio.locality = QStringLiteral("CAPITAL FEDERAL");
    oficio.province = QStringLiteral("CAPITAL FEDERAL");
    oficio.offence = QStringLiteral("ROBO");
    oficio.caseNumber = QStringLiteral("4512/2026");
    oficio.surnames = QStringLiteral("GOMEZ PAZ o  LOPEZ");
    oficio.names = QStringLiteral("JUAN CARLOS o  JUAN");
    oficio.sex = QStringLiteral("MASCULINO");
    oficio.birthDate = QStringLiteral("04/03/1980");
    oficio.nationality = QStringLiteral("ARGENTINA");
    oficio.document = QStringLiteral("20123456");
    oficio.fatherNames = QStringLiteral("PEDRO");
    oficio.motherSurnames = QStringLiteral("RUIZ");
    oficio.motherNames = QStringLiteral("ANA");
    reports::TrpOficio letter(oficio);
    failures += !saveReport(letter, outDir, QStringLiteral("TrpOficio"), out);

    reports::ComprData compr;
    compr.request = QStringLiteral("1234");
    compr.office = QStringLiteral("5");
    compr.surnames = QStringLiteral("GOMEZ PAZ");
    compr.names = QStringLiteral("JUAN CARLOS");
    compr.sex = QStringLiteral("MASCULINO");
    compr.nationality = QStringLiteral("ARGENTINA");
    compr.birthDate = QStringLiteral("04/03/1980");
    compr.documentType = QStringLiteral("DOCUMENTO UNICO");
    compr.document = QStringLiteral("20123456");
    compr.issuer = QStringLiteral("REGISTRO NACIONAL DE LAS PERSONAS");
    compr.fatherNames = QStringLiteral("PEDRO LUIS");
    compr.motherSurnames = QStringLiteral("RUIZ SOSA");
    compr.motherNames = QStringLiteral("ANA MARIA");
    compr.procedure = QStringLiteral("URGENTE");
    compr.startDate = QStringLiteral("09/12/2026");
    compr.payment = QStringLiteral("0012345678901234");
    compr.securityCode = QStringLiteral("A1B2C3D4E5");
    compr.certificateUrl = QStringLiteral("certificados.tav-central.example");
    reports::TrpCompr receipt(compr);
    failures += !saveReport(receipt, outDir, QStringLiteral("TrpCompr"), out);

    reports::ContesPrivData contes;
    contes.printed = QDate(2026, 12, 10);
    contes.request = QStringLiteral("1234");
    contes.fileNumber = QStringLiteral("99001");
    contes.surnames = compr.surnames;
    contes.names = compr.names;
    contes.certificate = QStringLiteral("RR123456789AR");
    contes.remarks = QStringLiteral("RETIRAR EN CORREO CENTRAL");
    contes.result = QStringLiteral("SIN ANTECEDENTES");
    reports::TrpContesPriv answer(contes);
    failures += !saveReport(answer, outDir, QStringLiteral("TrpContesPriv"), out);

    // A ten-finger card drawn for the sheet (under a name no request's composed card can have).
    const QString card = QDir(programDir).filePath(QStringLiteral("muestra-ficha-completa.bmp"));
    QImage image(2480, 1299, QImage::Format_Grayscale8);
    image.fill(235);
    {
        QPainter p(&image);
        p.setPen(QPen(Qt::black, 6));
        for (int i = 0; i < 10; ++i)
            p.drawRect(60 + (i % 5) * 480, 80 + (i / 5) * 600, 420, 520);
    }
    image.save(card, "BMP");
    reports::TrpFicha sheet;
    QString error;
    if (sheet.set({card, reports::FichaData::captionOf(QStringLiteral("1234"), QStringLiteral("5"))}, &error)) {
        failures += !saveReport(sheet, outDir, QStringLiteral("TrpFicha"), out);
    } else {
        out << "  ERROR " << error << Qt::endl;
        ++failures;
    }
    QFile::remove(card);
    return failures;
}

} // namespace

int screenshotsJob(const std::filesystem::path &programDir, const std::filesystem::path &outDir, QTextStream &out)
{
    QDir().mkpath(QString::fromStdString(outDir.string()));
    ui::QtUi ui;
    store::Clock clock;
    store::Tdm dm(programDir, ui, clock);
    if (dm.startUp() != store::Tdm::StartResult::Ready) {
        out << "La oficina no pudo iniciarse." << Qt::endl;
        return 1;
    }
    int failures = 0;
    {
        shell::FMenu menu(dm, ui);
        menu.resize(1100, 720);
        menu.setStatusText(QStringLiteral("Listo"));
        menu.setLoggedUser(QStringLiteral("admin"));
        failures += !save(menu, outDir, QStringLiteral("FMenu"), out);
    }
    {
        shell::AboutBox about;
        about.setVersionText(QStringLiteral("Versión 2.32"));
        failures += !save(about, outDir, QStringLiteral("AboutBox"), out);
    }
    {
        shell::InfoWnd info;
        info.begin(QStringLiteral("Armando la ficha decadactilar"));
        info.step(QStringLiteral("Componiendo los dedos"));
        info.stepDone();
        info.step(QStringLiteral("Grabando la ficha"));
        failures += !save(info, outDir, QStringLiteral("InfoWnd"), out);
    }
    {
        reports::TFListado listado;
        listado.setWindowTitle(QStringLiteral("Pedidos personales sin enviar"));
        listado.addLine(QStringLiteral("Pedidos personales sin enviar"));
        listado.addLine(QStringLiteral("============================="));
        listado.setRange(1, 10);
        listado.setPosition(10);
        failures += !save(listado, outDir, QStringLiteral("TFListado"), out);
    }
    {
        queries::TFReindex reindex;
        reindex.setProgress(60);
        failures += !save(reindex, outDir, QStringLiteral("TFReindex"), out);
        queries::TFPurgReg purge;
        purge.setProgress(48);
        failures += !save(purge, outDir, QStringLiteral("TFPurgReg"), out);
    }
    {
        shell::SessionUser session;
        session.user = QStringLiteral("admin");
        shell::PedirClave login(dm, session);
        login.setSystemName(QStringLiteral("TAV Regional"));
        failures += !save(login, outDir, QStringLiteral("PedirClave"), out);
        shell::CambClave change(dm, session);
        failures += !save(change, outDir, QStringLiteral("CambClave"), out);
        shell::FConfig config(dm);
        failures += !save(config, outDir, QStringLiteral("FConfig"), out);
        shell::FAdminUsu users(dm);
        failures += !save(users, outDir, QStringLiteral("FAdminUsu"), out);
    }
    {
        official::OfficialRules rules(dm);
        official::CaptureServices services;
        official::TFped fped(dm, ui, services);
        fped.resize(1000, 720);
        failures += !save(fped, outDir, QStringLiteral("TFped"), out);
        official::TFOrg forg(dm, ui);
        failures += !save(forg, outDir, QStringLiteral("FOrg"), out);
        // The request window's own dialogs, each at its own size.
        fped.beforeModal = [&](QWidget *dialog) { failures += !save(*dialog, outDir, dialog->objectName(), out); };
        fped.findRequest();
        fped.aliases();
        dm.ped->insert();
        fped.chooseOffence();
        dm.ped->cancel();
    }
    {
        shell::SessionUser session;
        personal::SlipLookup slips(dm);
        personal::PersonalRules rules(dm, session, slips);
        official::CaptureServices services;
        personal::PersonalHooks hooks;
        personal::TFPedP fpedp(dm, ui, rules, slips, services, hooks);
        fpedp.resize(1100, 640);
        failures += !save(fpedp, outDir, QStringLiteral("TFPedP"), out);
        personal::TFCompPedBol comparison(dm, ui);
        comparison.fill(QString(), 7, 1);
        failures += !save(comparison, outDir, QStringLiteral("TFCompPedBol"), out);
    }
    {
        // The capture windows with a generated card and a two-page document.
        const QString dirText = QString::fromStdString(programDir.string());
        const QString card = QDir(dirText).filePath(QStringLiteral("muestra-ficha.tif"));
        const QString docu = QDir(dirText).filePath(QStringLiteral("muestra-docu.tif"));
        imaging::Page page;
        page.image = QImage(2480, 1299, QImage::Format_Grayscale8);
        page.image.fill(235);
        {
            QPainter p(&page.image);
            p.setPen(QPen(Qt::black, 6));
            for (int i = 0; i < 10; ++i)
                p.drawRect(60 + (i % 5) * 480, 80 + (i / 5) * 600, 420, 520);
        }
        page.xResolution = page.yResolution = 300;
        imaging::ImageFile::save(page, card, imaging::Encoding::tiffGrayJpegMedium());
        capture::TTwainForm twain(dirText, ui);
        failures += !save(twain, outDir, QStringLiteral("TTwainForm"), out);
        capture::TTwainCaps caps(ui);
        failures += !save(caps, outDir, QStringLiteral("TTwainCaps"), out);
        capture::TFDigFich fich(dirText, ui, twain);
        fich.resize(1000, 700);
        fich.prepare(false, QStringLiteral("A2_3_"), QStringLiteral("_____"));
        fich.loadImage(card, false);
        failures += !save(fich, outDir, QStringLiteral("TFDigFich"), out);
        QFile::copy(card, docu);
        capture::TFImgDig docWindow(dirText, ui, twain);
        docWindow.resize(900, 700);
        docWindow.setDocumentFile(docu);
        failures += !save(docWindow, outDir, QStringLiteral("TFImgDig"), out);
        capture::TFVerImg viewer(ui);
        viewer.resize(900, 600);
        viewer.setImageFile(card);
        failures += !save(viewer, outDir, QStringLiteral("TFVerImg"), out);
        capture::FingerQuality quality;
        for (int position = 1; position <= 8; ++position)
            quality.set(position, 1 + position % 5, position == 4 ? 2 : 0);
        capture::TFCalidad qualityReport;
        qualityReport.showReport(QStringLiteral("Calidad de la huella"), quality);
        failures += !save(qualityReport, outDir, QStringLiteral("TFCalidad"), out);
        QFile::remove(card);
        QFile::remove(docu);
    }
    failures += saveReports(QString::fromStdString(programDir.string()), outDir, out);
    {
        // The sending and mail windows, with an account filled in but no server reached.
        exchange::SendLog sendLog;
        exchange::TSMime transport(dm, sendLog);
        exchange::TdmMail mail(dm);
        mail.pop3Name = mail.smtpName = QStringLiteral("correo.oficina.example");
        mail.pop3User = QStringLiteral("regional7");
        mail.pop3Password = QStringLiteral("clave");
        mail.userEmail = QStringLiteral("regional7@oficina.example");
        mail.emailFwd = QStringLiteral("soporte@oficina.example");
        transport.webServiceMode = false;
        exchange::TFConfigEnvio config(dm, transport, mail);
        failures += !save(config, outDir, QStringLiteral("TFConfigEnvio"), out);
        exchange::TFChequeoCorreo check(mail);
        for (const char *line :
             {"Chequeando POP3..", "Verificación exitosa", "Chequeando SMTP..", "Verificación exitosa"})
            check.memo()->appendPlainText(QString::fromUtf8(line));
        failures += !save(check, outDir, QStringLiteral("TFChequeoCorreo"), out);
        exchange::TFLogEnvio logWindow(dm, sendLog, transport);
        logWindow.memo()->setPlainText(QStringLiteral("10/12/2026 10:15:02 - Pedido 12 Regional 7 - Enviado "
                                                      "correctamente - Tiempo: 1,25 seg"));
        failures += !save(logWindow, outDir, QStringLiteral("TFLogEnvio"), out);
        exchange::TFBandeja inbox(dm, mail, transport);
        inbox.statusBar()->showMessage(QStringLiteral("Total de mensajes en el servidor: 0"));
        failures += !save(inbox, outDir, QStringLiteral("TFBandeja"), out);
        exchange::TFNuevoMensaje &composer = *inbox.composer();
        composer.to()->setText(QStringLiteral("central@tav-central.example"));
        composer.subject()->setText(QStringLiteral("Consulta de la regional"));
        composer.body()->setPlainText(QStringLiteral("Buenos días."));
        failures += !save(composer, outDir, QStringLiteral("TFNuevoMensaje"), out);
        exchange::TFProgresoCorreo progress;
        progress.setWindowTitle(QStringLiteral("Recibiendo Mensaje..."));
        progress.bar()->setValue(40);
        failures += !save(progress, outDir, QStringLiteral("TFProgresoCorreo"), out);
        exchange::TFVerTexto text;
        text.setWindowTitle(QStringLiteral("resp.dat"));
        text.text()->setPlainText(QStringLiteral("[DATA]\nc_ped=12\nc_reg=7\nn_expe=4321\nc_est=T"));
        failures += !save(text, outDir, QStringLiteral("TFVerTexto"), out);
    }
    {
        reports::ActivityReport activity(dm.filePath(QStringLiteral("muestra-logp.txt")));
        reports::TFreporte report(activity, ui);
        report.memo()->setPlainText(
            QStringLiteral("10/12/2026 10:20:11  Pedido Oficial 12 Recibido y en Trámite\n10/12/2026 10:41:37  "
                           "Pedido Oficial 9 Contestado"));
        failures += !save(report, outDir, QStringLiteral("TFreporte"), out);
        report.memo()->clear();
        reports::TFInfMensual monthly(dm);
        failures += !save(monthly, outDir, QStringLiteral("TFInfMensual"), out);
        QFile::remove(dm.filePath(QStringLiteral("muestra-logp.txt")));
    }
    return failures == 0 ? 0 : 1;
}

} // namespace tav::app
