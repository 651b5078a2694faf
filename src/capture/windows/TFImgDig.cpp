#include "capture/windows/TFImgDig.h"

#include "capture/windows/DialogButtons.h"
#include "capture/windows/ScanStatusBar.h"
#include "capture/windows/TTwainForm.h"
#include "platform/imaging/ImageFile.h"
#include "platform/imaging/TiffDocument.h"
#include "platform/os/FileCopy.h"
#include "port/Ui.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace tav::capture {

namespace {

const QString kCaption = QStringLiteral("Digitalización de la documentación");
const QString kProfile = QStringLiteral("Docu.INI");

} // namespace

TFImgDig::TFImgDig(const QString &programDir, ui::Ui &ui, TTwainForm &twain, QWidget *parent)
    : QDialog(parent), m_dir(programDir), m_scratch(twain.scratchDir()), m_ui(ui), m_twain(twain),
      m_view(new ImageView), m_controls(new PageZoomControls(m_view, ui, this)),
      m_showInterface(new QCheckBox(QStringLiteral("Mostrar interfaz"))),
      m_rescan(new QPushButton(QStringLiteral("Digitalizar"))),
      m_insert(new QPushButton(QStringLiteral("Insertar Página"))),
      m_add(new QPushButton(QStringLiteral("Agregar Página"))),
      m_delete(new QPushButton(QStringLiteral("Borrar Página"))),
      m_fitWidth(new QPushButton(QStringLiteral("Ajustar al Ancho"))),
      m_fitHeight(new QPushButton(QStringLiteral("Ajustar al Alto"))),
      m_config(new QPushButton(QStringLiteral("Configurar scanner"))),
      m_grabar(new QPushButton(QStringLiteral("&Grabar"))), m_cerrar(new QPushButton(QStringLiteral("&Cerrar"))),
      m_status(new ScanStatusBar)
{
    setObjectName(QStringLiteral("FImgDig"));
    setWindowTitle(kCaption);
    setDocumentFile(QStringLiteral("test.tif"));
    m_controls->pageEdit()->setText(QStringLiteral("0"));
    m_controls->pageEdit()->setToolTip(QStringLiteral("Página"));

    m_menus = new QMenuBar(this);
    QMenuBar *menus = m_menus;
    QMenu *archivo = menus->addMenu(QStringLiteral("&Archivo"));
    archivo->addAction(QStringLiteral("&Cargar Imagen..."), this, [this] { loadFromDialog(); });
    archivo->addAction(QStringLiteral("&Imprimir"), this, [this] { printFromDialog(); });
    archivo->addAction(QStringLiteral("Configuración Scanner"), this, [this] { m_twain.configure(kProfile); });
    m_interfaceAction = archivo->addAction(QStringLiteral("Interface del scanner"));
    m_interfaceAction->setCheckable(true);
    archivo->addSeparator();
    archivo->addAction(QStringLiteral("&Salir"), this, &QDialog::reject);
    QMenu *pagina = menus->addMenu(QStringLiteral("&Página"));
    pagina->addAction(QStringLiteral("&Redigitalizar"), this, [this] { scanCommand(ScanCommand::Rescan); });
    pagina->addAction(QStringLiteral("&Insertar"), this, [this] { scanCommand(ScanCommand::Insert); });
    pagina->addAction(QStringLiteral("&Agregar"), this, [this] { scanCommand(ScanCommand::Add); });
    pagina->addAction(QStringLiteral("&Borrar"), this, [this] { deletePage(); });
    QMenu *imagen = menus->addMenu(QStringLiteral("&Imagen"));
    imagen->addAction(QStringLiteral("Rotar a &Izquierda"), this, [this] { rotate(-90); });
    imagen->addAction(QStringLiteral("Rotar a &Derecha"), this, [this] { rotate(90); });
    m_controls->addFitActions(menus->addMenu(QStringLiteral("&Ver")));
    menus->addMenu(QStringLiteral("A&yuda"))->addAction(QStringLiteral("&Contenido"));

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    // Two rows so every caption stays readable at the window's minimum width.
    auto *tools = new QHBoxLayout;
    for (QWidget *w :
         {static_cast<QWidget *>(m_rescan), static_cast<QWidget *>(m_insert), static_cast<QWidget *>(m_add),
          static_cast<QWidget *>(m_delete), static_cast<QWidget *>(m_grabar)})
        tools->addWidget(w);
    tools->addStretch();
    tools->addWidget(m_cerrar);
    layout->addLayout(tools);
    auto *view = new QHBoxLayout;
    for (QWidget *w :
         {static_cast<QWidget *>(new QLabel(QStringLiteral("Página"))), static_cast<QWidget *>(m_controls->pageEdit()),
          static_cast<QWidget *>(m_controls->upDown()), static_cast<QWidget *>(m_controls->zoomBox()),
          static_cast<QWidget *>(m_fitWidth), static_cast<QWidget *>(m_fitHeight), static_cast<QWidget *>(m_config),
          static_cast<QWidget *>(m_showInterface)})
        view->addWidget(w);
    view->addStretch();
    layout->addLayout(view);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);

    connect(m_rescan, &QPushButton::clicked, this, [this] { scanCommand(ScanCommand::Rescan); });
    connect(m_insert, &QPushButton::clicked, this, [this] { scanCommand(ScanCommand::Insert); });
    connect(m_add, &QPushButton::clicked, this, [this] { scanCommand(ScanCommand::Add); });
    connect(m_delete, &QPushButton::clicked, this, [this] { deletePage(); });
    connect(m_config, &QPushButton::clicked, this, [this] { m_twain.configure(kProfile); });
    connect(m_grabar, &QPushButton::clicked, this, [this] { grabar(); });
    connect(m_cerrar, &QPushButton::clicked, this, [this] { cerrar(); });
    connect(m_fitWidth, &QPushButton::clicked, this, [this] { setFitMode(FitMode::Width); });
    connect(m_fitHeight, &QPushButton::clicked, this, [this] { setFitMode(FitMode::Height); });
    connect(m_showInterface, &QCheckBox::toggled, m_interfaceAction, &QAction::setChecked);
    connect(m_interfaceAction, &QAction::toggled, m_showInterface, &QCheckBox::setChecked);
    setMinimumSize(638, 245);
    resize(860, 620);
    dropDefaultButtons(*this);
    // Space adds a page wherever the focus is, a button included.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
}

TFImgDig::~TFImgDig()
{
    if (!m_viewFile.isEmpty())
        QFile::remove(m_viewFile);
}

QString TFImgDig::file(const QString &name) const
{
    return QDir(m_scratch).filePath(name);
}

void TFImgDig::setDocumentFile(const QString &name)
{
    m_documentFile = QDir::isAbsolutePath(name) ? name : QDir(m_dir).filePath(name);
}

int TFImgDig::pageCount() const
{
    return m_view->hasImage() ? m_view->pageCount() : 0;
}

int TFImgDig::currentPage() const
{
    return m_view->hasImage() ? m_view->page() : 0;
}

void TFImgDig::updateCaption()
{
    const int count = pageCount();
    setWindowTitle(kCaption + QStringLiteral(" (%1 página").arg(count) +
                   (count < 2 ? QStringLiteral(")") : QStringLiteral("s)")));
}

void TFImgDig::showDocument(const QString &source)
{
    if (!QFileInfo::exists(source))
        return;
    if (!m_viewFile.isEmpty() && m_viewFile != source)
        QFile::remove(m_viewFile);
    ++m_viewCounter;
    const QString view = file(QStringLiteral("scan%1.tif").arg(m_viewCounter));
    QFile::remove(view);
    if (!QFile::copy(source, view)) {
        m_ui.error(QStringLiteral("No se pudo copiar el documento a ") + view);
        return;
    }
    m_viewFile = view;
    QString error;
    if (!m_view->setImage(m_viewFile, 1, &error)) {
        m_ui.error(error);
        return;
    }
    m_controls->imageLoaded();
    updateCaption();
}

void TFImgDig::scanCommand(ScanCommand command)
{
    if (!m_scanMode.isEmpty())
        return;
    QFile::remove(file(QStringLiteral("out.bmp")));
    QFile::remove(file(QStringLiteral("OUT.BMP")));
    m_scanMode = command == ScanCommand::Rescan   ? QStringLiteral("REDIGITALIZAR")
                 : command == ScanCommand::Insert ? QStringLiteral("INSERTAR")
                                                  : QStringLiteral("AGREGAR");
    ScanResult result;
    {
        auto busy = m_ui.busyCursor();
        setScanning(true);
        m_twain.loadProfile(kProfile);
        result = m_twain.acquire(m_showInterface->isChecked());
        m_twain.close();
        setScanning(false);
        activateWindow();
        QString error;
        if (!pageOperation(command, &error) && result.ok)
            m_ui.error(error);
        // The scanned page is in the document now (or was not wanted): its scratch copies go.
        for (const char *name : {"OUT.BMP", "OUT.TIF", "out.bmp", "out.tif"})
            QFile::remove(file(QString::fromLatin1(name)));
        activateWindow();
    }
    m_scanMode.clear();
    showNotes(result.notes);
}

void TFImgDig::setScanning(bool scanning)
{
    // While the scanner works nothing but "Cancelar" (and Escape) takes input.
    m_menus->setEnabled(!scanning);
    for (QWidget *w : findChildren<QWidget *>()) {
        if (w->parentWidget() == this && w != m_status && w != m_menus)
            w->setEnabled(!scanning);
    }
    if (scanning)
        m_status->scanStarted(m_twain);
    else {
        m_status->scanEnded();
        m_status->showMessage(QStringLiteral("Listo"));
    }
}

void TFImgDig::showNotes(const QStringList &notes)
{
    const QString message = m_notes.take(notes);
    if (!message.isEmpty())
        m_ui.message(message, ui::Ui::warningTitle());
}

bool TFImgDig::pageOperation(ScanCommand command, QString *error)
{
    QString outBmp = file(QStringLiteral("OUT.BMP"));
    if (!QFileInfo::exists(outBmp))
        outBmp = file(QStringLiteral("out.bmp"));
    if (!QFileInfo::exists(outBmp)) {
        *error = QStringLiteral("No se encontró la página digitalizada");
        return false;
    }
    if (m_view->hasImage())
        os::replaceWithCopy(m_viewFile, m_documentFile);
    ++m_tempCounter;
    const QString tempBmp = file(QStringLiteral("temp%1.bmp").arg(m_tempCounter));
    QFile::remove(tempBmp);
    if (!QFile::copy(outBmp, tempBmp)) {
        *error = QStringLiteral("No se pudo copiar la página digitalizada");
        return false;
    }
    imaging::Page page;
    const bool loaded = imaging::ImageFile::loadPage(tempBmp, page, error);
    QFile::remove(tempBmp);
    if (!loaded)
        return false;
    const imaging::Encoding encoding = m_twain.profile().documentPageEncoding();
    const bool exists = QFileInfo::exists(m_documentFile);
    bool ok = false;
    switch (command) {
    case ScanCommand::Rescan:
        ok = imaging::TiffDocument::replacePage(m_documentFile, 1, page, encoding, error);
        break;
    case ScanCommand::Insert:
        ok = imaging::TiffDocument::insertPage(m_documentFile, exists ? std::max(1, m_controls->upDown()->value()) : 1,
                                               page, encoding, error);
        break;
    case ScanCommand::Add:
        ok = exists ? imaging::TiffDocument::appendPage(m_documentFile, page, encoding, error)
                    : imaging::TiffDocument::replacePage(m_documentFile, 1, page, encoding, error);
        break;
    }
    if (command != ScanCommand::Rescan && ok)
        m_unchanged = false;
    showDocument(m_documentFile);
    if (command == ScanCommand::Add)
        m_controls->showPage(pageCount());
    return ok;
}

void TFImgDig::deletePage()
{
    if (!m_view->hasImage())
        return;
    const int count = pageCount();
    const int shown = currentPage();
    if (count == 1) {
        m_ui.message(QStringLiteral("No se puede borrar esta página porque\run documento no puede quedar vacío"),
                     ui::Ui::warningTitle(), ui::Ui::Buttons::Ok);
        return;
    }
    if (m_ui.message(QStringLiteral("¿Está seguro que desea borrar esta página?"), QStringLiteral("Atención"),
                     ui::Ui::Buttons::YesNo, ui::Ui::Icon::Question) != ui::Ui::Yes)
        return;
    // The other pages stay exactly as stored (each with its own encoding); only the view copy changes.
    QString error;
    if (!imaging::TiffDocument::deletePage(m_viewFile, shown, &error)) {
        m_ui.error(error);
        return;
    }
    m_unchanged = false;
    if (!m_view->setImage(m_viewFile, 1, &error)) {
        m_ui.error(error);
        return;
    }
    m_controls->imageLoaded();
    updateCaption();
}

void TFImgDig::rotate(int degrees)
{
    if (!m_view->hasImage())
        return;
    const int page = currentPage();
    QString error;
    if (!imaging::TiffDocument::rotatePage(m_viewFile, page, degrees, &error)) {
        m_ui.error(error);
        return;
    }
    m_controls->showPage(page);
}

bool TFImgDig::loadFile(const QString &source)
{
    if (source.isEmpty() || !QFileInfo::exists(source))
        return false;
    // Only a TIFF whose every page reads replaces the document; the message names the file the person chose.
    QString why;
    int pages = imaging::TiffDocument::pageCount(source, &why);
    imaging::ImageProperties props;
    for (int p = 1; p <= pages; ++p) {
        if (!imaging::ImageFile::readProperties(source, props, &why, p) || props.fileType != imaging::FileType::Tiff) {
            pages = -1;
            break;
        }
    }
    if (pages < 1) {
        m_ui.error(QStringLiteral("No se puede cargar «%1»: no es un documento TIF que se pueda leer.\r%2")
                       .arg(QDir::toNativeSeparators(source), why));
        return false;
    }
    if (!os::replaceWithCopy(source, m_documentFile)) {
        m_ui.error(QStringLiteral("No se pudo copiar ") + source);
        return false;
    }
    m_unchanged = false;
    showDocument(m_documentFile);
    return true;
}

void TFImgDig::loadFromDialog()
{
    const QString chosen = m_chooser
                               ? m_chooser()
                               : QFileDialog::getOpenFileName(this, QStringLiteral("Cargar TIF"), m_dir,
                                                              QStringLiteral("Tagged Image File Format (*.TIF *.tif)"));
    loadFile(chosen);
}

int TFImgDig::print(QPrinter &printer)
{
    if (!m_view->hasImage())
        return 0;
    auto busy = m_ui.busyCursor();
    return ImagePrinting::printAllFitted(m_viewFile, printer);
}

void TFImgDig::printFromDialog()
{
    if (!m_view->hasImage())
        return;
    QPrinter printer;
    if (ImagePrinting::choosePrinter(printer, this))
        print(printer);
}

void TFImgDig::grabar()
{
    m_unchanged = true;
    accept();
}

void TFImgDig::cerrar()
{
    // Without a change the close step would put back the very same document: it is left in place, so it keeps
    // its modification time and the caller sees no change.
    if (!m_unchanged)
        QFile::remove(m_documentFile);
    accept();
}

void TFImgDig::done(int result)
{
    if (m_twain.isScanning()) {
        // Closing while the scanner works stops the scan; the window stays until the scan has ended.
        m_twain.cancelScan();
        return;
    }
    // Close step: the view goes back into the document file; then the question on hide. A view that holds
    // the same bytes is not copied, so the document keeps its modification time and the caller sees no change.
    const QString remembered = m_view->hasImage() ? m_viewFile : file(QStringLiteral("DocVacio.tif"));
    m_view->clear();
    if (!os::sameContents(remembered, m_documentFile))
        os::replaceWithCopy(remembered, m_documentFile);
    if (!m_viewFile.isEmpty())
        QFile::remove(m_viewFile);
    m_viewFile.clear();
    m_scanMode.clear();
    if (!m_unchanged && !m_ui.confirm(QStringLiteral("¿Desea guardar la imágen?")))
        QFile::remove(m_documentFile);
    QDialog::done(result);
}

void TFImgDig::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_unchanged = true;
    m_notes.clear();
    m_status->showMessage(QStringLiteral("Listo"));
    setWindowTitle(kCaption);
    m_controls->pageEdit()->setText(QStringLiteral("0"));
    m_twain.loadProfile(kProfile);
    if (!m_view->hasImage() && QFileInfo::exists(m_documentFile))
        showDocument(m_documentFile);
    m_controls->applyFit();
}

void TFImgDig::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    m_controls->applyFit();
}

void TFImgDig::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFImgDig::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        scanCommand(ScanCommand::Add); // ignored while a scan runs
    event->accept();
}

bool TFImgDig::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Space) {
        // Space never presses the focused button or types into an edit: releasing it adds a page.
        if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat())
            scanCommand(ScanCommand::Add);
        return true;
    }
    // The key releases of the zoom box, the page edit and the viewer are consumed there.
    if (event->type() == QEvent::KeyRelease &&
        (watched == m_controls->zoomBox() || watched == m_controls->pageEdit() || watched == m_view))
        return true;
    return QDialog::eventFilter(watched, event);
}

} // namespace tav::capture
