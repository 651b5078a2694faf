#include "personal/windows/TFPedP.h"

#include "official/OfficialWindowRules.h"
#include "official/windows/Fbped.h"
#include "personal/PersonalRules.h"
#include "store/Tdm.h"
#include "ui/ComboBinder.h"
#include "ui/DataSource.h"
#include "ui/FieldBinder.h"
#include "ui/FormBuilder.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace tav::personal {

namespace {

const QString notYet = QStringLiteral("Función aún no disponible en esta versión de TAV Regional");

} // namespace

TFPedP::TFPedP(store::Tdm &dm, ui::Ui &ui, PersonalRules &rules, SlipLookup &slips, official::CaptureServices &captures,
               PersonalHooks &hooks, QWidget *parent)
    : QWidget(parent, Qt::Window), m_dm(dm), m_ui(ui), m_hooks(hooks), m_rules(dm, rules, slips, captures, hooks),
      m_ds(new ui::DataSource(*dm.pedp, ui, this)), m_navigator(new ui::Navigator(dm.pedp, ui, this)),
      m_fingerprintMenu(new QMenu(this))
{
    setObjectName(PersonalRules::windowName());
    setWindowTitle(QStringLiteral("TAV - Pedido Personal de Antecedentes"));
    m_ds->setAutoEdit(false);

    ui::FormBuilder form(*this, *m_ds);
    constexpr int kComboWidth = 12; // characters a drop-down always shows
    const auto combo = [&](const QString &fieldName, store::Dataset &list, const QString &key, const QString &text) {
        return form.combo(fieldName, list, key, text, kComboWidth);
    };
    const auto clearable = [&](const QString &fieldName, store::Dataset &list, const QString &key,
                               const QString &text) { return form.clearable(fieldName, list, key, text, kComboWidth); };

    // The applicant.
    auto *person = new QGroupBox(QStringLiteral("Datos Personales del Solicitante"), this);
    auto *p = new QGridLayout(person);
    int r = 0;
    p->addWidget(form.label(QStringLiteral("Apellidos:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_APE1")), r, 1, 1, 2);
    p->addWidget(form.upper(QStringLiteral("X_APE2")), r, 3, 1, 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Otros Apellidos:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_OAPE")), r, 1, 1, 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Nombres:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_NOM1")), r, 1, 1, 2);
    p->addWidget(form.upper(QStringLiteral("X_NOM2")), r, 3, 1, 2);
    p->addWidget(form.upper(QStringLiteral("X_NOM3")), r, 5);
    ++r;
    p->addWidget(form.label(QStringLiteral("Sexo:")), r, 0);
    p->addLayout(clearable(QStringLiteral("C_SEXO"), *dm.sexo, QStringLiteral("C_SEXO"), QStringLiteral("X_SEXO")), r,
                 1);
    p->addWidget(form.label(QStringLiteral("Nacionalidad:")), r, 2);
    p->addLayout(clearable(QStringLiteral("C_NAC"), *dm.nac, QStringLiteral("C_NAC"), QStringLiteral("X_NAC")), r, 3, 1,
                 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Fecha de Nacimiento:")), r, 0);
    p->addWidget(form.dateEdit(QStringLiteral("F_NAC")), r, 1);
    m_excArt51 = new QCheckBox(QStringLiteral("Excepción art. 51"), this);
    m_excArt51->setObjectName(QStringLiteral("ckM_EXCART51"));
    m_ds->bindCheckBox(m_excArt51, QStringLiteral("M_EXCART51"));
    p->addWidget(m_excArt51, r, 3, 1, 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Nombres Padre:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_NOMPADR1")), r, 1);
    p->addWidget(form.upper(QStringLiteral("X_NOMPADR2")), r, 2, 1, 2);
    p->addWidget(form.upper(QStringLiteral("X_NOMPADR3")), r, 4, 1, 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Apellidos Madre:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_APEMADR1")), r, 1);
    p->addWidget(form.upper(QStringLiteral("X_APEMADR2")), r, 2, 1, 2);
    ++r;
    p->addWidget(form.label(QStringLiteral("Nombres Madre:")), r, 0);
    p->addWidget(form.upper(QStringLiteral("X_NOMMADR1")), r, 1);
    p->addWidget(form.upper(QStringLiteral("X_NOMMADR2")), r, 2, 1, 2);
    p->addWidget(form.upper(QStringLiteral("X_NOMMADR3")), r, 4, 1, 2);
    ++r;
    auto *document = new QGroupBox(QStringLiteral("Documento"), this);
    auto *d = new QGridLayout(document);
    d->addWidget(form.label(QStringLiteral("Número:")), 0, 0);
    d->addWidget(form.lineEdit(QStringLiteral("N_DOC"), {.digitsOnly = true, .maxLength = 8}), 0, 1);
    d->addWidget(form.label(QStringLiteral("Doc. Tipo:")), 0, 2);
    d->addLayout(clearable(QStringLiteral("C_TDOC"), *dm.tdoc, QStringLiteral("C_TDOC"), QStringLiteral("X_TDOC")), 0,
                 3);
    d->addWidget(form.label(QStringLiteral("Expedido por:")), 1, 0);
    d->addLayout(clearable(QStringLiteral("C_EXPP"), *dm.expp, QStringLiteral("C_EXPP"), QStringLiteral("X_EXPP")), 1,
                 1, 1, 3);
    d->addWidget(form.label(QStringLiteral("Prefijo:")), 2, 0);
    d->addWidget(form.lineEdit(QStringLiteral("C_PREFIJO")), 2, 1);
    d->addWidget(form.label(QStringLiteral("Sufijo:")), 2, 2);
    d->addWidget(form.lineEdit(QStringLiteral("C_SUFIJO")), 2, 3);
    d->setColumnStretch(1, 1);
    d->setColumnStretch(3, 1);
    p->addWidget(document, r, 0, 1, 5);
    auto *personButtons = new QVBoxLayout;
    QPushButton *receiptButton = form.pushButton(QStringLiteral("Com&probante"), QStringLiteral("btImpComp"));
    QPushButton *statusButton = form.pushButton(QStringLiteral("Estado &Korvast"), QStringLiteral("btEstKorvast"));
    QPushButton *regenerateButton = form.pushButton(QStringLiteral("&Regenerar"), QStringLiteral("btRegen"));
    regenerateButton->setToolTip(QStringLiteral("Regenerar el código de seguridad"));
    for (QPushButton *b : {receiptButton, statusButton, regenerateButton})
        personButtons->addWidget(b);
    personButtons->addStretch(1);
    p->addLayout(personButtons, r, 5);
    p->setRowStretch(r + 1, 1); // a taller window leaves its room below the document, not inside it
    for (int c : {1, 3, 5})
        p->setColumnStretch(c, 1);

    // The applicant's address.
    auto *address = new QGroupBox(QStringLiteral("Domicilio del Solicitante"), this);
    auto *a = new QGridLayout(address);
    a->addWidget(form.label(QStringLiteral("Calle y Número:")), 0, 0);
    a->addWidget(form.upper(QStringLiteral("X_DOM_S")), 0, 1, 1, 3);
    a->addWidget(form.label(QStringLiteral("Localidad:")), 1, 0);
    a->addWidget(form.upper(QStringLiteral("X_LOC_S")), 1, 1);
    a->addWidget(form.label(QStringLiteral("Código Postal:")), 1, 2);
    a->addWidget(form.lineEdit(QStringLiteral("C_CODPOS_S")), 1, 3);
    a->addWidget(form.label(QStringLiteral("Provincia:")), 2, 0);
    a->addLayout(clearable(QStringLiteral("C_PROV_S"), *dm.prov, QStringLiteral("C_PROV"), QStringLiteral("X_PROV")), 2,
                 1);
    a->setColumnStretch(1, 1);
    a->setColumnStretch(3, 1);

    // The request.
    auto *request = new QGroupBox(QStringLiteral("Datos del Pedido"), this);
    auto *q = new QGridLayout(request);
    q->addWidget(form.label(QStringLiteral("Pedido:")), 0, 0);
    q->addWidget(form.readOnly(QStringLiteral("C_PED")), 0, 1);
    q->addWidget(form.label(QStringLiteral("Nro.Exp.:"), QStringLiteral("Número de Expediente")), 0, 2);
    q->addWidget(form.readOnly(QStringLiteral("N_EXPE"), QStringLiteral("Número de Expediente")), 0, 3);
    q->addWidget(form.label(QStringLiteral("Estado:"), QStringLiteral("Estado del pedido")), 1, 0);
    q->addWidget(form.readOnly(QStringLiteral("x_est"), QStringLiteral("Estado del pedido")), 1, 1);
    q->addWidget(form.label(QStringLiteral("Fecha:")), 1, 2);
    q->addWidget(form.dateEdit(QStringLiteral("F_PED"), true), 1, 3);
    q->addWidget(form.label(QStringLiteral("Prior.:"), QStringLiteral("Prioridad")), 2, 0);
    q->addWidget(form.readOnly(QStringLiteral("X_PRIOR"), QStringLiteral("Prioridad")), 2, 1);
    q->addWidget(form.label(QStringLiteral("Observaciones:")), 3, 0);
    q->addWidget(form.upper(QStringLiteral("X_OBS")), 3, 1, 1, 3);
    q->addWidget(form.label(QStringLiteral("Fecha de pago:")), 4, 0);
    auto *payment = new QHBoxLayout;
    m_paymentDate = form.dateEdit(QStringLiteral("F_PAGO"));
    auto *clearPayment = ui::ComboBinder::createClearButton(this);
    clearPayment->setObjectName(QStringLiteral("btClearF_PAGO"));
    payment->addWidget(m_paymentDate, 1);
    payment->addWidget(clearPayment);
    q->addLayout(payment, 4, 1);
    q->addWidget(form.label(QStringLiteral("Talón de pago:")), 5, 0);
    m_paymentCode = form.upper(QStringLiteral("C_PAGO"));
    q->addWidget(m_paymentCode, 5, 1, 1, 3);
    m_homePaymentLabel = form.label(QStringLiteral("Talón de pago domiciliario:"));
    q->addWidget(m_homePaymentLabel, 6, 0);
    m_homePaymentCode = form.upper(QStringLiteral("C_PAGO_DOMIC"));
    q->addWidget(m_homePaymentCode, 6, 1, 1, 3);
    q->addWidget(form.label(QStringLiteral("Tipo de Trámite.:")), 7, 0);
    m_procedureTypes = combo(QStringLiteral("C_TRAM"), *dm.tram, QStringLiteral("C_TRAM"), QStringLiteral("X_TRAM"));
    q->addWidget(m_procedureTypes, 7, 1, 1, 3);
    q->setColumnStretch(1, 1);
    q->setColumnStretch(3, 1);
    q->setRowStretch(8, 1);

    m_navigator->setObjectName(QStringLiteral("nvPed"));
    m_navigator->setHints(ui::Navigator::recordHints());

    QPushButton *prints = form.pushButton(QStringLiteral("&Impresiones Dactilares"), QStringLiteral("btDig"));
    QPushButton *send = form.pushButton(QStringLiteral("&Enviar"), QStringLiteral("btEnv"));
    QPushButton *answer = form.pushButton(QStringLiteral("&Contestación"), QStringLiteral("btContes"));
    QPushButton *find = form.pushButton(QStringLiteral("&Buscar"), QStringLiteral("btBus"));
    QPushButton *documents = form.pushButton(QStringLiteral("&Documento"), QStringLiteral("btDoc"));
    QPushButton *quit = form.pushButton(QStringLiteral("&Salir"), QStringLiteral("btSalir"));
    QAction *scanCard = m_fingerprintMenu->addAction(QStringLiteral("&Digitalizar Ficha"));
    scanCard->setObjectName(QStringLiteral("DigitalizarFicha1"));
    QAction *liveScan = m_fingerprintMenu->addAction(QStringLiteral("&LiveScan"));
    liveScan->setObjectName(QStringLiteral("LiveScan1"));
    liveScan->setEnabled(false);
    liveScan->setToolTip(QStringLiteral("Disponible cuando se instale la captura con LiveScan"));
    m_fingerprintMenu->setToolTipsVisible(true);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {prints, send, answer, find, documents})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(quit);

    auto *right = new QVBoxLayout;
    right->addWidget(address);
    right->addWidget(request, 1);
    auto *groups = new QHBoxLayout;
    groups->addWidget(person, 3);
    groups->addLayout(right, 2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups, 1);
    layout->addWidget(m_navigator);
    layout->addLayout(buttons);
    ui::setMinimumWindowSize(this, {900, 560});

    m_navigator->beforeAction = [this](ui::Navigator::Action action) {
        if (!m_rules.beforeAction(static_cast<PersonalWindowRules::Action>(action)))
            return false;
        if (action == ui::Navigator::Insert)
            m_procedureTypes->setEnabled(true);
        return true;
    };
    const auto guarded = [this](std::function<void()> command) {
        return [this, command] { ui::guardedCall(m_ui, command); };
    };
    // After "+" or the edit button the person types the applicant's surname first.
    connect(m_navigator, &ui::Navigator::clicked, this, [this](ui::Navigator::Action action) {
        if (action == ui::Navigator::Insert || action == ui::Navigator::Edit)
            edit(QStringLiteral("X_APE1"))->setFocus(Qt::OtherFocusReason);
    });
    connect(clearPayment, &QToolButton::clicked, this, guarded([this] {
                if (m_dm.pedp->isEditing())
                    m_dm.pedp->field(QStringLiteral("F_PAGO")).clear();
            }));
    connect(m_dm.pedp, &store::Dataset::stateChanged, clearPayment,
            [this, clearPayment] { clearPayment->setEnabled(m_dm.pedp->isEditing()); });
    clearPayment->setEnabled(false);
    for (QLineEdit *e : {m_paymentCode, m_homePaymentCode})
        e->installEventFilter(this);
    connect(quit, &QPushButton::clicked, this, &QWidget::close);
    connect(prints, &QPushButton::clicked, this, guarded([this] { fingerprints(); }));
    connect(scanCard, &QAction::triggered, this, guarded([this] { m_rules.captureCard(); }));
    connect(documents, &QPushButton::clicked, this, guarded([this] { m_rules.captureDocuments(); }));
    connect(send, &QPushButton::clicked, this, guarded([this] { m_rules.send(); }));
    connect(answer, &QPushButton::clicked, this, guarded([this] { m_rules.showAnswer(); }));
    connect(find, &QPushButton::clicked, this, guarded([this] { findRequest(); }));
    connect(receiptButton, &QPushButton::clicked, this, guarded([this] { m_rules.receipt(); }));
    connect(statusButton, &QPushButton::clicked, this, guarded([this] { m_rules.statusQuery(); }));
    connect(regenerateButton, &QPushButton::clicked, this, guarded([this] { m_rules.regenerate(); }));
    prints->setEnabled(static_cast<bool>(captures.captureCard));
    documents->setEnabled(static_cast<bool>(captures.captureDocuments));
    updateHookButtons();
    applyVisibility();
}

TFPedP::~TFPedP() = default;

QPushButton *TFPedP::button(const QString &objectName) const
{
    return findChild<QPushButton *>(objectName);
}

QLineEdit *TFPedP::edit(const QString &fieldName) const
{
    return findChild<QLineEdit *>(QStringLiteral("ed") + fieldName);
}

void TFPedP::updateHookButtons()
{
    const auto hook = [this](const char *name, bool available) {
        QPushButton *b = button(QString::fromLatin1(name));
        b->setEnabled(available);
        b->setToolTip(available ? QString() : notYet);
    };
    hook("btEnv", static_cast<bool>(m_hooks.send));
    hook("btEstKorvast", static_cast<bool>(m_hooks.centralStatus));
}

void TFPedP::applyVisibility()
{
    bool branch = false;
    bool homeDelivery = false;
    if (m_dm.amb->isActive())
        ui::guardedCall(m_ui, [&] {
            branch = m_dm.readSetting(QStringLiteral("m_es_suc")) == QLatin1String("S");
            homeDelivery = m_dm.readSetting(QStringLiteral("m_domic")) == QLatin1String("S");
        });
    button(QStringLiteral("btEstKorvast"))->setVisible(branch);
    m_excArt51->setVisible(branch);
    m_homePaymentLabel->setVisible(homeDelivery);
    m_homePaymentCode->setVisible(homeDelivery);
}

void TFPedP::showEvent(QShowEvent *event)
{
    applyVisibility();
    // Centred on the screen the first time; afterwards where the person left it.
    if (!m_placed) {
        m_placed = true;
        if (QScreen *s = screen())
            move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    QWidget::showEvent(event);
}

void TFPedP::closeEvent(QCloseEvent *event)
{
    // "&Salir" only hides the window; the row's edit state belongs to the table and outlives it.
    event->accept();
}

bool TFPedP::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_paymentCode && watched != m_homePaymentCode)
        return QWidget::eventFilter(watched, event);
    auto *e = static_cast<QLineEdit *>(watched);
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::MouseButtonRelease:
        // A click or entering the edit selects its whole text, so a new code replaces the old one.
        QTimer::singleShot(0, e, [e] { e->selectAll(); });
        break;
    case QEvent::KeyRelease: {
        const auto key = static_cast<QKeyEvent *>(event)->key();
        m_procedureTypes->setEnabled(true);
        m_lastApplied.clear();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            ui::guardedCall(m_ui, [this] { slipEnter(); });
        break;
    }
    case QEvent::FocusOut:
        if (!m_paymentCode->text().trimmed().isEmpty() && m_paymentCode->text().trimmed() != m_lastApplied)
            ui::guardedCall(m_ui, [this] { slipEnter(); });
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TFPedP::slipEnter()
{
    // Both payment-code edits act on the payment code.
    const QString text = m_paymentCode->text();
    m_lastApplied = text.trimmed();
    const PersonalWindowRules::SlipEntry entry = m_rules.slipCodeEntered(text);
    if (entry.failed) {
        m_paymentCode->setFocus(Qt::OtherFocusReason);
        m_paymentCode->selectAll();
        return;
    }
    if (entry.applied)
        m_procedureTypes->setEnabled(false);
    if (entry.focusPaymentDate)
        m_paymentDate->setFocus(Qt::OtherFocusReason);
}

bool TFPedP::leaveEdit()
{
    bool leave = false;
    ui::guardedCall(m_ui, [&] {
        if (m_dm.pedp->isEditing() && !ui::FieldBinder::commitPending(*m_dm.pedp))
            return;
        leave = official::OfficialWindowRules::askToLeaveEdit(
            m_dm, *m_dm.pedp, QStringLiteral("El pedido personal tiene cambios sin grabar.\r¿Desea grabarlos?"),
            [this] { return m_rules.beforeAction(PersonalWindowRules::Action::Post); });
    });
    return leave;
}

void TFPedP::fingerprints()
{
    if (!m_dm.liveScanConfigured) {
        m_rules.captureCard();
        return;
    }
    QPushButton *b = button(QStringLiteral("btDig"));
    m_fingerprintMenu->popup(mapToGlobal(b->geometry().topLeft()));
}

void TFPedP::findRequest()
{
    official::Fbped finder(*m_dm.pedp, m_ui, this);
    if (beforeModal) {
        beforeModal(&finder);
        return;
    }
    finder.exec();
}

} // namespace tav::personal
