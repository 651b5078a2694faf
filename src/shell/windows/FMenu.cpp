#include "shell/windows/FMenu.h"

#include "port/Ui.h"
#include "store/Tdm.h"
#include "ui/GuardedCall.h"
#include "ui/WindowSizing.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

#include <cmath>

namespace tav::shell {

namespace {

const QColor kBackground(8, 70, 109);
const QColor kStatus(15, 88, 133);
const QColor kMaroon(128, 0, 0);

QString notYetAvailable()
{
    return QStringLiteral("Función aún no disponible en esta versión de TAV Regional");
}

// The title screen: the office's colours with a fingerprint drawn in light ridges, kept in proportion.
class TitleScreen : public QWidget
{
public:
    explicit TitleScreen(QWidget *parent) : QWidget(parent) { setAutoFillBackground(false); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient bg(0, 0, 0, height());
        bg.setColorAt(0, kBackground.lighter(125));
        bg.setColorAt(1, kBackground.darker(115));
        p.fillRect(rect(), bg);

        // Ridges of a fingerprint, centred to the right, scaled with the window's smaller side.
        const double s = std::min(width(), height()) / 560.0;
        const QPointF c(width() * 0.78, height() * 0.52);
        p.setPen(QPen(QColor(255, 255, 255, 26), 5 * s));
        for (int i = 0; i < 18; ++i) {
            const double rx = (22 + i * 14) * s, ry = (30 + i * 17) * s;
            QPainterPath arc;
            arc.arcMoveTo(QRectF(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry), 200 - i * 1.5);
            arc.arcTo(QRectF(c.x() - rx, c.y() - ry, 2 * rx, 2 * ry), 200 - i * 1.5, -(220 - i * 4.0));
            p.drawPath(arc);
        }
    }
};

} // namespace

FMenu::FMenu(store::Tdm &dm, ui::Ui &ui, QWidget *parent) : QMainWindow(parent), m_dm(dm), m_ui(ui), m_rules(dm)
{
    setObjectName(QStringLiteral("FMenu"));
    setWindowTitle(QStringLiteral("TAV - Regional"));

    auto *screen = new TitleScreen(this);
    setCentralWidget(screen);
    auto *layout = new QVBoxLayout(screen);
    layout->setContentsMargins(40, 32, 40, 16);
    layout->addStretch(2);

    auto *card = new QWidget(screen);
    card->setObjectName(QStringLiteral("titleCard"));
    card->setStyleSheet(QStringLiteral("#titleCard { background: rgba(255,255,255,235); border-radius: 14px; }"));
    card->setMaximumWidth(720);
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(32, 18, 32, 22);
    auto *label2 = new QLabel(QStringLiteral("TAV"), card);
    label2->setObjectName(QStringLiteral("Label2"));
    QFont tav(QStringLiteral("DejaVu Serif"));
    tav.setPixelSize(35);
    tav.setBold(true);
    label2->setFont(tav);
    label2->setStyleSheet(QStringLiteral("color: rgb(128,0,0);"));
    label2->setAlignment(Qt::AlignCenter);
    auto *label3 = new QLabel(QStringLiteral("Trámite de Antecedentes Penales"), card);
    label3->setObjectName(QStringLiteral("Label3"));
    QFont longName(QStringLiteral("DejaVu Serif"));
    longName.setPixelSize(24);
    longName.setItalic(true);
    label3->setFont(longName);
    label3->setStyleSheet(QStringLiteral("color: rgb(40,40,60);"));
    label3->setAlignment(Qt::AlignCenter);
    auto *subtitle = new QLabel(QStringLiteral("Oficina Regional"), card);
    QFont subFont(QStringLiteral("DejaVu Serif"));
    subFont.setPixelSize(16);
    subFont.setItalic(true);
    subtitle->setFont(subFont);
    subtitle->setStyleSheet(QStringLiteral("color: rgb(90,90,110);"));
    subtitle->setAlignment(Qt::AlignCenter);
    cardLayout->addWidget(label2);
    cardLayout->addWidget(label3);
    cardLayout->addWidget(subtitle);
    layout->addWidget(card, 0, Qt::AlignHCenter);
    layout->addSpacing(18);

    m_lbReg = new QLabel(screen);
    m_lbReg->setObjectName(QStringLiteral("lbReg"));
    QFont regFont = font();
    regFont.setPointSize(14);
    regFont.setBold(true);
    m_lbReg->setFont(regFont);
    m_lbReg->setStyleSheet(QStringLiteral("color: white;"));
    layout->addWidget(m_lbReg, 0, Qt::AlignHCenter);

    m_version = new QLabel(QStringLiteral("Versión 2.32"), screen);
    m_version->setObjectName(QStringLiteral("Version"));
    m_version->setStyleSheet(QStringLiteral("color: rgb(220,230,240);"));
    layout->addWidget(m_version, 0, Qt::AlignHCenter);

    m_lblBio = new QLabel(screen);
    m_lblBio->setObjectName(QStringLiteral("lblBio"));
    m_lblBio->setStyleSheet(QStringLiteral("color: white;"));
    layout->addWidget(m_lblBio, 0, Qt::AlignHCenter);
    layout->addStretch(3);

    m_cbDesRecibir = new QCheckBox(QStringLiteral(" Deshabilitar Recepción automática de Correo"), screen);
    m_cbDesRecibir->setObjectName(QStringLiteral("cbDesRecibir"));
    m_cbDesRecibir->setStyleSheet(QStringLiteral("QCheckBox { color: white; }"));
    layout->addWidget(m_cbDesRecibir, 0, Qt::AlignLeft);
    // Any click stops automatic reception; a capture command of a request window starts it again.
    connect(m_cbDesRecibir, &QCheckBox::clicked, this, [this] { m_dm.Timer.stop(); });

    auto *panBot = new QWidget(screen);
    panBot->setObjectName(QStringLiteral("panBot"));
    auto *row = new QHBoxLayout(panBot);
    row->setContentsMargins(0, 6, 0, 0);
    row->setSpacing(8);
    layout->addWidget(panBot);
    addButton(QStringLiteral("&Pedidos Oficiales"), Command::OfficialRequests);
    addButton(QStringLiteral("Pedidos Per&sonales"), Command::PersonalRequests);
    addButton(QStringLiteral("&Búsqueda"), Command::Search);
    addButton(QStringLiteral("&Organismos"), Command::Organisations);
    m_btRecibir = new QPushButton(QStringLiteral("P&rocesar Correo"), panBot);
    m_btRecibir->setObjectName(QStringLiteral("btRecibir"));
    m_btRecibir->setMinimumHeight(34);
    connect(m_btRecibir, &QPushButton::clicked, this, [this] { runReceptionNow(); });
    row->addWidget(m_btRecibir);
    auto *estCent = addButton(QStringLiteral("&Est.TAV Cent."), Command::CentralStatus);
    estCent->setObjectName(QStringLiteral("btEstCent"));
    addButton(QStringLiteral("&Internet"), Command::Internet);

    // Menus
    QMenu *archivo = menuBar()->addMenu(QStringLiteral("&Archivo"));
    addItem(archivo, QStringLiteral("&Pedidos"), Command::OfficialRequests);
    addItem(archivo, QStringLiteral("&Organismos"), Command::Organisations);
    archivo->addSeparator();
    QAction *salir = archivo->addAction(QStringLiteral("&Salir"));
    salir->setObjectName(QStringLiteral("Salir1"));
    connect(salir, &QAction::triggered, this, &QWidget::close);

    QMenu *consulta = menuBar()->addMenu(QStringLiteral("&Consulta"));
    addItem(consulta, QStringLiteral("&Búsqueda"), Command::Search);
    addItem(consulta, QStringLiteral("&Pedidos oficiales"), Command::OfficialList);
    addItem(consulta, QStringLiteral("Pedidos personales &sin enviar"), Command::UnsentPersonal);
    addItem(consulta, QStringLiteral("&Organismos"), Command::OrganisationList);
    m_informeMensual = addItem(consulta, QStringLiteral("&Informe Mensual"), Command::MonthlyReport);

    QMenu *utilidades = menuBar()->addMenu(QStringLiteral("&Utilidades"));
    m_recibirItem = utilidades->addAction(QStringLiteral("&Recibir Contestaciones"));
    m_recibirItem->setObjectName(QStringLiteral("RecibirContestaciones1"));
    connect(m_recibirItem, &QAction::triggered, this, [this] { runReceptionNow(); });
    addItem(utilidades, QStringLiteral("&Ordenamiento de Archivos..."), Command::Reindex);
    addItem(utilidades, QStringLiteral("Reporte de Actividad"), Command::ActivityReport);
    addItem(utilidades, QStringLiteral("&Configuración"), Command::Configuration);
    addItem(utilidades, QStringLiteral("Configurar &LiveScan"), Command::LiveScanConfiguration);

    m_miUsuario = menuBar()->addMenu(QStringLiteral("U&suario"));
    m_miUsuarioAction = m_miUsuario->menuAction();
    addItem(m_miUsuario, QStringLiteral("&Cambiar Clave..."), Command::ChangePassword);
    m_administrarUsu = addItem(m_miUsuario, QStringLiteral("&Administrar"), Command::UserAdministration);
    m_miUsuarioAction->setVisible(false);
    m_administrarUsu->setVisible(false);

    QMenu *envio = menuBar()->addMenu(QStringLiteral("&Envio"));
    addItem(envio, QStringLiteral("C&onfiguración de envío"), Command::MailConfiguration);
    addItem(envio, QStringLiteral("&Ver log / configuración "), Command::TransportLog);
    m_probarCuenta = addItem(envio, QStringLiteral("&Probar configuración del Correo Electrónico"), Command::MailTest);
    m_bandeja = addItem(envio, QStringLiteral("&Bandeja de Entrada de Correo Electrónico"), Command::Inbox);

    QMenu *ayuda = menuBar()->addMenu(QStringLiteral("Ay&uda"));
    addItem(ayuda, QStringLiteral("&Acerca de..."), Command::About);

    // Status bar: one panel, white on the office's blue.
    statusBar()->setObjectName(QStringLiteral("StatusBar1"));
    statusBar()->setStyleSheet(
        QStringLiteral("QStatusBar { background: rgb(15,88,133); } QStatusBar QLabel { color: white; }"));
    statusBar()->setSizeGripEnabled(false);
    m_status = new QLabel(this);
    m_status->setMinimumWidth(200);
    statusBar()->addWidget(m_status, 1);

    // A greyed item says why, as a greyed button does.
    for (QMenu *menu : {archivo, consulta, utilidades, m_miUsuario, envio, ayuda})
        menu->setToolTipsVisible(true);

    connect(&m_dm.Timer, &QTimer::timeout, this, &FMenu::TimerTick);
    updateEnabled();
    // Never so small that the row of buttons loses its captions.
    ui::setMinimumWindowSize(this, {760, 520});
}

QPushButton *FMenu::addButton(const QString &caption, Command command)
{
    auto *panBot = centralWidget()->findChild<QWidget *>(QStringLiteral("panBot"));
    auto *button = new QPushButton(caption, panBot);
    button->setMinimumHeight(34);
    connect(button, &QPushButton::clicked, this, [this, command] { run(command); });
    panBot->layout()->addWidget(button);
    m_buttons.emplace(command, button);
    return button;
}

QAction *FMenu::addItem(QMenu *menu, const QString &caption, Command command)
{
    QAction *action = menu->addAction(caption);
    connect(action, &QAction::triggered, this, [this, command] { run(command); });
    m_items.emplace(command, action);
    return action;
}

void FMenu::setCommand(Command command, std::function<void()> action)
{
    m_commands[command] = std::move(action);
    updateEnabled();
}

void FMenu::updateEnabled()
{
    for (auto &[command, button] : m_buttons) {
        const bool available = m_commands.count(command) > 0;
        button->setEnabled(available);
        button->setToolTip(
            available
                ? (command == Command::CentralStatus ? QStringLiteral("Estado Pedidos en TAV Central") : QString())
                : notYetAvailable());
    }
    for (auto &[command, item] : m_items) {
        const bool available = m_commands.count(command) > 0;
        item->setEnabled(available);
        item->setToolTip(available ? QString() : notYetAvailable());
    }
    // Receiving answers needs the message exchange installed.
    const bool reception = static_cast<bool>(m_dm.receptionCycle);
    m_btRecibir->setEnabled(reception);
    m_btRecibir->setToolTip(reception ? QString() : notYetAvailable());
    m_recibirItem->setEnabled(reception);
    m_recibirItem->setToolTip(reception ? QString() : notYetAvailable());
}

void FMenu::run(Command command)
{
    try {
        std::optional<QString> refusal;
        if (command == Command::OfficialRequests)
            refusal = m_rules.officialRequestsRefusal();
        else if (command == Command::PersonalRequests)
            refusal = m_rules.personalRequestsRefusal();
        else if (command == Command::Internet)
            refusal = m_rules.internetRefusal();
        if (refusal) {
            m_ui.message(*refusal, ui::Ui::warningTitle());
            return;
        }
        auto it = m_commands.find(command);
        if (it == m_commands.end())
            return;
        if (command == Command::MailConfiguration || command == Command::MailTest || command == Command::Inbox) {
            const QString busy =
                command == Command::Inbox ? MainMenuRules::inboxBusyMessage() : MainMenuRules::mailBusyMessage();
            m_rules.underReceptionGuard(it->second, busy);
            refreshFromSettings();
            return;
        }
        it->second();
        if (command == Command::Configuration || command == Command::LiveScanConfiguration)
            refreshFromSettings();
    } catch (const store::Abort &) {
    } catch (const std::exception &e) {
        m_ui.error(QString::fromUtf8(e.what()));
    }
}

QString FMenu::versionText() const
{
    return m_version->text();
}

void FMenu::setStatusText(const QString &text)
{
    if (!isVisible())
        return;
    m_status->setText(text);
    m_status->repaint();
}

void FMenu::refreshFromSettings()
{
    updateEnabled();
    m_lbReg->setText(m_rules.officeCaption());
    m_informeMensual->setVisible(m_rules.monthlyReportVisible());
    const bool mail = m_rules.mailItemsVisible();
    m_probarCuenta->setVisible(mail);
    m_bandeja->setVisible(mail);
    const QString liveScan = m_dm.readSetting(QStringLiteral("LiveScan"));
    m_dm.liveScanConfigured = !liveScan.isEmpty() && liveScan != QLatin1String("Ninguno");
}

void FMenu::setLoggedUser(const QString &loginName)
{
    m_miUsuarioAction->setVisible(true);
    m_administrarUsu->setVisible(MainMenuRules::adminVisible(loginName));
}

void FMenu::setBiometricUser(const QString &user, qint64 verificationId)
{
    m_lblBio->setText(QStringLiteral("Usuario: ") + user + QStringLiteral(" - VerifID: ") +
                      QString::number(verificationId));
}

void FMenu::TimerTick()
{
    if (m_cbDesRecibir->isChecked()) {
        m_dm.Timer.stop();
        return;
    }
    // A failing cycle started by the timer is shown like one started by the button; it never ends the program.
    ui::guardedCall(m_ui, [this] {
        m_rules.runReceptionTrigger([this] {
            if (m_dm.receptionCycle)
                m_dm.receptionCycle();
        });
    });
}

bool FMenu::runReceptionNow()
{
    if (!m_dm.receptionIdle) {
        m_ui.message(MainMenuRules::receptionBusyMessage(), ui::Ui::warningTitle());
        return false;
    }
    try {
        return m_rules.runReceptionTrigger([this] {
            if (m_dm.receptionCycle)
                m_dm.receptionCycle();
        });
    } catch (const std::exception &e) {
        m_ui.error(QString::fromUtf8(e.what()));
        return false;
    }
}

void FMenu::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    refreshFromSettings();
}

void FMenu::closeEvent(QCloseEvent *event)
{
    // Ending the program closes every other window first; one with a pending edit may keep it open.
    if (beforeClose && !beforeClose()) {
        event->ignore();
        return;
    }
    emit closing();
    event->accept();
}

} // namespace tav::shell
