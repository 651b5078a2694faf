#include "official/windows/TFped.h"

#include "official/windows/FBusqDel.h"
#include "official/windows/Fbped.h"
#include "official/windows/Fsup.h"
#include "store/Tdm.h"
#include "ui/ComboBinder.h"
#include "ui/DataSource.h"
#include "ui/FieldBinder.h"
#include "ui/FormBuilder.h"
#include "ui/GuardedCall.h"
#include "ui/Navigator.h"
#include "ui/WindowSizing.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace tav::official {

namespace {

const QString notYet = QStringLiteral("Función aún no disponible en esta versión de TAV Regional");

} // namespace

TFped::TFped(store::Tdm &dm, ui::Ui &ui, CaptureServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window), m_dm(dm), m_ui(ui), m_services(services), m_rules(dm, services),
      m_ds(new ui::DataSource(*dm.ped, ui, this)), m_navigator(new ui::Navigator(dm.ped, ui, this)),
      m_offenceButton(new QToolButton(this)), m_fingerprintMenu(new QMenu(this)), m_carpedLabel(nullptr),
      m_carped(nullptr), m_excArt51(nullptr)
{
    setObjectName(QStringLiteral("Fped"));
    setWindowTitle(QStringLiteral("TAV - Pedido Oficial de Antecedentes"));
    m_ds->setAutoEdit(false);

    ui::FormBuilder form(*this, *m_ds);
    // Drop-downs never narrower than a short name ("CAPITAL FEDERAL", "MASCULINO"), whatever the window's size.
    const auto widthOf = [&](const store::Dataset &list) { return &list == m_dm.prov ? 15 : 10; };
    const auto combo = [&](const QString &fieldName, store::Dataset &list, const QString &key, const QString &text,
                           bool readOnly = false) {
        return form.combo(fieldName, list, key, text, widthOf(list), readOnly);
    };
    const auto clearable = [&](const QString &fieldName, store::Dataset &list, const QString &key,
                               const QString &text) {
        return form.clearable(fieldName, list, key, text, widthOf(list));
    };

    // Header: read only.
    auto *header = new QGridLayout;
    header->addWidget(form.label(QStringLiteral("Código de Pedido:")), 0, 0);
    header->addWidget(form.lineEdit(QStringLiteral("C_PED"), {.readOnly = true}), 0, 1);
    header->addWidget(form.label(QStringLiteral("Fecha:")), 0, 2);
    auto *date = new QLineEdit(this);
    date->setObjectName(QStringLiteral("edF_PED"));
    m_ds->bindDateEdit(date, QStringLiteral("F_PED"), true);
    header->addWidget(date, 0, 3);
    header->addWidget(form.label(QStringLiteral("Exp. Nro.:"), QStringLiteral("Expediente:")), 0, 4);
    header->addWidget(form.lineEdit(QStringLiteral("N_EXPE"), {.readOnly = true}), 0, 5);
    header->addWidget(form.label(QStringLiteral("Estado:")), 1, 0);
    header->addWidget(combo(QStringLiteral("C_EST"), *dm.Est, QStringLiteral("C_EST"), QStringLiteral("X_EST"), true),
                      1, 1, 1, 3);
    header->addWidget(form.check(QStringLiteral("Enviado"), QStringLiteral("M_ENVIADO"), true), 1, 4);
    header->addWidget(form.check(QStringLiteral("Contestado"), QStringLiteral("M_CONTESTA"), true), 1, 5);

    // The subject.
    auto *subject = new QGroupBox(QStringLiteral("Datos del Causante"), this);
    auto *s = new QGridLayout(subject);
    int r = 0;
    s->addWidget(form.label(QStringLiteral("Apellidos:")), r, 0);
    s->addWidget(form.upper(QStringLiteral("X_APE1")), r, 1, 1, 2);
    s->addWidget(form.upper(QStringLiteral("X_APE2")), r, 3, 1, 2);
    ++r;
    s->addWidget(form.label(QStringLiteral("Nombres:")), r, 0);
    s->addWidget(form.upper(QStringLiteral("X_NOM1")), r, 1, 1, 2);
    s->addWidget(form.upper(QStringLiteral("X_NOM2")), r, 3, 1, 2);
    s->addWidget(form.upper(QStringLiteral("X_NOM3")), r, 5);
    ++r;
    s->addWidget(form.label(QStringLiteral("Sexo:")), r, 0);
    s->addLayout(clearable(QStringLiteral("C_SEXO"), *dm.sexo, QStringLiteral("C_SEXO"), QStringLiteral("X_SEXO")), r,
                 1);
    s->addWidget(form.label(QStringLiteral("Nac.:"), QStringLiteral("Nacionalidad:")), r, 2);
    s->addLayout(clearable(QStringLiteral("C_NAC"), *dm.nac, QStringLiteral("C_NAC"), QStringLiteral("X_NAC")), r, 3, 1,
                 2);
    ++r;
    s->addWidget(form.label(QStringLiteral("Fecha de Nacimiento:")), r, 0);
    auto *birth = new QLineEdit(this);
    birth->setObjectName(QStringLiteral("edF_NAC"));
    m_ds->bindDateEdit(birth, QStringLiteral("F_NAC"));
    s->addWidget(birth, r, 1);
    s->addWidget(form.label(QStringLiteral("Edad presunta:")), r, 2);
    s->addWidget(form.lineEdit(QStringLiteral("N_EDAD")), r, 3);
    ++r;
    s->addWidget(form.label(QStringLiteral("Tipo Doc.:"), QStringLiteral("Tipo de Documento:")), r, 0);
    s->addLayout(clearable(QStringLiteral("C_TDOC"), *dm.tdoc, QStringLiteral("C_TDOC"), QStringLiteral("X_TDOC")), r,
                 1);
    s->addWidget(form.label(QStringLiteral("Número:")), r, 2);
    s->addWidget(form.lineEdit(QStringLiteral("N_DOC"), {.digitsOnly = true, .maxLength = 8}), r, 3);
    s->addWidget(form.label(QStringLiteral("Exped. por:")), r, 4);
    s->addLayout(clearable(QStringLiteral("C_PROVCI"), *dm.prov, QStringLiteral("C_PROV"), QStringLiteral("X_PROV")), r,
                 5);
    ++r;
    s->addWidget(form.label(QStringLiteral("Prefijo:")), r, 0);
    s->addWidget(form.lineEdit(QStringLiteral("C_PREFIJO")), r, 1);
    s->addWidget(form.label(QStringLiteral("Sufijo:")), r, 2);
    s->addWidget(form.lineEdit(QStringLiteral("C_SUFIJO")), r, 3);
    ++r;
    s->addWidget(form.label(QStringLiteral("Nombres Padre:")), r, 0);
    s->addWidget(form.upper(QStringLiteral("X_NOMPADR1")), r, 1);
    s->addWidget(form.upper(QStringLiteral("X_NOMPADR2")), r, 2, 1, 2);
    s->addWidget(form.upper(QStringLiteral("X_NOMPADR3")), r, 4, 1, 2);
    ++r;
    s->addWidget(form.label(QStringLiteral("Apellidos Madre:")), r, 0);
    s->addWidget(form.upper(QStringLiteral("X_APEMADR1")), r, 1);
    s->addWidget(form.upper(QStringLiteral("X_APEMADR2")), r, 2, 1, 2);
    ++r;
    s->addWidget(form.label(QStringLiteral("Nombres Madre:")), r, 0);
    s->addWidget(form.upper(QStringLiteral("X_NOMMADR1")), r, 1);
    s->addWidget(form.upper(QStringLiteral("X_NOMMADR2")), r, 2, 1, 2);
    s->addWidget(form.upper(QStringLiteral("X_NOMMADR3")), r, 4, 1, 2);
    ++r;
    auto *flags = new QHBoxLayout;
    m_excArt51 = form.check(QStringLiteral("Excep.Art.51"), QStringLiteral("M_EXCART51"));
    m_excArt51->setToolTip(QStringLiteral("Excepción Art. 51"));
    QCheckBox *vaz = form.check(QStringLiteral("Fich.tomada en VAZ"), QStringLiteral("M_TOMA_VAZ"));
    vaz->setToolTip(QStringLiteral("Ficha tomada en VAZ"));
    flags->addWidget(m_excArt51);
    flags->addWidget(vaz);
    flags->addWidget(form.check(QStringLiteral("Especial"), QStringLiteral("M_ESPECIAL")));
    flags->addWidget(form.check(QStringLiteral("Menor de 16"), QStringLiteral("M_MENOR")));
    flags->addStretch(1);
    QPushButton *korvast = form.pushButton(QStringLiteral("Estado &Korvast"), QStringLiteral("btKorvast"));
    flags->addWidget(korvast);
    s->addLayout(flags, r, 0, 1, 6);
    for (int c : {1, 3, 5})
        s->setColumnStretch(c, 1);

    // The requesting organisation.
    auto *organisation = new QGroupBox(QStringLiteral("Organismo Requirente"), this);
    auto *o = new QGridLayout(organisation);
    r = 0;
    o->addWidget(form.label(QStringLiteral("Fuero, Competencia y Nro:")), r, 0);
    QComboBox *org = combo(QStringLiteral("C_ORG"), *dm.org, QStringLiteral("C_ORG"), QStringLiteral("X_ORG"));
    o->addWidget(org, r, 1, 1, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Secretaria:")), r, 0);
    o->addWidget(form.upper(QStringLiteral("X_SEC")), r, 1, 1, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Calle y Nro:")), r, 0);
    o->addWidget(form.lineEdit(QStringLiteral("X_DOM")), r, 1, 1, 3);
    o->addWidget(form.label(QStringLiteral("Localidad:")), r, 4);
    o->addWidget(form.upper(QStringLiteral("X_LOC")), r, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Provincia:")), r, 0);
    o->addLayout(clearable(QStringLiteral("C_PROV"), *dm.prov, QStringLiteral("C_PROV"), QStringLiteral("X_PROV")), r,
                 1);
    o->addWidget(form.label(QStringLiteral("Código Postal:")), r, 2);
    o->addWidget(form.lineEdit(QStringLiteral("C_CODPOS")), r, 3);
    o->addWidget(form.label(QStringLiteral("Causa Nro:")), r, 4);
    o->addWidget(form.lineEdit(QStringLiteral("N_CAUSA")), r, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Prioridad:")), r, 0);
    o->addLayout(clearable(QStringLiteral("C_PRIOR"), *dm.prior, QStringLiteral("C_PRIOR"), QStringLiteral("X_PRIOR")),
                 r, 1);
    m_carpedLabel = form.label(QStringLiteral("Carácter:"));
    o->addWidget(m_carpedLabel, r, 2);
    m_carped = combo(QStringLiteral("C_CARPED"), *dm.carped, QStringLiteral("C_CARPED"), QStringLiteral("X_CARPED"));
    o->addWidget(m_carped, r, 3, 1, 3);
    ++r;
    o->addWidget(form.label(QStringLiteral("Delito:")), r, 0);
    auto *offence = new QHBoxLayout;
    QLineEdit *offenceCode = form.lineEdit(QStringLiteral("C_TDEL"));
    ui::setWidthInCharacters(offenceCode, 6);
    offence->addWidget(offenceCode);
    auto *offenceName = new QComboBox(this);
    offenceName->setObjectName(QStringLiteral("cbX_TDEL"));
    m_ds->bindComboBox(offenceName, QStringLiteral("C_TDEL"), *dm.tdel, QStringLiteral("C_TDEL"),
                       QStringLiteral("X_TDEL"), true);
    offenceName->setEnabled(false);
    offence->addWidget(offenceName, 1);
    m_offenceButton->setObjectName(QStringLiteral("btDelito"));
    m_offenceButton->setText(QStringLiteral(". . ."));
    m_offenceButton->setToolTip(QStringLiteral("Selección del delito"));
    m_offenceButton->setEnabled(false);
    offence->addWidget(m_offenceButton);
    o->addLayout(offence, r, 1, 1, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Detalle:"), QStringLiteral("Detalle del delito")), r, 0);
    o->addWidget(form.upper(QStringLiteral("X_DELITO")), r, 1, 1, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("E-Mail:")), r, 0);
    o->addWidget(form.lineEdit(QStringLiteral("X_EMAIL")), r, 1, 1, 5);
    ++r;
    o->addWidget(form.label(QStringLiteral("Observ.:"), QStringLiteral("Observaciones")), r, 0);
    o->addWidget(form.lineEdit(QStringLiteral("X_OBS")), r, 1, 1, 5);
    for (int c : {1, 3, 5})
        o->setColumnStretch(c, 1);

    m_navigator->setObjectName(QStringLiteral("nvPed"));
    m_navigator->setHints(ui::Navigator::recordHints());

    QPushButton *quit = form.pushButton(QStringLiteral("&Salir"), QStringLiteral("btSalir"));
    QPushButton *prints = form.pushButton(QStringLiteral("&Imp.Dactilares"), QStringLiteral("btDactilares"),
                                          QStringLiteral("Impresiones Dactilares"));
    QPushButton *send = form.pushButton(QStringLiteral("&Enviar"), QStringLiteral("btEnviar"));
    QPushButton *answer = form.pushButton(QStringLiteral("&Contestación"), QStringLiteral("btContestacion"));
    QPushButton *alias = form.pushButton(QStringLiteral("Supuestos"), QStringLiteral("btSupuestos"));
    QPushButton *find = form.pushButton(QStringLiteral("&Buscar"), QStringLiteral("btBuscar"));
    QPushButton *officialLetter = form.pushButton(QStringLiteral("&Oficio"), QStringLiteral("btOficio"));
    QPushButton *documents = form.pushButton(QStringLiteral("Documentación"), QStringLiteral("btDocumentacion"));
    QAction *scanCard = m_fingerprintMenu->addAction(QStringLiteral("&Digitalizar Ficha"));
    scanCard->setObjectName(QStringLiteral("miDigitalizar"));
    QAction *liveScan = m_fingerprintMenu->addAction(QStringLiteral("&LiveScan"));
    liveScan->setObjectName(QStringLiteral("miLiveScan"));
    liveScan->setEnabled(false);
    liveScan->setToolTip(QStringLiteral("Disponible cuando se instale la captura con LiveScan"));

    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {prints, documents, alias, send, answer, find, officialLetter})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(quit);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(header);
    layout->addWidget(subject);
    layout->addWidget(organisation);
    layout->addWidget(m_navigator);
    layout->addLayout(buttons);
    ui::setMinimumWindowSize(this, {640, 560});

    m_navigator->beforeAction = [this](ui::Navigator::Action action) {
        return m_rules.beforeRequestAction(static_cast<OfficialWindowRules::Action>(action));
    };
    const auto guarded = [this](std::function<void()> command) {
        return [this, command] { ui::guardedCall(m_ui, command); };
    };
    connect(dm.ped, &store::Dataset::stateChanged, this,
            [this] { m_offenceButton->setEnabled(m_dm.ped->isEditing()); });
    connect(offenceCode, &QLineEdit::editingFinished, this, guarded([this] { m_rules.offenceCodeLeft(); }));
    connect(org, &QComboBox::activated, this, guarded([this] { m_rules.organisationChosen(); }));
    connect(m_offenceButton, &QToolButton::clicked, this, guarded([this] { chooseOffence(); }));
    connect(quit, &QPushButton::clicked, this, &QWidget::close);
    // After "+" or the edit button the person types the subject's surname first.
    connect(m_navigator, &ui::Navigator::clicked, this, [this](ui::Navigator::Action action) {
        if (action == ui::Navigator::Insert || action == ui::Navigator::Edit)
            if (auto *surname = findChild<QLineEdit *>(QStringLiteral("edX_APE1")))
                surname->setFocus(Qt::OtherFocusReason);
    });
    connect(prints, &QPushButton::clicked, this, guarded([this] { fingerprints(); }));
    connect(scanCard, &QAction::triggered, this, guarded([this] { m_rules.captureCard(); }));
    connect(documents, &QPushButton::clicked, this, guarded([this] { m_rules.captureDocuments(); }));
    connect(answer, &QPushButton::clicked, this, guarded([this] { m_rules.showAnswer(); }));
    connect(alias, &QPushButton::clicked, this, guarded([this] { aliases(); }));
    connect(find, &QPushButton::clicked, this, guarded([this] { findRequest(); }));
    connect(officialLetter, &QPushButton::clicked, this, guarded([this] { letter(); }));
    connect(korvast, &QPushButton::clicked, this, guarded([this] { statusQuery(); }));
    connect(send, &QPushButton::clicked, this, guarded([this] {
                if (sendRequest)
                    sendRequest();
            }));
    prints->setEnabled(static_cast<bool>(services.captureCard));
    documents->setEnabled(static_cast<bool>(services.captureDocuments));
    updateHookButtons();
    applyVisibility();
}

TFped::~TFped() = default;

QPushButton *TFped::button(const QString &objectName) const
{
    return findChild<QPushButton *>(objectName);
}

void TFped::updateHookButtons()
{
    const auto hook = [this](const char *name, bool available) {
        QPushButton *b = button(QString::fromLatin1(name));
        b->setEnabled(available);
        b->setToolTip(available ? QString() : notYet);
    };
    hook("btEnviar", static_cast<bool>(sendRequest));
    hook("btKorvast", static_cast<bool>(centralStatus));
    button(QStringLiteral("btOficio"))->setEnabled(static_cast<bool>(previewLetter));
}

void TFped::applyVisibility()
{
    m_carpedLabel->setVisible(m_dm.nominativeRequests);
    m_carped->setVisible(m_dm.nominativeRequests);
    bool branch = false;
    if (m_dm.amb->isActive())
        ui::guardedCall(m_ui, [&] { branch = m_dm.readSetting(QStringLiteral("m_es_suc")) == QLatin1String("S"); });
    m_excArt51->setVisible(branch);
    // The status at the central office of a branch's requests.
    button(QStringLiteral("btKorvast"))->setVisible(branch);
}

void TFped::closeEvent(QCloseEvent *event)
{
    // A pending edit is saved, discarded or kept as the person answers; it is never lost silently.
    bool leave = false;
    ui::guardedCall(m_ui, [&] {
        // Input a control still holds (a date being typed) counts as part of the edit.
        if (m_dm.ped->isEditing() && !ui::FieldBinder::commitPending(*m_dm.ped))
            return;
        leave = m_rules.leaveRequestEdit();
    });
    if (leave)
        event->accept();
    else
        event->ignore();
}

void TFped::showEvent(QShowEvent *event)
{
    applyVisibility();
    QWidget::showEvent(event);
}

int TFped::runModal(QWidget *dialog)
{
    auto *d = static_cast<QDialog *>(dialog);
    if (beforeModal) {
        beforeModal(d);
        return d->result();
    }
    return d->exec();
}

void TFped::fingerprints()
{
    if (!m_dm.liveScanConfigured) {
        m_rules.captureCard();
        return;
    }
    QPushButton *b = button(QStringLiteral("btDactilares"));
    m_fingerprintMenu->popup(b->mapToGlobal(QPoint(0, b->height())));
}

void TFped::findRequest()
{
    Fbped finder(*m_dm.ped, m_ui, this);
    runModal(&finder);
}

void TFped::aliases()
{
    Fsup window(m_dm, m_ui, m_rules, this);
    runModal(&window);
}

void TFped::chooseOffence()
{
    if (!m_rules.offenceChooserAllowed())
        return;
    FBusqDel chooser(m_dm, m_ui, this);
    runModal(&chooser);
}

void TFped::letter()
{
    if (m_rules.letterAllowed() && previewLetter)
        previewLetter();
}

void TFped::statusQuery()
{
    if (!m_rules.statusQueryAllowed() || !centralStatus)
        return;
    const store::Dataset &ped = *m_dm.ped;
    centralStatus(ped.field(QStringLiteral("C_PED")).asInteger(), ped.field(QStringLiteral("N_EXPE")).asInteger(),
                  ped.field(QStringLiteral("C_REG")).asInteger(), QStringLiteral("U"));
}

} // namespace tav::official
