// What a clerk types, clicks or chooses in the capture windows never destroys an image: no default buttons, files
// checked before they replace anything, scans that keep the window alive and ignore Space, scratch files removed.

#include "capture/ScanProfile.h"
#include "capture/windows/ScanStatusBar.h"
#include "capture/windows/TFDigFich.h"
#include "capture/windows/TFImgDig.h"
#include "capture/windows/TFVerImg.h"
#include "capture/windows/TScanOptions.h"
#include "capture/windows/TTwainCaps.h"
#include "capture/windows/TTwainForm.h"

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/TiffDocument.h"
#include "platform/os/StationScratch.h"
#include "platform/scanner/SaneScanner.h"
#include "support/TestDir.h"
#include "support/TestUi.h"
#include "unit/scanner/SaneEnvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cstdlib>

using namespace tav;
using namespace tav::capture;
using tav::test::TestUi;
using ui::Ui;

namespace {

class CaptureInputTest : public ::testing::Test
{
protected:
    void SetUp() override { tav::test::useTestScanners(); }
    void TearDown() override
    {
        if (!m_saneConfig.isEmpty())
            ::setenv("SANE_CONFIG_DIR", TAV_SOURCE_DIR "/tests/fixtures/sane", 1);
    }

    QString dir() const { return QString::fromStdString(m_dir.path().string()); }
    QString file(const QString &name) const { return QDir(dir()).filePath(name); }

    // The test device waiting 0.2 s after each block it hands over, so a scan lasts long enough to be cancelled.
    // Must be called before the first scanner of the test is opened.
    void useSlowScanner()
    {
        m_saneConfig = file(QStringLiteral("sane"));
        QDir().mkpath(m_saneConfig);
        QFile::copy(QStringLiteral(TAV_SOURCE_DIR "/tests/fixtures/sane/dll.conf"), m_saneConfig + "/dll.conf");
        QFile in(QStringLiteral(TAV_SOURCE_DIR "/tests/fixtures/sane/test.conf"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray conf = in.readAll();
        conf.replace("read-delay false", "read-delay true");
        conf.replace("read-delay-duration 1000", "read-delay-duration 200000");
        QFile out(m_saneConfig + "/test.conf");
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(conf);
        out.close();
        ::setenv("SANE_CONFIG_DIR", m_saneConfig.toLocal8Bit().constData(), 1);
    }

    void writeProfile(const QString &name, int dpi, int right, int bottom, ImageType type = ImageType::Gray)
    {
        ScanProfile p;
        p.dpi = dpi;
        p.right = right;
        p.bottom = bottom;
        p.imageType = type;
        p.interfaceMode = InterfaceMode::HideInterface;
        ASSERT_TRUE(p.save(file(name)));
    }

    void writeDocument(const QString &path, int pages)
    {
        for (int i = 0; i < pages; ++i) {
            imaging::Page page;
            page.image = QImage(200 + 10 * i, 300, QImage::Format_Grayscale8);
            page.image.fill(40 * i);
            page.xResolution = page.yResolution = 100;
            QString error;
            ASSERT_TRUE(imaging::TiffDocument::appendPage(path, page, imaging::Encoding::tiffGrayJpegMedium(), &error))
                << error.toStdString();
        }
    }

    void writeCard(const QString &path)
    {
        imaging::Page page;
        page.image = QImage(1300, 700, QImage::Format_Grayscale8);
        page.image.fill(180);
        page.xResolution = page.yResolution = 300;
        ASSERT_TRUE(imaging::ImageFile::save(page, path, imaging::Encoding::tiffGrayJpegMedium()));
    }

    static QByteArray bytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    tav::test::TestDir m_dir;
    TestUi m_ui;
    QString m_saneConfig;
};

TEST_F(CaptureInputTest, NoButtonIsADefaultAndEnterInThePageEditGoesToThatPage)
{
    const QString doc = file(QStringLiteral("4.tif"));
    writeDocument(doc, 3);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig documents(dir(), m_ui, twain);
    documents.setDocumentFile(doc);
    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    TFVerImg viewer(m_ui);
    viewer.setImageFile(doc);
    TTwainCaps caps(m_ui);
    TScanOptions options(m_ui);
    for (QDialog *w : std::initializer_list<QDialog *>{&documents, &card, &viewer, &twain, &caps, &options}) {
        w->show();
        for (QPushButton *b : w->findChildren<QPushButton *>())
            EXPECT_FALSE(b->isDefault() || b->autoDefault())
                << w->objectName().toStdString() << " " << b->text().toStdString();
        if (w != &documents && w != &viewer)
            w->hide();
    }

    // "2" and Enter in the document's page edit: page 2 is shown, nothing is scanned, the window stays.
    documents.pageEdit()->setFocus();
    documents.pageEdit()->selectAll();
    QTest::keyClicks(documents.pageEdit(), QStringLiteral("2"));
    QTest::keyClick(documents.pageEdit(), Qt::Key_Return);
    EXPECT_EQ(documents.currentPage(), 2);
    EXPECT_EQ(documents.pageCount(), 3);
    EXPECT_TRUE(documents.isVisible());
    // The same in the answer viewer, which Enter used to close.
    viewer.pageEdit()->selectAll();
    QTest::keyClicks(viewer.pageEdit(), QStringLiteral("3"));
    QTest::keyClick(viewer.pageEdit(), Qt::Key_Enter);
    EXPECT_EQ(viewer.viewer()->page(), 3);
    EXPECT_TRUE(viewer.isVisible());

    // Enter in a classification edit of the card window starts no scan.
    card.show();
    QTest::keyClick(card.clasDerEdit(), Qt::Key_Return);
    EXPECT_FALSE(card.viewer()->hasImage());
    EXPECT_TRUE(card.isVisible());
    EXPECT_TRUE(m_ui.shownNothing());
    documents.reject();
}

TEST_F(CaptureInputTest, AFileThatIsNotAnImageReplacesNothingAndIsNamedInTheMessage)
{
    const QString text = file(QStringLiteral("nota.txt"));
    {
        QFile f(text);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("no es imagen\n");
    }
    const QString doc = file(QStringLiteral("5.tif"));
    writeDocument(doc, 2);
    const QByteArray before = bytes(doc);

    TTwainForm twain(dir(), m_ui);
    TFImgDig documents(dir(), m_ui, twain);
    documents.setDocumentFile(doc);
    documents.setFileChooser([&] { return text; });
    documents.show();
    documents.loadFromDialog();
    EXPECT_EQ(documents.pageCount(), 2);
    EXPECT_TRUE(documents.isUnchanged());
    documents.grabar();
    EXPECT_EQ(bytes(doc), before);

    // The card window keeps the card it shows.
    const QString stored = file(QStringLiteral("6.tif"));
    writeCard(stored);
    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    ASSERT_TRUE(card.loadImage(stored, false));
    card.setFileChooser([&] { return text; });
    card.show();
    card.loadFromDialog(false);
    EXPECT_FALSE(card.isModified());
    EXPECT_TRUE(card.viewer()->hasImage());
    EXPECT_EQ(card.viewer()->image().width(), 1300);

    ASSERT_EQ(m_ui.messages().size(), 2);
    for (const auto &m : m_ui.messages()) {
        EXPECT_EQ(m.title, Ui::errorTitle());
        EXPECT_TRUE(m.text.contains(QStringLiteral("«") + text + QStringLiteral("»"))) << m.text.toStdString();
        EXPECT_FALSE(m.text.contains(QStringLiteral("huella"), Qt::CaseInsensitive)) << m.text.toStdString();
    }
    card.reject();
}

TEST_F(CaptureInputTest, TheWindowStaysAliveDuringAScanAndSpaceThenAddsNoSecondPage)
{
    useSlowScanner();
    writeProfile(QStringLiteral("Docu.INI"), 50, 40, 50);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(QStringLiteral("7.tif"));
    window.show();

    int progressCalls = 0;
    QString statusDuringScan;
    bool progressShown = false, addEnabled = true, scanning = false;
    auto connection = QObject::connect(&twain, &TTwainForm::scanProgress, &window, [&](int page, int) {
        if (progressCalls++ > 0)
            return;
        EXPECT_EQ(page, 1);
        statusDuringScan = window.statusBar()->currentMessage();
        progressShown =
            window.statusBar()->progressBar()->isVisible() && window.statusBar()->cancelButton()->isVisible();
        addEnabled = window.addButton()->isEnabled();
        scanning = twain.isScanning();
        // Space pressed (and released) while the scanner works, twice, even on a focused button.
        QTest::keyClick(window.zoomBox(), Qt::Key_Space);
        QTest::keyClick(window.deleteButton(), Qt::Key_Space);
    });
    QTest::mouseClick(window.addButton(), Qt::LeftButton);
    QObject::disconnect(connection);

    EXPECT_GT(progressCalls, 1);
    EXPECT_TRUE(scanning);
    EXPECT_EQ(statusDuringScan, QStringLiteral("Digitalizando, por favor espere..."));
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(addEnabled);
    EXPECT_EQ(window.pageCount(), 1); // one scan, one page
    EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Listo"));
    EXPECT_FALSE(window.statusBar()->progressBar()->isVisible());
    EXPECT_TRUE(window.addButton()->isEnabled());

    // After the scan, Space on a focused button adds a page instead of pressing the button.
    window.deleteButton()->setFocus();
    QTest::keyClick(window.deleteButton(), Qt::Key_Space);
    EXPECT_EQ(window.pageCount(), 2);
    EXPECT_TRUE(m_ui.shownNothing()); // "Borrar Página" would have asked first
    m_ui.answerNext(Ui::No);
    window.reject();
}

TEST_F(CaptureInputTest, CancellingAScanKeepsTheDocumentAndTheCardAlreadyScanned)
{
    useSlowScanner();
    writeProfile(QStringLiteral("Docu.INI"), 50, 40, 50);
    writeProfile(QStringLiteral("Huella.INI"), 50, 40, 50);
    const QString doc = file(QStringLiteral("8.tif"));
    writeDocument(doc, 2);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(doc);
    window.show();
    auto cancelAtOnce = QObject::connect(&twain, &TTwainForm::scanProgress, &window, [&] {
        QTest::mouseClick(window.statusBar()->cancelButton(), Qt::LeftButton);
    });
    QTest::mouseClick(window.insertButton(), Qt::LeftButton);
    EXPECT_EQ(window.pageCount(), 2);
    EXPECT_TRUE(window.isUnchanged());
    // Escape (closing the window) during a scan cancels the scan and keeps the window.
    QObject::disconnect(cancelAtOnce);
    bool visibleAfterEscape = false;
    auto escape = QObject::connect(&twain, &TTwainForm::scanProgress, &window, [&] {
        QTest::keyClick(&window, Qt::Key_Escape);
        visibleAfterEscape = window.isVisible();
    });
    window.scanCommand(TFImgDig::ScanCommand::Add);
    QObject::disconnect(escape);
    EXPECT_TRUE(visibleAfterEscape);
    EXPECT_EQ(window.pageCount(), 2);
    window.grabar();
    EXPECT_EQ(imaging::TiffDocument::pageCount(doc), 2);

    // The card window: a scanned card stays when the next scan is cancelled.
    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    card.show();
    card.scanWith(false);
    ASSERT_TRUE(card.viewer()->hasImage());
    const QSize scanned = card.viewer()->image().size();
    auto cancelCard = QObject::connect(&twain, &TTwainForm::scanProgress, &card, [&] {
        EXPECT_EQ(card.statusBar()->currentMessage(), QStringLiteral("Digitalizando, por favor espere..."));
        EXPECT_FALSE(card.viewer()->isVisible());
        QTest::keyClick(card.zoomBox(), Qt::Key_Space); // ignored while the scanner works
        QTest::mouseClick(card.statusBar()->cancelButton(), Qt::LeftButton);
    });
    card.scanWith(false);
    QObject::disconnect(cancelCard);
    EXPECT_TRUE(card.isImageEnabled());
    EXPECT_EQ(card.viewer()->image().size(), scanned);
    EXPECT_TRUE(card.isModified());
    EXPECT_TRUE(m_ui.shownNothing());
    card.reject();
}

TEST_F(CaptureInputTest, TheZoomBoxAppliesInTheDefaultFitModeAndStays)
{
    const QString doc = file(QStringLiteral("9.tif"));
    writeDocument(doc, 2);
    const QString stored = file(QStringLiteral("10.tif"));
    writeCard(stored);
    TTwainForm twain(dir(), m_ui);
    TFImgDig documents(dir(), m_ui, twain);
    documents.setDocumentFile(doc);
    documents.resize(700, 500);
    documents.show();
    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    ASSERT_TRUE(card.loadImage(stored, false));
    card.resize(800, 400);
    card.show();
    TFVerImg viewer(m_ui);
    viewer.setImageFile(doc);
    viewer.show();

    struct Window
    {
        const char *name;
        QSpinBox *zoom;
        ImageView *view;
        QWidget *window;
    };
    for (const Window &w : {Window{"documentos", documents.zoomBox(), documents.viewer(), &documents},
                            Window{"ficha", card.zoomBox(), card.viewer(), &card},
                            Window{"visor", viewer.zoomBox(), viewer.viewer(), &viewer}}) {
        ASSERT_TRUE(w.view->hasImage()) << w.name;
        w.zoom->setValue(137);
        EXPECT_DOUBLE_EQ(w.view->zoom(), 137) << w.name;
        w.window->resize(w.window->width() + 40, w.window->height() + 30); // a resize keeps the chosen zoom
        QApplication::processEvents();
        EXPECT_DOUBLE_EQ(w.view->zoom(), 137) << w.name;
        EXPECT_EQ(w.zoom->value(), 137) << w.name;
    }
    documents.goToPage(QStringLiteral("2"));
    EXPECT_DOUBLE_EQ(documents.viewer()->zoom(), 137);
    documents.reject();
    card.reject();
}

TEST_F(CaptureInputTest, ADocumentClosedUnchangedKeepsItsBytesAndItsTime)
{
    const QString doc = file(QStringLiteral("11.tif"));
    writeDocument(doc, 2);
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    TTwainForm twain(dir(), m_ui);
    TFImgDig window(dir(), m_ui, twain);
    for (int way = 0; way < 3; ++way) {
        {
            QFile f(doc);
            ASSERT_TRUE(f.open(QIODevice::ReadWrite));
            ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
        }
        const QByteArray before = bytes(doc);
        window.setDocumentFile(doc);
        window.show();
        window.goToPage(QStringLiteral("2"));
        if (way == 0)
            window.grabar();
        else if (way == 1)
            window.reject();
        else
            QTest::mouseClick(window.cerrarButton(),
                              Qt::LeftButton); // "Cerrar" drops the file, the close step puts it back
        ASSERT_TRUE(QFileInfo::exists(doc)) << way;
        EXPECT_EQ(bytes(doc), before) << way;
        EXPECT_EQ(QFileInfo(doc).lastModified(), old) << way;
    }
    EXPECT_TRUE(m_ui.shownNothing());
}

TEST_F(CaptureInputTest, ScratchFilesAreGoneOnceTheWindowsClose)
{
    writeProfile(QStringLiteral("Docu.INI"), 50, 40, 50);
    writeProfile(QStringLiteral("Huella.INI"), 50, 40, 50);
    const QString stored = file(QStringLiteral("12.tif"));
    writeCard(stored);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    const QDir scratch(twain.scratchDir());
    EXPECT_EQ(scratch.absolutePath(),
              QDir(dir()).absoluteFilePath(QStringLiteral("tmp/") + os::StationScratch::stationName()));

    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    ASSERT_TRUE(card.loadImage(stored, false));
    card.setFileChooser([&] { return stored; });
    card.show();
    card.loadFromDialog(false);
    card.scanWith(false);
    card.reject();
    EXPECT_EQ(scratch.entryList(QDir::Files), QStringList());

    TFImgDig documents(dir(), m_ui, twain);
    documents.setDocumentFile(QStringLiteral("13.tif"));
    documents.show();
    documents.scanCommand(TFImgDig::ScanCommand::Rescan);
    documents.scanCommand(TFImgDig::ScanCommand::Add);
    documents.scanCommand(TFImgDig::ScanCommand::Insert);
    m_ui.answerNext(Ui::Yes);
    documents.deletePage();
    ASSERT_EQ(documents.pageCount(), 2);
    documents.grabar();
    EXPECT_EQ(scratch.entryList(QDir::Files), QStringList());
    EXPECT_EQ(imaging::TiffDocument::pageCount(file(QStringLiteral("13.tif"))), 2);

    // At the program's end the station's folder goes; another station's stays.
    QDir(dir()).mkpath(QStringLiteral("tmp/otra-estacion"));
    EXPECT_TRUE(os::StationScratch::remove(dir()));
    EXPECT_FALSE(scratch.exists());
    EXPECT_TRUE(QDir(dir()).exists(QStringLiteral("tmp/otra-estacion")));
    EXPECT_TRUE(
        m_ui.shown({{QStringLiteral("¿Está seguro que desea borrar esta página?"), QStringLiteral("Atención")}}));
}

TEST_F(CaptureInputTest, PasteGoesThroughTheCharacterRuleAndCutNeverShortens)
{
    struct Case
    {
        const char *start;
        int caret; // -1: everything selected
        const char *clipboard;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char *expected;
    };
    const QList<Case> cases = {
        {"_____", 0, "32", Qt::Key_V, Qt::ControlModifier, "_____"},       // neither is valid at position 1
        {"_____", 0, "a1234", Qt::Key_V, Qt::ControlModifier, "A1234"},    // each character for its position
        {"_____", 1, "9x-3zz44", Qt::Key_V, Qt::ControlModifier, "_X_34"}, // rejected ones dropped; five at most
        {"_____", 0, "e", Qt::Key_Insert, Qt::ShiftModifier, "E____"},     // the other paste key
        {"A1234", -1, "", Qt::Key_X, Qt::ControlModifier, "A1234"},        // cut only copies
        {"A1234", -1, "", Qt::Key_Delete, Qt::ShiftModifier, "A1234"},     // nor does the other cut key cut
        {"A1234", 5, "", Qt::Key_Backspace, Qt::ControlModifier, "A1234"}, // no word deletion
        {"A1234", 0, "", Qt::Key_K, Qt::ControlModifier, "A1234"},         // no deletion to the end
        {"A1234", 0, "", Qt::Key_Z, Qt::ControlModifier, "A1234"},
    };
    for (const Case &c : cases) {
        TClasFundEdit edit;
        edit.setText(QString::fromLatin1(c.start));
        QApplication::clipboard()->setText(QString::fromLatin1(c.clipboard));
        if (c.caret < 0)
            edit.selectAll();
        else
            edit.setCursorPosition(c.caret);
        QTest::keyClick(&edit, c.key, c.modifiers);
        EXPECT_EQ(edit.text(), QString::fromLatin1(c.expected)) << c.start << " + " << c.clipboard << " key " << c.key;
        if (c.key == Qt::Key_X) {
            EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("A1234"));
        }
    }
}

TEST_F(CaptureInputTest, NotesOfTheScannerAreShownOnceAfterTheScan)
{
    // The test device's glass is 200 mm wide: the profile's 210 mm cannot be honoured.
    writeProfile(QStringLiteral("Huella.INI"), 50, 210, 40);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFDigFich card(dir(), m_ui, twain);
    card.prepare(false, QStringLiteral("_____"), QStringLiteral("_____"));
    card.show();
    card.scanWith(false);
    card.scanWith(false);
    ASSERT_EQ(m_ui.messages().size(), 1);
    EXPECT_EQ(m_ui.messages().front().title, Ui::warningTitle());
    EXPECT_TRUE(m_ui.messages().front().text.startsWith(QStringLiteral("El scanner no pudo hacer todo lo pedido:\r")));
    EXPECT_TRUE(m_ui.messages().front().text.contains(
        QStringLiteral("El área pedida excede la del escáner: Derecha 210 mm, se digitaliza con 200 mm")))
        << m_ui.messages().front().text.toStdString();
    card.reject();
}

TEST_F(CaptureInputTest, TheScannerOptionsChosenBeforeAScanAreUsedAndKeptInTheProfile)
{
    writeProfile(QStringLiteral("Docu.INI"), 300, 40, 50);
    TTwainForm twain(dir(), m_ui);
    twain.setDeviceName(QStringLiteral("test:0"));
    TFImgDig window(dir(), m_ui, twain);
    window.setDocumentFile(QStringLiteral("14.tif"));
    window.show();
    bool seen = false;
    // The options dialog opens on this thread while the scanner waits; the person picks 100 DPI and line art.
    QTimer poll;
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto *dialog = qobject_cast<TScanOptions *>(QApplication::activeModalWidget());
        if (!dialog || seen)
            return;
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Opciones del scanner"));
        auto *dpi = qobject_cast<QDoubleSpinBox *>(dialog->editor(QStringLiteral("resolution")));
        auto *mode = qobject_cast<QComboBox *>(dialog->editor(QStringLiteral("mode")));
        ASSERT_TRUE(dpi && mode);
        EXPECT_EQ(dpi->value(), 300);
        dpi->setValue(100);
        mode->setCurrentText(QStringLiteral("Gray"));
        ASSERT_NE(dialog->editor(QStringLiteral("br-x")), nullptr);
        qobject_cast<QDoubleSpinBox *>(dialog->editor(QStringLiteral("br-x")))->setValue(60);
        dialog->accept();
    });
    poll.start();
    QTest::mouseClick(window.findChildren<QCheckBox *>().front(), Qt::LeftButton); // "Mostrar interfaz"
    window.scanCommand(TFImgDig::ScanCommand::Rescan);
    poll.stop();
    ASSERT_TRUE(seen);
    ASSERT_EQ(window.pageCount(), 1);
    // 60 x 50 mm at 100 dpi.
    EXPECT_EQ(window.viewer()->image().width(), 236);
    const ScanProfile kept = ScanProfile::load(file(QStringLiteral("Docu.INI")));
    EXPECT_EQ(kept.dpi, 100);
    EXPECT_EQ(kept.right, 60);
    EXPECT_EQ(kept.imageType, ImageType::Gray);
    window.reject();
}

} // namespace
