#include "shell/windows/FConfig.h"

#include "shell/windows/PasswordEdit.h"
#include "store/Tdm.h"
#include "ui/DatasetModel.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace tav::shell {

namespace {

// The width of a setting's value in the settings table.
constexpr int kSettingLength = 150;

QString controlName(const char *prefix, const QString &key)
{
    return QString::fromLatin1(prefix) + key;
}

} // namespace

FConfig::FConfig(store::Tdm &dm, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_rules(dm), m_urlGrid(new QTableView(this)),
      m_urlModel(new ui::DatasetModel(*dm.url,
                                      {{QStringLiteral("N_PRIOR"), QStringLiteral("Prioridad"), {}, 9},
                                       {QStringLiteral("X_URL"), QStringLiteral("Url"), {}, 0}},
                                      this)),
      m_urlNavigator(new ui::Navigator(dm.url, dm.ui(), this)),
      m_accept(new QPushButton(QStringLiteral("&Aceptar"), this)),
      m_cancel(new QPushButton(QStringLiteral("&Cancelar"), this))
{
    setObjectName(QStringLiteral("FConfig"));
    setWindowTitle(QStringLiteral("Configuración de TAV Regional"));
    m_rules.onSettingsWritten = [this] { emit settingsWritten(); };

    // " Regional "
    auto *regional = new QGroupBox(QStringLiteral(" Regional "), this);
    auto *regionalGrid = new QGridLayout(regional);
    regionalGrid->addWidget(new QLabel(QStringLiteral("Cód.Privado:"), regional), 0, 0);
    QLineEdit *cRegp = addEdit(QStringLiteral("c_regp"));
    ui::setWidthInCharacters(cRegp, 6);
    regionalGrid->addWidget(cRegp, 0, 1);
    regionalGrid->addWidget(new QLabel(QStringLiteral("Nombre:"), regional), 0, 2);
    regionalGrid->addWidget(addEdit(QStringLiteral("x_reg")), 0, 3);
    regionalGrid->addWidget(new QLabel(QStringLiteral("Cód.Oficial"), regional), 1, 0);
    QLineEdit *cReg = addEdit(QStringLiteral("c_reg"));
    ui::setWidthInCharacters(cReg, 6);
    regionalGrid->addWidget(cReg, 1, 1);
    auto *flags = new QHBoxLayout;
    QCheckBox *nominative = addCheckBox(QStringLiteral("m_nomi"), QStringLiteral("TAV Nominativa"));
    nominative->setVisible(false); // kept for offices that offer nominative requests by installation
    flags->addWidget(nominative);
    flags->addWidget(addCheckBox(QStringLiteral("m_domic"), QStringLiteral("TAV Domiciliaria")));
    flags->addWidget(addCheckBox(QStringLiteral("m_chkdatbol"), QStringLiteral("Chequeo datos con Boleta")));
    flags->addStretch(1);
    regionalGrid->addLayout(flags, 1, 2, 1, 2);
    regionalGrid->setColumnStretch(3, 1);

    // " Correo electrónico y contestaciones "
    auto *mail = new QGroupBox(QStringLiteral(" Correo electrónico y contestaciones "), this);
    auto *mailGrid = new QGridLayout(mail);
    mailGrid->addWidget(new QLabel(QStringLiteral("Cuenta de TAV Central:"), mail), 0, 0);
    mailGrid->addWidget(addEdit(QStringLiteral("x_toregp")), 0, 1, 1, 3);
    mailGrid->addWidget(new QLabel(QStringLiteral("Frecuencia de recepción de mensajes (minutos):"), mail), 1, 0);
    mailGrid->addWidget(addEdit(QStringLiteral("frec_recep")), 1, 1);
    mailGrid->addWidget(new QLabel(QStringLiteral("Cantidad de días que se guardan las contestaciones:"), mail), 2, 0);
    mailGrid->addWidget(addEdit(QStringLiteral("dur_guarda")), 2, 1);
    mailGrid->addWidget(new QLabel(QStringLiteral("Número máximo de contestaciones a procesar: "), mail), 3, 0);
    mailGrid->addWidget(addEdit(QStringLiteral("max_contes")), 3, 1);
    mailGrid->addWidget(addCheckBox(QStringLiteral("m_impauto"), QStringLiteral("Impresión automática")), 3, 2);
    mailGrid->addWidget(new QLabel(QStringLiteral("URL Certificado:"), mail), 4, 0);
    mailGrid->addWidget(addEdit(QStringLiteral("url_cert")), 4, 1, 1, 3);
    mailGrid->setColumnStretch(3, 1);
    for (const char *key : {"frec_recep", "dur_guarda", "max_contes"}) {
        QLineEdit *e = edit(QString::fromLatin1(key));
        ui::setWidthInCharacters(e, 8);
        e->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    // "Proxy"
    auto *proxy = new QGroupBox(QStringLiteral("Proxy"), this);
    auto *proxyForm = new QFormLayout(proxy);
    QLineEdit *proxyUser = addEdit(QStringLiteral("proxy_user"));
    QLineEdit *proxyPass = addEdit(QStringLiteral("proxy_pass"));
    makePasswordEdit(proxyPass);
    proxyUser->installEventFilter(this);
    proxyForm->addRow(QStringLiteral("Usuario:"), proxyUser);
    proxyForm->addRow(QStringLiteral("Contraseña:"), proxyPass);
    proxyForm->addRow(QStringLiteral("Host:"), addEdit(QStringLiteral("http_proxy")));
    proxyForm->addRow(QStringLiteral("Puerto:"), addEdit(QStringLiteral("http_port")));

    // "Fecha de pago"
    auto *payment = new QGroupBox(QStringLiteral("Fecha de pago"), this);
    auto *paymentGrid = new QGridLayout(payment);
    paymentGrid->addWidget(addCheckBox(QStringLiteral("m_fecpago"), QStringLiteral("Dato obligatorio")), 0, 0, 1, 2);
    paymentGrid->addWidget(new QLabel(QStringLiteral("Tiempo de aceptación de pago en días:"), payment), 1, 0);
    paymentGrid->addWidget(addEdit(QStringLiteral("dias_fpago")), 1, 1);
    paymentGrid->setColumnStretch(2, 1);
    ui::setWidthInCharacters(edit(QStringLiteral("dias_fpago")), 8);
    edit(QStringLiteral("dias_fpago"))->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    // "Sitio Web"
    auto *site = new QGroupBox(QStringLiteral("Sitio Web"), this);
    auto *siteLayout = new QVBoxLayout(site);
    m_urlGrid->setObjectName(QStringLiteral("dbgUrl"));
    m_urlNavigator->setObjectName(QStringLiteral("nvUrl"));
    m_urlModel->setEditable(true, &dm.ui());
    new ui::GridLink(m_urlGrid, m_urlModel, dm.ui());
    m_urlGrid->horizontalHeader()->setStretchLastSection(true);
    m_urlGrid->setMinimumHeight(110);
    siteLayout->addWidget(m_urlGrid, 1);
    siteLayout->addWidget(m_urlNavigator);

    m_accept->setObjectName(QStringLiteral("btAceptar"));
    m_cancel->setObjectName(QStringLiteral("btCancelar"));
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_accept, QDialogButtonBox::AcceptRole);
    buttons->addButton(m_cancel, QDialogButtonBox::RejectRole);
    m_accept->setAutoDefault(false);
    m_cancel->setAutoDefault(false);

    auto *lower = new QHBoxLayout;
    auto *lowerLeft = new QVBoxLayout;
    lowerLeft->addWidget(proxy);
    lowerLeft->addWidget(payment);
    lowerLeft->addStretch(1);
    lower->addLayout(lowerLeft, 2);
    lower->addWidget(site, 3);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(regional);
    layout->addWidget(mail);
    layout->addLayout(lower, 1);
    layout->addWidget(buttons);
    ui::setMinimumWindowSize(this, {800, 560});

    connect(m_accept, &QPushButton::clicked, this, [this] { ui::guardedCall(m_dm.ui(), [this] { acceptClicked(); }); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool FConfig::configure(store::Tdm &dm, QWidget *parent, const std::function<void()> &settingsWritten)
{
    FConfig window(dm, parent);
    if (settingsWritten)
        connect(&window, &FConfig::settingsWritten, &window, settingsWritten);
    return window.exec() == QDialog::Accepted;
}

QLineEdit *FConfig::addEdit(const QString &key)
{
    auto *e = new QLineEdit(this);
    e->setObjectName(controlName("ed_", key));
    e->setMaxLength(kSettingLength);
    return e;
}

QCheckBox *FConfig::addCheckBox(const QString &key, const QString &text)
{
    auto *b = new QCheckBox(text, this);
    b->setObjectName(controlName("cb_", key));
    return b;
}

QLineEdit *FConfig::edit(const QString &key) const
{
    return findChild<QLineEdit *>(controlName("ed_", key));
}

QCheckBox *FConfig::checkBox(const QString &key) const
{
    return findChild<QCheckBox *>(controlName("cb_", key));
}

void FConfig::fill(const ConfigValues &v)
{
    auto set = [this](const char *key, const QString &text) {
        QLineEdit *e = edit(QString::fromLatin1(key));
        e->setText(text);
        e->setCursorPosition(0);
    };
    set("c_regp", v.privateCode);
    set("x_reg", v.officeName);
    set("c_reg", v.officialCode);
    checkBox(QStringLiteral("m_nomi"))->setChecked(v.nominative);
    checkBox(QStringLiteral("m_domic"))->setChecked(v.homeDelivery);
    checkBox(QStringLiteral("m_chkdatbol"))->setChecked(v.checkSlipData);
    set("x_toregp", v.centralAccount);
    set("frec_recep", v.receptionMinutes);
    set("dur_guarda", v.keepAnswersDays);
    set("max_contes", v.maxAnswers);
    set("url_cert", v.certificateUrl);
    checkBox(QStringLiteral("m_impauto"))->setChecked(v.automaticPrinting);
    set("proxy_user", v.proxyUser);
    set("proxy_pass", v.proxyPassword);
    set("http_proxy", v.proxyHost);
    set("http_port", v.proxyPort);
    checkBox(QStringLiteral("m_fecpago"))->setChecked(v.paymentDateRequired);
    set("dias_fpago", v.paymentDays);
}

ConfigValues FConfig::values() const
{
    auto text = [this](const char *key) { return edit(QString::fromLatin1(key))->text(); };
    auto checked = [this](const char *key) { return checkBox(QString::fromLatin1(key))->isChecked(); };
    ConfigValues v;
    v.privateCode = text("c_regp");
    v.officeName = text("x_reg");
    v.officialCode = text("c_reg");
    v.nominative = checked("m_nomi");
    v.homeDelivery = checked("m_domic");
    v.checkSlipData = checked("m_chkdatbol");
    v.centralAccount = text("x_toregp");
    v.receptionMinutes = text("frec_recep");
    v.keepAnswersDays = text("dur_guarda");
    v.maxAnswers = text("max_contes");
    v.certificateUrl = text("url_cert");
    v.automaticPrinting = checked("m_impauto");
    v.proxyUser = text("proxy_user");
    v.proxyPassword = text("proxy_pass");
    v.proxyHost = text("http_proxy");
    v.proxyPort = text("http_port");
    v.paymentDateRequired = checked("m_fecpago");
    v.paymentDays = text("dias_fpago");
    return v;
}

void FConfig::showEvent(QShowEvent *event)
{
    const ConfigValues v = m_rules.load();
    fill(v);
    QDialog::showEvent(event);
    edit(QStringLiteral("c_regp"))->setFocus();
    // The advice comes once the window is on screen.
    QTimer::singleShot(0, this, [this, v] {
        if (isVisible())
            m_rules.adviseProxyReentry(v);
    });
}

bool FConfig::eventFilter(QObject *watched, QEvent *event)
{
    // Whoever goes to change the proxy user types the password again.
    // Focus that merely comes back (after a message box, a switch of windows) is no entering.
    if (event->type() == QEvent::FocusIn && watched == edit(QStringLiteral("proxy_user"))) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            edit(QStringLiteral("proxy_pass"))->clear();
    }
    return QDialog::eventFilter(watched, event);
}

void FConfig::acceptClicked()
{
    switch (m_rules.accept(values())) {
    case ConfigRules::AcceptResult::Saved:
        accept();
        break;
    case ConfigRules::AcceptResult::MissingProxyPassword: {
        QLineEdit *pass = edit(QStringLiteral("proxy_pass"));
        pass->setFocus();
        pass->selectAll();
        break;
    }
    case ConfigRules::AcceptResult::ProxyUserTooLong:
    case ConfigRules::AcceptResult::WriteFailed:
        break;
    }
}

void FConfig::done(int result)
{
    store::Dataset &url = *m_dm.url;
    if (url.isActive() && url.isEditing()) {
        bool saved = false;
        // A row opened and left untouched is dropped; typed input is saved.
        ui::guardedCall(m_dm.ui(), [&] { saved = url.leaveEdit(); });
        if (!saved)
            return;
    }
    QDialog::done(result);
}

} // namespace tav::shell
