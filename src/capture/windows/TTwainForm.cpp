#include "capture/windows/TTwainForm.h"

#include "capture/windows/DialogButtons.h"
#include "capture/windows/TScanOptions.h"
#include "capture/windows/TTwainCaps.h"
#include "platform/ini/IniFile.h"
#include "platform/os/StationScratch.h"
#include "platform/scanner/SaneScanner.h"
#include "port/Ui.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

#include <thread>

namespace tav::capture {

namespace {

const QString kMainProfile = QStringLiteral("ImageLib.INI");
const QString kSection = QStringLiteral("Config");
const QString kDeviceKey = QStringLiteral("Dispositivo");

QSpinBox *spin(int lo, int hi, int step = 1)
{
    auto *box = new QSpinBox;
    box->setRange(lo, hi);
    box->setSingleStep(step);
    return box;
}

// The device's own options, shown before scanning when the profile or the calling window asks for it. The
// acquisition runs on a worker thread; the dialog is shown on the user-interface thread while the worker waits
// for the answer, so the scanner is never used by both at once.
class OptionsInterface : public ScannerInterface
{
public:
    OptionsInterface(ui::Ui &ui, QWidget *parent) : m_ui(ui), m_parent(parent) {}
    bool edit(scanner::SaneScanner &scanner, ScanProfile &profile) override
    {
        bool accepted = false;
        auto show = [&] {
            TScanOptions dialog(m_ui, m_parent);
            accepted = dialog.edit(scanner, profile);
        };
        if (QThread::currentThread() == m_parent->thread())
            show();
        else
            QMetaObject::invokeMethod(m_parent, show, Qt::BlockingQueuedConnection);
        return accepted;
    }

private:
    ui::Ui &m_ui;
    QWidget *m_parent;
};

} // namespace

TTwainForm::TTwainForm(const QString &programDir, ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_dir(programDir), m_scratch(os::StationScratch::folder(programDir)), m_ui(ui),
      m_dpi(spin(100, 500, 50)), m_left(spin(0, 500)), m_right(spin(0, 500)), m_top(spin(0, 500)),
      m_bottom(spin(0, 500)), m_brightness(spin(-1000, 1000)), m_contrast(spin(-1000, 1000)), m_rotation(spin(0, 359)),
      m_pages(spin(1, 999999)), m_imageType(new QComboBox), m_interface(new QComboBox),
      m_deskew(new QCheckBox(QStringLiteral("Auto rotación (Deskew)"))),
      m_choose(new QPushButton(QStringLiteral("Elegir Scanner"))),
      m_caps(new QPushButton(QStringLiteral("Ver Capacidades..."))), m_exit(new QPushButton(QStringLiteral("&Salir"))),
      m_status(new QLabel), m_deviceLabel(new QLabel)
{
    setObjectName(QStringLiteral("TwainForm"));
    setWindowTitle(QStringLiteral("Configurar Scanner"));
    m_imageType->addItems(ScanProfile::imageTypeNames());
    m_interface->addItems(ScanProfile::interfaceModeNames());

    auto *layout = new QVBoxLayout(this);
    auto *source = new QHBoxLayout;
    source->addWidget(m_choose);
    source->addWidget(m_deviceLabel, 1);
    layout->addLayout(source);

    auto *settings = new QFormLayout;
    settings->addRow(QStringLiteral("DPI:"), m_dpi);
    settings->addRow(QStringLiteral("Tipo de imagen:"), m_imageType);
    settings->addRow(QStringLiteral("Interface del Scanner:"), m_interface);
    settings->addRow(QStringLiteral("Brillo:"), m_brightness);
    settings->addRow(QStringLiteral("Contraste:"), m_contrast);
    settings->addRow(QStringLiteral("Rotar (grados):"), m_rotation);
    settings->addRow(QStringLiteral("Páginas:"), m_pages);
    layout->addLayout(settings);

    auto *area = new QGroupBox(QStringLiteral("Scan Area Selection in Inches"));
    auto *areaLayout = new QFormLayout(area);
    areaLayout->addRow(QStringLiteral("Izquierda:"), m_left);
    areaLayout->addRow(QStringLiteral("Derecha:"), m_right);
    areaLayout->addRow(QStringLiteral("Arriba:"), m_top);
    areaLayout->addRow(QStringLiteral("Abajo:"), m_bottom);
    layout->addWidget(area);
    layout->addWidget(m_deskew);
    layout->addWidget(m_status);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_caps);
    bottom->addStretch();
    bottom->addWidget(m_exit);
    layout->addLayout(bottom);

    connect(m_choose, &QPushButton::clicked, this, [this] { chooseScanner(); });
    connect(m_caps, &QPushButton::clicked, this, [this] { showCaps(); });
    connect(m_exit, &QPushButton::clicked, this, &QDialog::accept);
    dropDefaultButtons(*this);

    QString error;
    if (!writeScannerAppName(m_dir, &error))
        m_status->setText(error);
    loadProfile(kMainProfile);
    setDeviceName(ini::IniFile(profilePath(kMainProfile)).readString(kSection, kDeviceKey));
}

TTwainForm::~TTwainForm()
{
    // The settings of the session are kept for the next start; a failure here has nobody to tell.
    saveProfile(kMainProfile);
}

QString TTwainForm::profilePath(const QString &name) const
{
    return QDir::isAbsolutePath(name) ? name : QDir(m_dir).filePath(name);
}

ScanProfile TTwainForm::profile() const
{
    ScanProfile p;
    p.dpi = m_dpi->value();
    p.left = m_left->value();
    p.right = m_right->value();
    p.top = m_top->value();
    p.bottom = m_bottom->value();
    p.brightness = m_brightness->value();
    p.contrast = m_contrast->value();
    p.imageType = ImageType(std::max(0, m_imageType->currentIndex()));
    p.interfaceMode = InterfaceMode(std::max(0, m_interface->currentIndex()));
    p.rotation = m_rotation->value();
    return p;
}

void TTwainForm::setProfile(const ScanProfile &p)
{
    m_dpi->setValue(p.dpi);
    m_left->setValue(p.left);
    m_right->setValue(p.right);
    m_top->setValue(p.top);
    m_bottom->setValue(p.bottom);
    m_brightness->setValue(p.brightness);
    m_contrast->setValue(p.contrast);
    m_imageType->setCurrentIndex(int(p.imageType));
    m_interface->setCurrentIndex(int(p.interfaceMode));
    m_rotation->setValue(p.rotation);
}

void TTwainForm::loadProfile(const QString &name)
{
    m_profileName = name;
    setProfile(ScanProfile::load(profilePath(name)));
}

void TTwainForm::configure(const QString &profileName)
{
    loadProfile(profileName);
    exec();
    saveProfile(profileName);
}

bool TTwainForm::saveProfile(const QString &name)
{
    const QString path = profilePath(name);
    QString error;
    if (!profile().save(path, &error))
        return false;
    if (name == kMainProfile) {
        ini::IniFile ini(path);
        ini.writeString(kSection, kDeviceKey, m_device);
        return ini.save();
    }
    return true;
}

void TTwainForm::setDeviceName(const QString &name)
{
    m_device = name;
    m_deviceLabel->setText(name.isEmpty() ? QStringLiteral("(el primero que se encuentre)") : name);
}

bool TTwainForm::listDevices(QStringList &names)
{
    QList<scanner::DeviceInfo> devices;
    QString error;
    names.clear();
    if (!scanner::SaneScanner::listDevices(devices, &error)) {
        m_ui.error(QStringLiteral("No se pudo consultar los scanners: ") + error);
        return false;
    }
    for (const auto &d : devices)
        names << d.name;
    if (names.isEmpty()) {
        m_ui.warning(QStringLiteral("No se encontró ningún scanner"));
        return false;
    }
    return true;
}

void TTwainForm::chooseScanner()
{
    QStringList names;
    if (!listDevices(names))
        return;
    bool ok = false;
    const int current = std::max<qsizetype>(0, names.indexOf(m_device));
    const QString chosen = QInputDialog::getItem(this, QStringLiteral("Elegir Scanner"), QStringLiteral("Scanner:"),
                                                 names, int(current), false, &ok);
    if (ok)
        setDeviceName(chosen);
}

void TTwainForm::showCaps()
{
    TTwainCaps caps(m_ui, this);
    caps.setDeviceName(m_device);
    caps.exec();
}

int TTwainForm::pageCount() const
{
    return m_pages->value();
}
void TTwainForm::setPageCount(int count)
{
    m_pages->setValue(count);
}
bool TTwainForm::deskew() const
{
    return m_deskew->isChecked();
}
void TTwainForm::setDeskew(bool on)
{
    m_deskew->setChecked(on);
}

void TTwainForm::setBusy(bool busy)
{
    for (QWidget *w :
         {static_cast<QWidget *>(m_dpi), static_cast<QWidget *>(m_left), static_cast<QWidget *>(m_right),
          static_cast<QWidget *>(m_top), static_cast<QWidget *>(m_bottom), static_cast<QWidget *>(m_brightness),
          static_cast<QWidget *>(m_contrast), static_cast<QWidget *>(m_rotation), static_cast<QWidget *>(m_pages),
          static_cast<QWidget *>(m_imageType), static_cast<QWidget *>(m_interface), static_cast<QWidget *>(m_deskew),
          static_cast<QWidget *>(m_choose), static_cast<QWidget *>(m_caps), static_cast<QWidget *>(m_exit)})
        w->setEnabled(!busy);
}

ScanResult TTwainForm::acquire(bool showInterface)
{
    if (m_scanning) {
        ScanResult busy;
        busy.error = QStringLiteral("Ya hay una digitalización en curso");
        return busy;
    }
    QFile::remove(QDir(m_dir).filePath(QStringLiteral("TEMP.TIF")));
    ScanRequest request;
    request.profile = profile();
    request.programDir = m_scratch;
    request.deviceName = m_device;
    request.pageCount = pageCount();
    request.deskew = deskew();
    request.showInterface = showInterface;
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        request.displayDepth = screen->depth();

    QWidget *owner = QApplication::activeModalWidget();
    OptionsInterface options(m_ui, owner ? owner : this);
    ScanProcedure procedure(&options);
    // The handlers run on the worker: they only post to this thread.
    procedure.setStatusHandler([this](const QString &text) {
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                m_status->setText(text);
                m_ui.setStatusText(text);
            },
            Qt::QueuedConnection);
    });
    procedure.setProgressHandler([this](int page, int percent) {
        QMetaObject::invokeMethod(
            this, [this, page, percent] { emit scanProgress(page, percent); }, Qt::QueuedConnection);
        return !m_cancel.load();
    });

    m_scanning = true;
    m_cancel = false;
    setBusy(true);
    ScanResult result;
    {
        QEventLoop loop;
        std::thread worker([&] {
            result = procedure.acquire(request);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
        loop.exec();
        worker.join();
    }
    setBusy(false);
    m_scanning = false;

    if (result.chosenProfile) {
        setProfile(*result.chosenProfile);
        if (!m_profileName.isEmpty())
            saveProfile(m_profileName);
    }
    if (!result.ok && !result.cancelled && !result.error.isEmpty())
        m_ui.error(result.error);
    return result;
}

} // namespace tav::capture
