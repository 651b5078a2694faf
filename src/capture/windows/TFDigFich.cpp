#include "capture/windows/TFDigFich.h"

#include "capture/ClasFund.h"
#include "capture/windows/DialogButtons.h"
#include "capture/windows/ScanStatusBar.h"
#include "capture/windows/TTwainForm.h"
#include "platform/imaging/ImageFile.h"
#include "platform/ini/IniFile.h"
#include "port/Ui.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

namespace tav::capture {

namespace {

const QString kCaption = QStringLiteral("Digitalización de la ficha dactiloscópica");
const QString kReady = QStringLiteral("Listo");
const QString kProfile = QStringLiteral("Huella.INI");

// Removes a file whatever the case of its name in its folder.
void removeAnyCase(const QString &path)
{
    const QFileInfo info(path);
    const QDir dir = info.dir();
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            QFile::remove(dir.filePath(entry));
}

bool copyOver(const QString &from, const QString &to)
{
    removeAnyCase(to);
    return QFile::copy(from, to);
}

// The file of that name in its folder whatever the case of the name, or empty.
QString existingAnyCase(const QString &path)
{
    const QFileInfo info(path);
    const QDir dir = info.dir();
    for (const QString &entry : dir.entryList(QDir::Files))
        if (entry.compare(info.fileName(), Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    return {};
}

} // namespace

TClasFundEdit::TClasFundEdit(QWidget *parent) : QLineEdit(ClasFund::erased(), parent)
{
    setMaxLength(ClasFund::kLength);
    setAcceptDrops(false);
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setBold(true);
    setFont(font);
}

void TClasFundEdit::typeText(const QString &typed)
{
    if (isReadOnly() || typed.isEmpty())
        return;
    const int caret = hasSelectedText() ? selectionStart() : cursorPosition();
    const auto result = ClasFund::paste(text(), caret, typed);
    if (!result.accepted)
        return;
    setText(result.text);
    setCursorPosition(result.caret);
}

void TClasFundEdit::pasteByRule()
{
    typeText(QGuiApplication::clipboard()->text());
}

void TClasFundEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Backspace || event->key() == Qt::Key_Delete) {
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        event->accept();
        pasteByRule();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        event->accept();
        copy();
        return;
    }
    const QString typed = event->text();
    if (typed.size() != 1 || !typed[0].isPrint() || (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        // Moving the caret, selecting, copying: the line edit's own. Whatever else it would do to the text
        // (deleting a word, undo) is taken back.
        const QString before = text();
        const int caret = cursorPosition();
        QLineEdit::keyPressEvent(event);
        if (text() != before) {
            setText(before);
            setCursorPosition(caret);
        }
        return;
    }
    event->accept();
    typeText(typed);
}

void TClasFundEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Composed characters are typed like keys; the preedit text is never put into the edit.
    const QString committed = event->commitString();
    event->accept();
    typeText(committed);
}

void TClasFundEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("&Copiar"), this, &QLineEdit::copy);
    copyAction->setEnabled(hasSelectedText());
    QAction *pasteAction = menu.addAction(QStringLiteral("&Pegar"), this, &TClasFundEdit::pasteByRule);
    pasteAction->setEnabled(!isReadOnly() && !QGuiApplication::clipboard()->text().isEmpty());
    menu.addSeparator();
    menu.addAction(QStringLiteral("Seleccionar &todo"), this, &QLineEdit::selectAll);
    menu.exec(event->globalPos());
}

TFDigFich::TFDigFich(const QString &programDir, ui::Ui &ui, TTwainForm &twain, QWidget *parent)
    : QDialog(parent), m_dir(programDir), m_scratch(twain.scratchDir()), m_ui(ui), m_twain(twain),
      m_view(new ImageView), m_zoom(new QSpinBox), m_scanButton(new QPushButton(QStringLiteral("Digitalizar ficha"))),
      m_loadButton(new QPushButton(QStringLiteral("Cargar imagen..."))),
      m_grabar(new QPushButton(QStringLiteral("&Grabar"))),
      m_fitWidth(new QPushButton(QStringLiteral("Ajustar al Ancho"))),
      m_fitHeight(new QPushButton(QStringLiteral("Ajustar al Alto"))),
      m_print(new QPushButton(QStringLiteral("Imprimir"))),
      m_config(new QPushButton(QStringLiteral("Configurar scanner"))), m_derErase(new QPushButton(QStringLiteral("X"))),
      m_izqErase(new QPushButton(QStringLiteral("X"))),
      m_showInterface(new QCheckBox(QStringLiteral("Mostrar interface del scanner"))), m_derEdit(new TClasFundEdit),
      m_izqEdit(new TClasFundEdit), m_status(new ScanStatusBar)
{
    setObjectName(QStringLiteral("FDigFich"));
    setWindowTitle(kCaption);
    m_zoom->setRange(2, 200);
    m_zoom->setSingleStep(5);
    m_zoom->setValue(50);
    m_zoom->setSuffix(QStringLiteral(" %"));
    m_zoom->setToolTip(QStringLiteral("Factor de Zoom"));
    for (QPushButton *b : {m_derErase, m_izqErase}) {
        b->setToolTip(QStringLiteral("Borra la clasificación dactiloscópica"));
        b->setFixedWidth(28);
    }

    m_menus = new QMenuBar(this);
    QMenu *file = m_menus->addMenu(QStringLiteral("&Archivo"));
    file->addAction(QStringLiteral("&Cargar Imagen"), this, [this] { loadFromDialog(true); });
    file->addAction(QStringLiteral("&Configuración del Scanner"), this, [this] { m_twain.configure(kProfile); });
    m_interfaceAction = file->addAction(QStringLiteral("&Interface del Scanner"));
    m_interfaceAction->setCheckable(true);
    file->addSeparator();
    file->addAction(QStringLiteral("&Salir"), this, &QDialog::reject);
    QMenu *view = m_menus->addMenu(QStringLiteral("&Ver"));
    auto *fits = new QActionGroup(this);
    m_fitWidthAction = view->addAction(QStringLiteral("&Ajustar al Ancho"));
    m_fitHeightAction = view->addAction(QStringLiteral("&Ajustar al alto"));
    m_freeAction = view->addAction(QStringLiteral("&Tamaño libre"));
    for (QAction *a : {m_fitWidthAction, m_fitHeightAction, m_freeAction}) {
        a->setCheckable(true);
        fits->addAction(a);
    }
    m_fitWidthAction->setChecked(true);
    connect(m_fitWidthAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Width); });
    connect(m_fitHeightAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Height); });
    connect(m_freeAction, &QAction::triggered, this, [this] { setFitMode(FitMode::Free); });

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(m_menus);
    auto *tools = new QHBoxLayout;
    for (QWidget *w :
         {static_cast<QWidget *>(m_scanButton), static_cast<QWidget *>(m_loadButton), static_cast<QWidget *>(m_grabar),
          static_cast<QWidget *>(m_zoom), static_cast<QWidget *>(m_fitWidth), static_cast<QWidget *>(m_fitHeight),
          static_cast<QWidget *>(m_print), static_cast<QWidget *>(m_config)})
        tools->addWidget(w);
    tools->addStretch();
    layout->addLayout(tools);
    auto *classes = new QHBoxLayout;
    classes->addWidget(m_showInterface);
    classes->addStretch();
    classes->addWidget(new QLabel(QStringLiteral("Clasif. Derecha:")));
    classes->addWidget(m_derEdit);
    classes->addWidget(m_derErase);
    classes->addWidget(new QLabel(QStringLiteral("Clasif. Izquierda:")));
    classes->addWidget(m_izqEdit);
    classes->addWidget(m_izqErase);
    layout->addLayout(classes);
    // The viewer is hidden in the disabled state; its area stays, so the status bar stays at the bottom.
    auto *viewArea = new QWidget;
    auto *viewLayout = new QVBoxLayout(viewArea);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    viewLayout->addWidget(m_view);
    layout->addWidget(viewArea, 1);
    layout->addWidget(m_status);

    connect(m_scanButton, &QPushButton::clicked, this, [this] { scan(); });
    connect(m_loadButton, &QPushButton::clicked, this, [this] { loadFromDialog(false); });
    connect(m_grabar, &QPushButton::clicked, this, [this] { grabar(); });
    connect(m_print, &QPushButton::clicked, this, [this] { printFromDialog(); });
    connect(m_config, &QPushButton::clicked, this, [this] { m_twain.configure(kProfile); });
    connect(m_fitWidth, &QPushButton::clicked, this, [this] {
        m_fitWidthAction->setChecked(true);
        setFitMode(FitMode::Width);
    });
    connect(m_fitHeight, &QPushButton::clicked, this, [this] {
        m_fitHeightAction->setChecked(true);
        setFitMode(FitMode::Height);
    });
    // A zoom typed or stepped by the person applies whatever fit was chosen; the view then keeps that size
    // ("Tamaño libre"), so a resize does not take it back.
    connect(m_zoom, &QSpinBox::valueChanged, this, [this](int value) {
        if (value < 2 || value > 200 || !m_view->hasImage())
            return;
        m_fit = FitMode::Free;
        m_freeAction->setChecked(true);
        m_view->setZoom(value);
    });
    connect(m_showInterface, &QCheckBox::toggled, m_interfaceAction, &QAction::setChecked);
    connect(m_interfaceAction, &QAction::toggled, m_showInterface, &QCheckBox::setChecked);
    connect(m_derErase, &QPushButton::clicked, this, [this] {
        if (!m_derEdit->isReadOnly())
            m_derEdit->setText(ClasFund::erased());
    });
    connect(m_izqErase, &QPushButton::clicked, this, [this] {
        if (!m_izqEdit->isReadOnly())
            m_izqEdit->setText(ClasFund::erased());
    });
    connect(m_derEdit, &QLineEdit::textChanged, this, [this] { updateGrabar(); });
    connect(m_izqEdit, &QLineEdit::textChanged, this, [this] { updateGrabar(); });
    dropDefaultButtons(*this);
    resize(900, 560);
    // Space scans wherever the focus is (a button included), except in the classification edits.
    for (QWidget *w : findChildren<QWidget *>())
        w->installEventFilter(this);
    setEnabledState(false);
}

QString TFDigFich::file(const QString &name) const
{
    return QDir(m_scratch).filePath(name);
}

void TFDigFich::prepare(bool locked, const QString &clasDer, const QString &clasIzq)
{
    // The card handed over last time has been taken by its caller by now.
    if (!m_resultFile.isEmpty())
        QFile::remove(m_resultFile);
    m_resultFile.clear();
    m_modified = false;
    m_locked = locked;
    m_clasDer = clasDer;
    m_clasIzq = clasIzq;
}

QString TFDigFich::sampleDir() const
{
    const QString configured =
        ini::IniFile(QDir(m_dir).filePath(kProfile)).readString(QStringLiteral("Config"), QStringLiteral("Muestras"));
    return configured.isEmpty() ? m_dir : configured;
}

void TFDigFich::showStatus(const QString &text)
{
    m_status->showMessage(text);
}

void TFDigFich::setEnabledState(bool enabled)
{
    m_enabledState = enabled;
    if (!enabled)
        setWindowTitle(kCaption);
    m_view->setVisible(enabled);
    for (QWidget *w : {static_cast<QWidget *>(m_zoom), static_cast<QWidget *>(m_fitWidth),
                       static_cast<QWidget *>(m_fitHeight), static_cast<QWidget *>(m_print)})
        w->setEnabled(enabled);
    m_loadButton->setEnabled(true);
    if (enabled) {
        m_scanButton->setEnabled(true);
        m_config->setEnabled(true);
        applyFit();
    }
    updateGrabar();
    showStatus(kReady);
}

void TFDigFich::setScanning(bool scanning)
{
    // While the scanner works nothing but "Cancelar" (and Escape) takes input.
    m_scanning = scanning;
    m_menus->setEnabled(!scanning);
    for (QWidget *w : findChildren<QWidget *>()) {
        if (w == m_status || m_status->isAncestorOf(w) || w == m_menus || w->isWindow() || w->parentWidget() != this)
            continue;
        w->setEnabled(!scanning);
    }
    if (scanning) {
        m_status->scanStarted(m_twain);
    } else {
        m_status->scanEnded();
        for (QWidget *w : findChildren<QWidget *>())
            if (w->parentWidget() == this && w != m_menus)
                w->setEnabled(true);
    }
}

void TFDigFich::updateGrabar()
{
    const bool classChanged = m_derEdit->text() != m_clasDer || m_izqEdit->text() != m_clasIzq;
    m_grabar->setEnabled((m_enabledState && m_modified) || classChanged);
}

void TFDigFich::setFitMode(FitMode mode)
{
    m_fit = mode;
    m_fitWidthAction->setChecked(mode == FitMode::Width);
    m_fitHeightAction->setChecked(mode == FitMode::Height);
    m_freeAction->setChecked(mode == FitMode::Free);
    applyFit();
}

void TFDigFich::applyFit()
{
    if (!m_view->hasImage())
        return;
    const ImageView::Fit fit = m_fit == FitMode::Width    ? ImageView::Fit::Width
                               : m_fit == FitMode::Height ? ImageView::Fit::Height
                                                          : ImageView::Fit::Free;
    const double zoom = m_view->fit(fit, m_zoom->value());
    const QSignalBlocker block(m_zoom);
    m_zoom->setValue(int(std::lround(zoom)));
}

void TFDigFich::scan()
{
    const auto mods = QGuiApplication::queryKeyboardModifiers();
    scanWith((mods & Qt::ShiftModifier) && (mods & Qt::ControlModifier));
}

void TFDigFich::scanWith(bool sample)
{
    if (m_scanning)
        return;
    if (m_locked) {
        m_ui.message(QStringLiteral("ERROR: Solo se puede modificar las impresiones dactilares\r antes de enviar ó si "
                                    "fue rechazada"),
                     ui::Ui::errorTitle());
        return;
    }
    const bool hadImage = m_enabledState && m_view->hasImage();
    setEnabledState(false);
    ScanResult result;
    {
        auto busy = m_ui.busyCursor();
        showStatus(QStringLiteral("Digitalizando, por favor espere..."));
        m_view->clear();
        if (!sample) {
            // The last image stays in out.tif/out.bmp until the scanner delivers a new page: a cancelled or
            // failed scan does not throw away the card already scanned or loaded.
            setScanning(true);
            m_twain.loadProfile(kProfile);
            result = m_twain.acquire(m_showInterface->isChecked());
            m_twain.close();
            setScanning(false);
        } else {
            const QDir samples(sampleDir());
            result.ok = copyOver(samples.filePath(QStringLiteral("ficha.tif")), file(QStringLiteral("out.tif"))) &&
                        copyOver(samples.filePath(QStringLiteral("ficha.bmp")), file(QStringLiteral("out.bmp")));
            result.pages = result.ok ? 1 : 0;
        }
        activateWindow();
    }
    const QString outTif = existingAnyCase(file(QStringLiteral("out.tif")));
    const QString outBmp = existingAnyCase(file(QStringLiteral("out.bmp")));
    if (!outTif.isEmpty() && !outBmp.isEmpty() && (result.pages > 0 || hadImage)) {
        if (result.pages > 0)
            m_modified = true;
        QString error;
        if (!m_view->setImage(outBmp, 1, &error))
            m_ui.error(error);
        setEnabledState(true);
    } else {
        setEnabledState(false);
    }
    showNotes(result.notes);
}

void TFDigFich::showNotes(const QStringList &notes)
{
    const QString message = m_notes.take(notes);
    if (!message.isEmpty())
        m_ui.message(message, ui::Ui::warningTitle());
}

bool TFDigFich::convertCard(const QString &tif, const QString &bmp, QString *error)
{
    imaging::Page page;
    if (!imaging::ImageFile::loadPage(tif, page, error))
        return false;
    if (!imaging::ImageFile::save(page, tif, imaging::Encoding::tiffGrayJpegMedium(), error))
        return false;
    return bmp.isEmpty() || imaging::ImageFile::save(page, bmp, imaging::Encoding::bmpGray(), error);
}

bool TFDigFich::loadImage(const QString &source, bool fromUser, bool fromMenu)
{
    if (fromUser) {
        if (m_locked) {
            m_ui.message(fromMenu ? QStringLiteral("ERROR: Solo se puede modificar la huella\r antes de enviar ó si "
                                                   "fue rechazada")
                                  : QStringLiteral("ERROR: No se puede modificar las impresiones dactilares ya que el "
                                                   "pedido esta en trámite ó ya fue contestado"),
                         ui::Ui::errorTitle());
            return false;
        }
        if (source.isEmpty() || !QFileInfo::exists(source))
            return false;
    }
    // A file that does not read as an image replaces nothing; the message names the file the person chose.
    {
        imaging::Page probe;
        QString why;
        if (!imaging::ImageFile::loadPage(source, probe, &why)) {
            m_ui.error(QStringLiteral("No se puede cargar «%1»: no es una imagen TIF o BMP que se pueda leer.\r%2")
                           .arg(QDir::toNativeSeparators(source), why));
            return false;
        }
    }
    ++m_saveCounter;
    const QString tif = file(QStringLiteral("huella%1.TIF").arg(m_saveCounter));
    const QString bmp = file(QStringLiteral("huella%1.BMP").arg(m_saveCounter));
    removeAnyCase(bmp);
    removeAnyCase(tif);
    // The intermediate files go as soon as the image is in out.tif/out.bmp (or the load failed).
    struct Intermediate
    {
        QString tif, bmp;
        ~Intermediate()
        {
            QFile::remove(tif);
            QFile::remove(bmp);
        }
    } intermediate{tif, bmp};
    if (!QFile::copy(source, tif)) {
        m_ui.error(QStringLiteral("No se pudo copiar «%1»").arg(QDir::toNativeSeparators(source)));
        return false;
    }
    QString error;
    {
        auto busy = m_ui.busyCursor();
        if (!convertCard(tif, bmp, &error)) {
            m_ui.error(QStringLiteral("No se puede cargar «%1»: %2").arg(QDir::toNativeSeparators(source), error));
            return false;
        }
    }
    if (!QFileInfo::exists(bmp))
        return false;
    const QString outBmp = file(QStringLiteral("OUT.BMP"));
    const QString outTif = file(QStringLiteral("OUT.TIF"));
    removeAnyCase(file(QStringLiteral("out.bmp")));
    removeAnyCase(file(QStringLiteral("out.tif")));
    if (!QFile::copy(bmp, outBmp) || !QFile::copy(tif, outTif))
        return false;
    m_modified = fromUser;
    if (!m_view->setImage(outBmp, 1, &error)) {
        m_ui.error(error);
        return false;
    }
    setEnabledState(true);
    return true;
}

void TFDigFich::loadFromDialog(bool fromMenu)
{
    if (m_locked) {
        loadImage(QString(), true, fromMenu);
        return;
    }
    const QString chosen =
        m_chooser ? m_chooser()
                  : QFileDialog::getOpenFileName(
                        this, QStringLiteral("Cargar imagen"), m_dir,
                        QStringLiteral("Tagged Image File Format (*.TIF *.tif);;Windows BMP (*.BMP *.bmp)"));
    loadImage(chosen, true, fromMenu);
}

void TFDigFich::grabar()
{
    ++m_saveCounter;
    const QString tif = file(QStringLiteral("huella%1.TIF").arg(m_saveCounter));
    const QString bmp = file(QStringLiteral("huella%1.BMP").arg(m_saveCounter));
    removeAnyCase(bmp);
    removeAnyCase(tif);
    const QString out = existingAnyCase(file(QStringLiteral("out.tif")));
    bool stored = false;
    if (!out.isEmpty() && QFile::rename(out, tif)) {
        QString error;
        auto busy = m_ui.busyCursor();
        if (!convertCard(tif, QString(), &error)) {
            // A card that cannot be converted is not handed over; the scanned file stays for another try.
            QFile::rename(tif, out);
            m_ui.error(error);
        } else {
            stored = true;
        }
    }
    m_clasDer = m_derEdit->text();
    m_clasIzq = m_izqEdit->text();
    if (stored && QFileInfo::exists(tif)) {
        m_resultFile = tif;
        accept();
    } else if (!m_modified) {
        // Only the classifications changed: they are handed over without an image.
        accept();
    }
}

bool TFDigFich::print(QPrinter &printer)
{
    auto busy = m_ui.busyCursor();
    return ImagePrinting::printToWidth(m_view->image(), printer);
}

void TFDigFich::printFromDialog()
{
    if (!m_view->hasImage())
        return;
    QPrinter printer;
    if (ImagePrinting::choosePrinter(printer, this))
        print(printer);
}

void TFDigFich::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_notes.clear();
    m_print->setVisible(true);
    setMinimumSize(780, 312);
    m_twain.loadProfile(kProfile);
    m_derEdit->setText(m_clasDer);
    m_izqEdit->setText(m_clasIzq);
    m_derEdit->setReadOnly(m_locked);
    m_izqEdit->setReadOnly(m_locked);
    m_derErase->setEnabled(!m_locked);
    m_izqErase->setEnabled(!m_locked);
    applyFit();
    updateGrabar();
}

void TFDigFich::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    applyFit();
}

void TFDigFich::removeScratch()
{
    m_view->clear();
    removeAnyCase(file(QStringLiteral("out.tif")));
    removeAnyCase(file(QStringLiteral("out.bmp")));
    // The window is shown again for the next request: it starts in the disabled state, without an image.
    setEnabledState(false);
}

void TFDigFich::done(int result)
{
    if (m_scanning) {
        // Closing while the scanner works stops the scan; the window stays until the scan has ended.
        m_twain.cancelScan();
        return;
    }
    removeScratch();
    QDialog::done(result);
}

void TFDigFich::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat() && !m_scanning)
            scan();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool TFDigFich::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched != m_derEdit &&
        watched != m_izqEdit && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (event->type() == QEvent::KeyPress && !key->isAutoRepeat() && !m_scanning)
            scan();
        return true; // never "press" the focused button
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tav::capture
