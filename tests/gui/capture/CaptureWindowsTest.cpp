#include "capture/ImageChecks.h"
#include "capture/ScanProfile.h"
#include "capture/windows/TFDigFich.h"
#include "capture/windows/TFImgDig.h"
#include "capture/windows/TFImgPrn.h"
#include "capture/windows/TFVerDedo.h"
#include "capture/windows/TFVerImg.h"
#include "capture/windows/TTwainCaps.h"
#include "capture/windows/TTwainForm.h"

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/TiffDocument.h"
#include "platform/ini/IniFile.h"
#include "support/TestDir.h"
#include "support/TestUi.h"
#include "unit/scanner/SaneEnvironment.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

using namespace tav;
using namespace tav::capture;
using tav::test::TestUi;
using ui::Ui;

namespace {

class CaptureWindowsTest : public ::testing::Test
{
protected:
    void SetUp() override { tav::test::useTestScanners(); }

    QString dir() const { return QString::fromStdString(m_dir.path().string()); }
    QString file(const QString &name) const { return QDir(dir()).filePath(name); }

    // A small scan area at a low resolution keeps each acquisition from the test device short.
    void writeProfile(const QString &name, int dpi, int right, int bottom, ImageType type)
    {
        ScanProfile p;
        p.dpi = dpi;
        p.right = right;
        p.bottom = bottom;
        p.imageType = type;
        p.interfaceMode = InterfaceMode::HideInterface;
        ASSERT_TRUE(p.save(file(name)));
    }

    imaging::ImageProperties properties(const QString &path, int page = 1)
    {
        imaging::ImageProperties p;
        QString error;
        EXPECT_TRUE(imaging::ImageFile::readProperties(path, p, &error, page)) << error.toStdString();
        return p;
    }

    // A grey page of the given size written as a TIFF page with an encoding.
    void writePage(const QString &path, int w, int h, const imaging::Encoding &enc, int shade = 128)
    {
        imaging::Page page;
        page.image = QImage(w, h, QImage::Format_Grayscale8);
        page.image.fill(shade);
        page.xResolution = page.yResolution = 100;
        QString error;
        ASSERT_TRUE(imaging::TiffDocument::appendPage(path, page, enc, &error)) << error.toStdString();
    }

    tav::test::TestDir m_dir;
    TestUi m_ui;
};

// Keys typed into the classification edit, with the caret placed first.
TEST_F(CaptureWindowsTest, ClassificationEditAcceptsOnlyValidCharactersPerPosition)
{
    struct Case
    {
        const char *start;
        int caret;
        QList<int> keys;
        const char *expected;
    };
    const QList<Case> cases = {
        {"_____", 0, {Qt::Key_A, Qt::Key_2, Qt::Key_Minus, Qt::Key_3}, "A2_3_"},
        {"_____", 0, {Qt::Key_1}, "_____"},         // 1 is not valid at position 1
        {"_____", 2, {Qt::Key_5}, "_____"},         // 5 is valid nowhere
        {"A2_3_", 5, {Qt::Key_Backspace}, "A2_3_"}, // never shrinks
        {"A2_3_", 0, {Qt::Key_Delete}, "A2_3_"},
        {"_____", 1, {Qt::Key_E}, "_____"}, // vowels only at position 1
        {"_____", 1, {Qt::Key_X, Qt::Key_4}, "_X4__"},
        {"AB", 2, {Qt::Key_0}, "AB0"}, // a shorter text set from outside grows at its end
    };
    for (const Case &c : cases) {
        TClasFundEdit edit;
        edit.setText(QString::fromLatin1(c.start));
        edit.setCursorPosition(c.caret);
        for (int key : c.keys)
            QTest::keyClick(&edit, Qt::Key(key));
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.expected)) << c.start << " caret " << c.caret;
    }
}

TEST_F(CaptureWindowsTest, CardScannedFromTheTestDevicePassesTheCardCheckAfterGrabar)
{
    // 110 x 60 mm at 300 dpi: 1299 x 709 pixels, within the card's bounds.
    writeProfile(QStringLiteral("Huella.INI"), 300, 110, 60, ImageType::Gray);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFDigFich window(dir(), m_ui, twain);
    window.prepare(false, QStringLiteral("_____"), QStringLiteral("A1234"));
    window.show();
    EXPECT_EQ(window.clasIzqEdit()->text(), QStringLiteral("A1234"));
    EXPECT_FALSE(window.grabarButton()->isEnabled());

    // Space in the zoom box scans.
    QTest::keyClick(window.zoomBox(), Qt::Key_Space);
    EXPECT_TRUE(m_ui.shownNothing());
    EXPECT_TRUE(window.isModified());
    EXPECT_TRUE(window.viewer()->hasImage());
    EXPECT_TRUE(window.grabarButton()->isEnabled());

    window.clasDerEdit()->setCursorPosition(0);
    QTest::keyClicks(window.clasDerEdit(), QStringLiteral("v12"));
    QTest::mouseClick(window.grabarButton(), Qt::LeftButton);

    EXPECT_FALSE(window.isVisible());
    ASSERT_FALSE(window.resultFile().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(window.resultFile()));
    EXPECT_EQ(window.clasDer(), QStringLiteral("V12__"));
    EXPECT_EQ(window.clasIzq(), QStringLiteral("A1234"));
    const CheckOutcome check = ImageChecks::validarHuella(window.resultFile());
    EXPECT_TRUE(check.passed) << check.message.toStdString();
    // Closing removes the window's scratch files; only the card handed to the caller stays, in the station's
    // scratch folder.
    EXPECT_EQ(QFileInfo(window.resultFile()).absolutePath(), QFileInfo(twain.scratchDir()).absoluteFilePath());
    EXPECT_EQ(QDir(twain.scratchDir()).entryList(QDir::Files), QStringList{QFileInfo(window.resultFile()).fileName()});
}

TEST_F(CaptureWindowsTest, LockedCardRefusesScanAndLoadWithTheirMessages)
{
    TTwainForm twain(dir(), m_ui);
    TFDigFich window(dir(), m_ui, twain);
    window.prepare(true, QStringLiteral("A1234"), QStringLiteral("_____"));
    window.setFileChooser([] { return QString(); });
    window.show();
    QTest::mouseClick(window.scanButton(), Qt::LeftButton);
    QTest::mouseClick(window.loadButton(), Qt::LeftButton);
    window.loadFromDialog(true);
    EXPECT_TRUE(m_ui.shown(
        {{QStringLiteral("ERROR: Solo se puede modificar las impresiones dactilares\r antes de enviar ó si fue "
                         "rechazada"),
          Ui::errorTitle()},
         {QStringLiteral("ERROR: No se puede modificar las impresiones dactilares ya que el pedido esta en trámite ó "
                         "ya fue contestado"),
          Ui::errorTitle()},
         {QStringLiteral("ERROR: Solo se puede modificar la huella\r antes de enviar ó si fue rechazada"),
          Ui::errorTitle()}}));
    EXPECT_TRUE(window.clasDerEdit()->isReadOnly());
    QTest::keyClick(window.clasDerEdit(), Qt::Key_0);
    EXPECT_EQ(window.clasDerEdit()->text(), QStringLiteral("A1234"));
    EXPECT_FALSE(window.grabarButton()->isEnabled());
    EXPECT_FALSE(window.isModified());
}

TEST_F(CaptureWindowsTest, StoredCardLoadedAndAcceptedUnchangedIsNotModified)
{
    const QString stored = file(QStringLiteral("7.tif"));
    imaging::Page page;
    page.image = QImage(1300, 700, QImage::Format_Grayscale8);
    page.image.fill(200);
    page.xResolution = page.yResolution = 300;
    ASSERT_TRUE(imaging::ImageFile::save(page, stored, imaging::Encoding::tiffGrayJpegMedium()));

    TTwainForm twain(dir(), m_ui);
    TFDigFich window(dir(), m_ui, twain);
    window.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    ASSERT_TRUE(window.loadImage(stored, false));
    window.show();
    EXPECT_FALSE(window.isModified());
    EXPECT_FALSE(window.grabarButton()->isEnabled());
    window.grabar();
    EXPECT_FALSE(window.isModified());
    EXPECT_TRUE(ImageChecks::validarHuella(window.resultFile()).passed);
    EXPECT_TRUE(m_ui.shownNothing());
}

TEST_F(CaptureWindowsTest, ThreePageDocumentFromTheTestDeviceAndTheQuestionOnHide)
{
    writeProfile(QStringLiteral("Docu.INI"), 50, 40, 50, ImageType::Gray);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(QStringLiteral("12.tif"));
    window.show();
    EXPECT_FALSE(window.hasDocument());

    QTest::mouseClick(window.rescanButton(), Qt::LeftButton); // creates the one-page document
    EXPECT_EQ(window.pageCount(), 1);
    EXPECT_TRUE(window.windowTitle().endsWith(QStringLiteral("(1 página)")));
    QTest::keyClick(window.zoomBox(), Qt::Key_Space); // Space adds a page on release
    EXPECT_EQ(window.pageCount(), 2);
    EXPECT_EQ(window.currentPage(), 2);
    QTest::mouseClick(window.addButton(), Qt::LeftButton);
    EXPECT_EQ(window.pageCount(), 3);
    EXPECT_TRUE(window.windowTitle().endsWith(QStringLiteral("(3 páginas)")));
    EXPECT_FALSE(window.isUnchanged());
    for (int p = 1; p <= 3; ++p)
        EXPECT_EQ(imaging::Encoding::of(properties(window.viewFile(), p)), imaging::Encoding::tiffGrayJpegMedium());

    // The page edit corrects what is typed.
    window.pageEdit()->setText(QStringLiteral("abc"));
    window.goToPage(window.pageEdit()->text());
    EXPECT_EQ(window.currentPage(), 1);
    EXPECT_EQ(window.pageEdit()->text(), QStringLiteral("1"));
    window.goToPage(QStringLiteral("9"));
    EXPECT_EQ(window.currentPage(), 3);
    EXPECT_EQ(window.pageEdit()->text(), QStringLiteral("3"));

    // Answering No to the question on hide drops the document file, so the caller keeps its old document.
    m_ui.answerNext(Ui::No);
    window.reject();
    EXPECT_TRUE(m_ui.shown({{QStringLiteral("¿Desea guardar la imágen?"), Ui::confirmTitle(), Ui::Buttons::YesNo}}));
    EXPECT_FALSE(QFileInfo::exists(window.documentFile()));
}

TEST_F(CaptureWindowsTest, DocumentGrabarKeepsTheDocumentAndColourProfilesAddBlackAndWhitePages)
{
    writeProfile(QStringLiteral("Docu.INI"), 50, 40, 50, ImageType::Color24);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(QStringLiteral("13.tif"));
    window.show();
    QTest::mouseClick(window.addButton(), Qt::LeftButton);
    QTest::mouseClick(window.addButton(), Qt::LeftButton);
    ASSERT_EQ(window.pageCount(), 2);
    QTest::mouseClick(window.grabarButton(), Qt::LeftButton);
    EXPECT_TRUE(m_ui.shownNothing());
    ASSERT_TRUE(QFileInfo::exists(window.documentFile()));
    EXPECT_EQ(imaging::TiffDocument::pageCount(window.documentFile()), 2);
    EXPECT_EQ(imaging::Encoding::of(properties(window.documentFile(), 2)), imaging::Encoding::tiffGroup4());
}

// Deleting a page keeps every other page exactly as stored (the old way re-encoded them like the first kept page).
TEST_F(CaptureWindowsTest, DeletingKeepsTheOtherPagesAsStoredAndRefusesTheLastPage)
{
    const QString doc = file(QStringLiteral("20.tif"));
    writePage(doc, 300, 400, imaging::Encoding::tiffGrayJpegMedium(), 10);
    writePage(doc, 310, 400, imaging::Encoding::tiffGroup4(), 0);
    writePage(doc, 320, 400, imaging::Encoding::tiffGrayJpegMedium(), 200);
    TTwainForm twain(dir(), m_ui);
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(doc);
    window.show();
    ASSERT_EQ(window.pageCount(), 3);

    m_ui.answerNext(Ui::Yes);
    QTest::mouseClick(window.deleteButton(), Qt::LeftButton);
    ASSERT_EQ(window.pageCount(), 2);
    EXPECT_EQ(properties(window.viewFile(), 1).width, 310);
    EXPECT_EQ(properties(window.viewFile(), 2).width, 320);
    EXPECT_EQ(imaging::Encoding::of(properties(window.viewFile(), 1)), imaging::Encoding::tiffGroup4());
    EXPECT_EQ(imaging::Encoding::of(properties(window.viewFile(), 2)), imaging::Encoding::tiffGrayJpegMedium());

    m_ui.answerNext(Ui::Yes);
    window.deletePage();
    ASSERT_EQ(window.pageCount(), 1);
    window.deletePage();
    EXPECT_EQ(window.pageCount(), 1);
    const QString confirm = QStringLiteral("¿Está seguro que desea borrar esta página?");
    EXPECT_TRUE(
        m_ui.shown({{confirm, QStringLiteral("Atención"), Ui::Buttons::YesNo},
                    {confirm, QStringLiteral("Atención"), Ui::Buttons::YesNo},
                    {QStringLiteral("No se puede borrar esta página porque\run documento no puede quedar vacío"),
                     Ui::warningTitle()}}));

    m_ui.answerNext(Ui::Yes);
    window.reject();
    EXPECT_EQ(imaging::TiffDocument::pageCount(doc), 1);
    EXPECT_EQ(properties(doc).width, 320);
}

TEST_F(CaptureWindowsTest, PrintWindowPrintsEveryPageToPdfAndNothingForAMissingFile)
{
    const QString doc = file(QStringLiteral("answer.tif"));
    for (int i = 0; i < 3; ++i)
        writePage(doc, 200, 300, imaging::Encoding::tiffGroup4());
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file(QStringLiteral("out.pdf")));
    {
        TFImgPrn window;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Impresión de Imagen"));
        EXPECT_EQ(window.printFile(doc, printer), 3);
    }
    QFile pdf(file(QStringLiteral("out.pdf")));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_EQ(pdf.readAll().count("/Type /Page\n") + 0, 3);

    QPrinter other;
    other.setOutputFormat(QPrinter::PdfFormat);
    other.setOutputFileName(file(QStringLiteral("none.pdf")));
    TFImgPrn missing;
    EXPECT_EQ(missing.printFile(file(QStringLiteral("nada.tif")), other), 0);
    EXPECT_FALSE(QFileInfo::exists(file(QStringLiteral("none.pdf"))));
}

TEST_F(CaptureWindowsTest, ViewerCorrectsPagesAndFitsToTheHeight)
{
    const QString doc = file(QStringLiteral("5.tif"));
    for (int i = 0; i < 4; ++i)
        writePage(doc, 200 + i, 300, imaging::Encoding::tiffGrayJpegMedium());
    TFVerImg window(m_ui);
    window.setImageFile(doc);
    window.show();
    window.goToPage(QStringLiteral("0"));
    EXPECT_EQ(window.viewer()->page(), 1);
    EXPECT_EQ(window.pageEdit()->text(), QStringLiteral("1"));
    window.goToPage(QStringLiteral(" 9 "));
    EXPECT_EQ(window.viewer()->page(), 4);
    EXPECT_EQ(window.pageEdit()->text(), QStringLiteral("4"));
    window.setFitMode(TFVerImg::FitMode::Height);
    const int height = window.viewer()->viewport()->height();
    EXPECT_NEAR(window.viewer()->zoom(), height * 100.0 / 300, 0.01);
    EXPECT_EQ(window.zoomBox()->value(), int(std::lround(window.viewer()->zoom())));
}

TEST_F(CaptureWindowsTest, FingerViewerSizesToTheImageAndClosesOnEscape)
{
    const QString bmp = file(QStringLiteral("dedo1.bmp"));
    imaging::Page page;
    page.image = QImage(120, 150, QImage::Format_Grayscale8);
    page.image.fill(90);
    ASSERT_TRUE(imaging::ImageFile::save(page, bmp, imaging::Encoding::bmpGray()));
    TFVerDedo window(bmp, QStringLiteral("Pulgar derecho"));
    window.show();
    EXPECT_TRUE(window.hasImage());
    EXPECT_EQ(window.size(), QSize(130, 160));
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(CaptureWindowsTest, ScannerWindowKeepsProfilesTheChosenDeviceAndListsItsOptions)
{
    {
        TTwainForm twain(dir(), m_ui);
        EXPECT_EQ(twain.windowTitle(), QStringLiteral("Configurar Scanner"));
        EXPECT_EQ(twain.profile(), ScanProfile()); // no ImageLib.INI yet: the defaults
        QStringList devices;
        ASSERT_TRUE(twain.listDevices(devices));
        EXPECT_TRUE(devices.contains(QStringLiteral("test:1")));
        twain.setDeviceName(QStringLiteral("test:1"));
        twain.dpiBox()->setValue(150);
        twain.imageTypeBox()->setCurrentIndex(0);
        ASSERT_TRUE(twain.saveProfile(QStringLiteral("Docu.INI")));
        EXPECT_EQ(ScanProfile::load(file(QStringLiteral("Docu.INI"))).dpi, 150);

        TTwainCaps caps(m_ui);
        caps.setDeviceName(QStringLiteral("test:1"));
        QTest::mouseClick(caps.getCapsButton(), Qt::LeftButton);
        const auto found = caps.capsList()->findItems(QStringLiteral("resolution"), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        caps.capsList()->setCurrentItem(found.first());
        EXPECT_TRUE(caps.details()->toPlainText().contains(QStringLiteral("RANGE")));
        EXPECT_TRUE(caps.details()->toPlainText().contains(QStringLiteral("Actual: 50")));
    }
    EXPECT_EQ(ini::IniFile(file(QStringLiteral("ilTwain.ini")))
                  .readString(QStringLiteral("ImageLib Twain"), QStringLiteral("App Name")),
              QStringLiteral("TAV Regional"));
    // ImageLib.INI is written when the window goes, with the chosen device.
    const ScanProfile kept = ScanProfile::load(file(QStringLiteral("ImageLib.INI")));
    EXPECT_EQ(kept.dpi, 150);
    TTwainForm again(dir(), m_ui);
    EXPECT_EQ(again.deviceName(), QStringLiteral("test:1"));
    EXPECT_EQ(again.profile().imageType, ImageType::BlackWhite);
    EXPECT_TRUE(m_ui.shownNothing());
}

} // namespace

namespace {

// Renders each window with an image loaded into the build folder (capture-screens/), for the user guide.
TEST_F(CaptureWindowsTest, RendersScreenshotsOfEachWindow)
{
    const QDir out(QStringLiteral(TAV_BINARY_DIR "/capture-screens"));
    ASSERT_TRUE(out.mkpath(QStringLiteral(".")));
    writeProfile(QStringLiteral("Huella.INI"), 100, 110, 60, ImageType::Gray);
    writeProfile(QStringLiteral("Docu.INI"), 50, 80, 110, ImageType::Gray);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    twain.loadProfile(QStringLiteral("Huella.INI"));
    twain.show();
    EXPECT_TRUE(twain.grab().save(out.filePath(QStringLiteral("capture-twainform.png"))));
    twain.hide();

    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("A1234"), QStringLiteral("V2X3_"));
    card.resize(900, 500);
    card.show();
    card.scanWith(false);
    EXPECT_TRUE(card.grab().save(out.filePath(QStringLiteral("capture-fdigfich.png"))));

    TFImgDig doc(dir(), m_ui, twain);
    doc.setDocumentFile(QStringLiteral("30.tif"));
    doc.resize(900, 600);
    doc.show();
    doc.scanCommand(TFImgDig::ScanCommand::Rescan);
    doc.scanCommand(TFImgDig::ScanCommand::Add);
    EXPECT_TRUE(doc.grab().save(out.filePath(QStringLiteral("capture-fimgdig.png"))));

    TFVerImg viewer(m_ui);
    viewer.setImageFile(doc.viewFile());
    viewer.resize(700, 500);
    viewer.show();
    EXPECT_TRUE(viewer.grab().save(out.filePath(QStringLiteral("capture-fverimg.png"))));

    TTwainCaps caps(m_ui);
    caps.setDeviceName(QStringLiteral("test:0"));
    caps.show();
    caps.getCaps();
    if (auto found = caps.capsList()->findItems(QStringLiteral("resolution"), Qt::MatchExactly); !found.isEmpty())
        caps.capsList()->setCurrentItem(found.first());
    EXPECT_TRUE(caps.grab().save(out.filePath(QStringLiteral("capture-twaincaps.png"))));
    m_ui.setDefaultAnswer(Ui::Yes);
}

} // namespace
