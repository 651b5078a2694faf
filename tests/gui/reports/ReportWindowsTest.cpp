#include "exchange/ReplyHandlers.h"
#include "exchange/windows/AnswerPrinter.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"
#include "reports/MonthlyReport.h"
#include "reports/TrpCompr.h"
#include "reports/TrpFicha.h"
#include "reports/windows/ReportPrinting.h"
#include "reports/windows/TFInfMensual.h"
#include "reports/windows/TFreporte.h"

#include "platform/imaging/ImageFile.h"
#include "unit/store/OfficeFixture.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace tav;
using ui::Ui;

namespace {

class ReportWindowsTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        ui.clearRecord();
    }
    QString path(const std::string &name) const { return QString::fromStdString((dir / name).string()); }

    void setUrls(const QStringList &addresses)
    {
        store::Dataset &url = *dm->url;
        while (!url.isEmpty()) {
            url.first();
            ASSERT_TRUE(url.remove());
        }
        int prior = 1;
        for (const QString &a : addresses) {
            url.insert();
            url["N_PRIOR"].setValue(prior++);
            url["X_URL"].setValue(a);
            dm->postConfirmed = true;
            ASSERT_TRUE(url.post());
        }
    }
};

TEST_F(ReportWindowsTest, ActivityWindowLoadsAddsClearsAndWritesAtEveryClose)
{
    QFile seed(path("logp.txt"));
    ASSERT_TRUE(seed.open(QIODevice::WriteOnly));
    seed.write("01/12/2026 09:00:00  Pedido Oficial 1 Recibido y en Tr\xe1mite\r\n");
    seed.close();

    reports::ActivityReport report(path("logp.txt"));
    reports::TFreporte window(report, ui);
    EXPECT_EQ(window.windowTitle(), "Reporte de Actividad ");
    EXPECT_EQ(window.memo()->toPlainText(),
              QStringLiteral("01/12/2026 09:00:00  Pedido Oficial 1 Recibido y en Trámite"));
    EXPECT_FALSE(window.clearButton()->autoDefault());

    // A handler's line shows the window.
    report.addLine("02/12/2026 10:00:00  Pedido Personal 2 Contestado");
    report.requestShow();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.memo()->toPlainText().count('\n'), 1);

    ui.answerNext(Ui::No);
    QTest::mouseClick(window.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(ui.shown({{"Todos los Datos serán Borrados. Desea Continuar?", "Advertencia", Ui::Buttons::YesNo}}));
    EXPECT_EQ(report.lines().size(), 2);
    QTest::mouseClick(window.closeButton(), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    QFile kept(path("logp.txt"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll().count("\r\n"), 2);
    kept.close();

    window.show();
    ui.answerNext(Ui::Yes);
    QTest::mouseClick(window.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(window.memo()->toPlainText().isEmpty());
    EXPECT_EQ(QFileInfo(path("logp.txt")).size(), kept.size()); // the file changes at the next closing
    window.close();
    EXPECT_EQ(QFileInfo(path("logp.txt")).size(), 0);
}

TEST_F(ReportWindowsTest, MonthlyReportProposesThePreviousMonth)
{
    const std::pair<QDate, reports::MonthlyReport::Period> cases[] = {
        {QDate(2027, 1, 15), {12, 2026}}, {QDate(2026, 3, 31), {2, 2026}}, {QDate(2026, 12, 1), {11, 2026}}};
    for (const auto &[today, want] : cases) {
        const auto got = reports::MonthlyReport::proposed(today);
        EXPECT_EQ(got.month, want.month);
        EXPECT_EQ(got.year, want.year);
    }
    clock.set(QDateTime(QDate(2027, 1, 10), QTime(9, 0)));
    reports::TFInfMensual window(*dm);
    window.show();
    EXPECT_EQ(window.monthEdit()->text(), "12");
    EXPECT_EQ(window.yearEdit()->text(), "2026");
}

TEST_F(ReportWindowsTest, MonthlyReportChecksThePeriodAndOpensTheFirstAddress)
{
    dm->writeSetting("c_regp", "0042");
    setUrls({"  ", "http://127.0.0.1:1/central/", "http://127.0.0.1:2/"});
    reports::TFInfMensual window(*dm);
    QList<QUrl> opened;
    window.openUrl = [&](const QUrl &u) { opened.append(u); };

    struct Typed
    {
        const char *month;
        const char *year;
        const char *message; // empty: accepted
    } typed[] = {{"13", "2026", "ERROR: Número de mes incorrecto"}, {"0", "2026", "ERROR: Número de mes incorrecto"},
                 {"", "2026", "ERROR: Número de mes incorrecto"},   {"5", "1999", "ERROR: Número de año incorrecto"},
                 {"5", "2101", "ERROR: Número de año incorrecto"},  {"5", "2026", ""}};
    for (const auto &t : typed) {
        SCOPED_TRACE(std::string(t.month) + "/" + t.year);
        window.show();
        window.monthEdit()->setText(QString::fromLatin1(t.month));
        window.yearEdit()->setText(QString::fromLatin1(t.year));
        ui.clearRecord();
        QTest::mouseClick(window.okButton(), Qt::LeftButton);
        if (t.message[0]) {
            EXPECT_TRUE(ui.shown({{QString::fromUtf8(t.message), "Error"}}));
            EXPECT_TRUE(window.isVisible());
        } else {
            EXPECT_TRUE(ui.shownNothing());
            EXPECT_FALSE(window.isVisible());
        }
    }
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].toString(),
              "http://127.0.0.1:1/central/PlanillaInfMensual/Default.aspx?c_regtav=0042&month=5&year=2026");

    setUrls({});
    window.show();
    window.monthEdit()->setText("5");
    window.yearEdit()->setText("2026");
    ui.clearRecord();
    QTest::mouseClick(window.okButton(), Qt::LeftButton);
    EXPECT_TRUE(
        ui.shown({{"ERROR: No se pudo obtener el listado mensual. Verifique la configuración de la URL", "Error"}}));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(opened.size(), 1);
}

// An official answer applied with automatic printing on prints every page of the stored answer file
// through the image-printing window (here into a PDF file).
TEST_F(ReportWindowsTest, AnswerIsPrintedThroughTheImagePrintingWindow)
{
    imaging::Page page;
    page.image = QImage(400, 300, QImage::Format_Grayscale8);
    page.image.fill(200);
    page.xResolution = page.yResolution = 100;
    QString error;
    ASSERT_TRUE(imaging::ImageFile::save(page, path("resp.tif"), imaging::Encoding::tiffGrayJpegMedium(), &error))
        << error.toStdString();
    QFile dat(path("resp.dat"));
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
    dat.write("[DATA]\r\nc_ped=5\r\nc_reg=7\r\nn_expe=1\r\n");
    dat.close();
    store::Dataset &ped = *dm->ped;
    ped.insert();
    ped["C_PED"].setValue(5);
    ped["C_REG"].setValue(7);
    ped["C_EST"].setValue("T");
    ASSERT_TRUE(ped.post());

    reports::ActivityReport report(path("logp.txt"));
    queries::CentralStatusLists lists(*dm);
    exchange::ReplyHandlers handlers(*dm, report, lists);
    QStringList printedFiles;
    int printedPages = 0;
    handlers.printImage = exchange::answerPrinter(
        nullptr,
        [&](QPrinter &printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(path("printed.pdf"));
        },
        [&](const QString &file, int pages) {
            printedFiles.append(QFileInfo(file).fileName());
            printedPages += pages;
        });
    dm->automaticPrinting = true;
    EXPECT_TRUE(handlers.ProcesarContestacionOficial());
    EXPECT_EQ(printedFiles, QStringList{"c5.7"});
    EXPECT_EQ(printedPages, 1);
    QFile pdf(path("printed.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5).startsWith("%PDF"));

    // With automatic printing off nothing is printed.
    dm->automaticPrinting = false;
    ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
    dat.write("[DATA]\r\nc_ped=5\r\nc_reg=7\r\nn_expe=2\r\n");
    dat.close();
    ASSERT_TRUE(QFile::copy(path("c5.7"), path("resp.tif")));
    EXPECT_TRUE(handlers.ProcesarContestacionOficial());
    EXPECT_EQ(printedFiles.size(), 1);
}

// A personal answer sent by registered mail prints its answer letter when "m_impconfp" is "S" (here into a
// PDF file), read from the request as the reply left it; with the setting off nothing is printed.
TEST_F(ReportWindowsTest, PersonalAnswerLetterIsPrintedWhenTheSettingSaysSo)
{
    store::Dataset &pedp = *dm->pedp;
    pedp.insert();
    pedp["C_PED"].setValue(3);
    pedp["C_REG"].setValue(7);
    pedp["C_EST"].setValue("T");
    pedp["X_APE1"].setValue("GOMEZ");
    pedp["X_NOM1"].setValue("ANA");
    ASSERT_TRUE(pedp.post());
    auto reply = [&](const char *nExpe) {
        QFile dat(path("resp.dat"));
        ASSERT_TRUE(dat.open(QIODevice::WriteOnly));
        dat.write(QByteArray("[DATA]\r\nc_ped=3\r\nc_reg=7\r\nn_expe=") + nExpe +
                  "\r\nc_est=C\r\nn_cert=RR9\r\nx_obs=POR CORREO\r\nc_res=N\r\n");
    };

    reports::ActivityReport report(path("logp.txt"));
    queries::CentralStatusLists lists(*dm);
    exchange::ReplyHandlers handlers(*dm, report, lists);
    int prints = 0;
    handlers.printPersonalAnswer = exchange::personalAnswerPrinter(*dm, [&](QPrinter &printer) {
        ++prints;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path("carta.pdf"));
    });
    dm->printConfirmationOfPersonal = false;
    reply("81");
    EXPECT_TRUE(handlers.ProcesarContestacionPersonal());
    EXPECT_EQ(prints, 0);
    EXPECT_FALSE(QFile::exists(path("carta.pdf")));

    dm->printConfirmationOfPersonal = true;
    reply("82");
    EXPECT_TRUE(handlers.ProcesarContestacionPersonal());
    EXPECT_EQ(prints, 1);
    ASSERT_TRUE(QFile::exists(path("carta.pdf")));
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    QProcess text;
    text.start("pdftotext", {"-layout", path("carta.pdf"), "-"});
    ASSERT_TRUE(text.waitForFinished(20000));
    const QString letter = QString::fromUtf8(text.readAllStandardOutput());
    for (const char *expected :
         {"Contestación de Pedido Personal", "GOMEZ", "ANA", "RR9", "POR CORREO", "SIN ANTECEDENTES", "10/12/2026"})
        EXPECT_TRUE(letter.contains(QString::fromUtf8(expected))) << expected << "\n" << letter.toStdString();
    EXPECT_TRUE(letter.contains(QRegularExpression("Número de Expediente +82"))) << letter.toStdString();
}

// Printing goes to the printer in the report's own orientation: the receipt (with its progress window)
// portrait, the card sheet landscape; an empty receipt sends nothing to the printer.
TEST_F(ReportWindowsTest, ReportsReachThePrinterInTheirOrientation)
{
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty())
        GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    auto toPdf = [&](QPrinter &printer, const char *name) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path(name));
    };
    auto landscape = [&](const char *name) {
        QProcess info;
        info.start("pdfinfo", {path(name)});
        EXPECT_TRUE(info.waitForFinished(20000));
        const auto m = QRegularExpression("Page size: +([0-9.]+) x ([0-9.]+)")
                           .match(QString::fromUtf8(info.readAllStandardOutput()));
        EXPECT_TRUE(m.hasMatch()) << name;
        return m.captured(1).toDouble() > m.captured(2).toDouble();
    };

    reports::ComprData data;
    data.request = "1234";
    data.office = "5";
    data.securityCode = "A1B2C3D4E5";
    reports::TrpCompr receipt(data);
    {
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, "compr.pdf");
        EXPECT_TRUE(reports::printReportWithProgress(receipt, printer, nullptr));
    }
    ASSERT_TRUE(QFile::exists(path("compr.pdf")));
    EXPECT_FALSE(landscape("compr.pdf"));

    reports::TrpCompr empty{reports::ComprData{}};
    {
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, "vacio.pdf");
        EXPECT_TRUE(reports::printReportWithProgress(empty, printer, nullptr));
        reports::printReport(empty, printer);
    }
    EXPECT_FALSE(QFile::exists(path("vacio.pdf")));

    QImage card(600, 300, QImage::Format_Grayscale8);
    card.fill(90);
    ASSERT_TRUE(card.save(path("1234_5.bmp"), "BMP"));
    reports::TrpFicha sheet;
    ASSERT_TRUE(sheet.set({path("1234_5.bmp"), "Ped:1234 Reg:5"}));
    {
        QPrinter printer(QPrinter::HighResolution);
        toPdf(printer, "ficha.pdf");
        reports::printReport(sheet, printer);
    }
    ASSERT_TRUE(QFile::exists(path("ficha.pdf")));
    EXPECT_TRUE(landscape("ficha.pdf"));
}

} // namespace
