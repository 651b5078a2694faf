#include "personal/windows/TFCompPedBol.h"

#include "store/Tdm.h"
#include "ui/WindowSizing.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

namespace tav::personal {

namespace {

QString objectNameOf(const QString &label)
{
    QString name;
    for (const QChar c : label)
        if (c.isLetterOrNumber())
            name += c;
    return name;
}

QString joined(const store::Dataset &d, std::initializer_list<const char *> names)
{
    QStringList parts;
    for (const char *n : names)
        parts << d.field(QString::fromLatin1(n)).asString();
    return parts.join(QLatin1Char(' '));
}

QString text(const store::Dataset &d, const char *name)
{
    return d.isActive() && !d.isEmpty() ? d.field(QString::fromLatin1(name)).asString() : QString();
}

QString number(const store::Dataset &d, const char *name)
{
    const store::Field &f = d.field(QString::fromLatin1(name));
    return f.isNull() ? QString() : QString::number(std::llround(f.asFloat()));
}

QString date(const store::Dataset &d, const char *name)
{
    const store::Field &f = d.field(QString::fromLatin1(name));
    return f.isNull() ? QString() : f.asDate().toString(QStringLiteral("dd/MM/yyyy"));
}

} // namespace

TFCompPedBol::TFCompPedBol(store::Tdm &dm, ui::Ui &ui, QWidget *parent)
    : QDialog(parent), m_dm(dm), m_ui(ui), m_request(new QGridLayout), m_slip(new QGridLayout)
{
    setObjectName(QStringLiteral("FCompPedBol"));
    setWindowTitle(QStringLiteral("Comparativo de Pedido - Boleta"));
    setModal(true);
    auto *heading = new QLabel(
        QStringLiteral("Algunos datos del pedido difieren con los de la boleta. Por favor verifique:"), this);
    heading->setWordWrap(true);
    auto *requestBox = new QGroupBox(QStringLiteral("Pedido Privado TAV"), this);
    auto *slipBox = new QGroupBox(QStringLiteral("Boleta "), this);
    requestBox->setLayout(m_request);
    slipBox->setLayout(m_slip);
    for (QGridLayout *g : {m_request, m_slip})
        g->setColumnStretch(1, 1);

    const std::pair<const char *, bool> rows[] = {{"Apellidos:", true},
                                                  {"Nombres:", true},
                                                  {"Sexo:", true},
                                                  {"Fecha de Nacimiento:", true},
                                                  {"Nacionalidad:", true},
                                                  {"Tipo Documento:", true},
                                                  {"Número:", true},
                                                  {"Prefijo:", false},
                                                  {"Sufijo:", false},
                                                  {"Nombres Padre:", true},
                                                  {"Apellidos Madre:", true},
                                                  {"Nombres Madre:", true},
                                                  {"Clas. Dact. Derecha:", false},
                                                  {"Clas. Dact. Izquierda:", false}};
    for (const auto &[label, coloured] : rows)
        addRow(QString::fromUtf8(label), coloured);
    // The request's own number and office, and the slip's code.
    const auto extra = [this](QGridLayout *g, const QString &label) {
        const int r = g->rowCount();
        g->addWidget(new QLabel(label, this), r, 0);
        auto *value = new QLabel(this);
        value->setObjectName((g == m_request ? QStringLiteral("lbPed") : QStringLiteral("lbBol")) +
                             objectNameOf(label));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        g->addWidget(value, r, 1);
    };
    extra(m_request, QStringLiteral("Pedido:"));
    extra(m_request, QStringLiteral("Regional:"));
    extra(m_slip, QStringLiteral("Código:"));
    // Both sides keep their rows level, and spare height goes below them.
    m_slip->addWidget(new QLabel(this), m_slip->rowCount(), 0);
    for (QGridLayout *g : {m_request, m_slip})
        g->setRowStretch(g->rowCount(), 1);

    auto *sides = new QHBoxLayout;
    sides->addWidget(requestBox, 1);
    sides->addWidget(slipBox, 1);

    auto *proceedButton = new QPushButton(QStringLiteral("C&ontinuar"), this);
    proceedButton->setObjectName(QStringLiteral("btContinuar"));
    auto *cancel = new QPushButton(QStringLiteral("&Cancelar"), this);
    cancel->setObjectName(QStringLiteral("btCancelar"));
    for (QPushButton *b : {proceedButton, cancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(proceedButton);
    buttons->addWidget(cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addLayout(sides, 1);
    layout->addLayout(buttons);
    ui::setMinimumWindowSize(this, {620, 420});

    connect(proceedButton, &QPushButton::clicked, this, &TFCompPedBol::proceed);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    cancel->setFocus(Qt::OtherFocusReason);
    setFocusProxy(cancel);
}

void TFCompPedBol::addRow(const QString &label, bool coloured)
{
    m_rows.append({label, coloured});
    for (QGridLayout *g : {m_request, m_slip}) {
        const int r = g->rowCount();
        g->addWidget(new QLabel(label, this), r, 0);
        auto *value = new QLabel(this);
        value->setObjectName((g == m_request ? QStringLiteral("lbPed") : QStringLiteral("lbBol")) +
                             objectNameOf(label));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        g->addWidget(value, r, 1);
    }
}

QLabel *TFCompPedBol::requestValue(const QString &label) const
{
    return findChild<QLabel *>(QStringLiteral("lbPed") + objectNameOf(label));
}

QLabel *TFCompPedBol::slipValue(const QString &label) const
{
    return findChild<QLabel *>(QStringLiteral("lbBol") + objectNameOf(label));
}

void TFCompPedBol::setRow(const QString &label, const QString &request, const QString &slip)
{
    QLabel *left = requestValue(label);
    QLabel *right = slipValue(label);
    left->setText(request);
    right->setText(slip);
    bool coloured = false;
    for (const auto &[name, c] : std::as_const(m_rows))
        if (name == label)
            coloured = c;
    if (!coloured)
        return;
    const QColor colour = request == slip ? agreeColour() : differColour();
    for (QLabel *l : {left, right}) {
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, colour);
        l->setPalette(p);
    }
}

void TFCompPedBol::fill(const QString &slipCode, int office, int request)
{
    Q_UNUSED(slipCode)
    const store::Dataset &pedp = *m_dm.pedp;
    const store::Dataset &bol = *m_dm.PedBol;
    const bool haveSlip = bol.isActive() && !bol.isEmpty();
    const auto slip = [&](auto get) { return haveSlip ? get() : QString(); };

    setRow(QStringLiteral("Apellidos:"), joined(pedp, {"X_APE1", "X_APE2"}), slip([&] {
               return joined(bol, {"x_ape1", "x_ape2"});
           }));
    setRow(QStringLiteral("Nombres:"), joined(pedp, {"X_NOM1", "X_NOM2", "X_NOM3"}), slip([&] {
               return joined(bol, {"x_nom1", "x_nom2", "x_nom3"});
           }));
    setRow(QStringLiteral("Sexo:"), text(pedp, "X_SEXO"), slip([&] { return text(bol, "x_sexo"); }));
    setRow(QStringLiteral("Fecha de Nacimiento:"), date(pedp, "F_NAC"), slip([&] { return date(bol, "f_nac"); }));
    setRow(QStringLiteral("Nacionalidad:"), text(pedp, "x_nac"), slip([&] { return text(bol, "x_nac"); }));
    // The slip carries the central registry's document code: the office's type is the one exported as it.
    setRow(QStringLiteral("Tipo Documento:"), text(pedp, "x_tdoc"), slip([&] {
               const store::Field &code = bol.field(QStringLiteral("c_tdoc"));
               if (code.isNull())
                   return QString();
               const QVariant exported =
                   m_dm.tdoc->lookupValue(QStringLiteral("C_EXPORT"), code.asInteger(), QStringLiteral("X_TDOC"));
               return exported.isNull() ? text(bol, "x_tdoc") : exported.toString();
           }));
    setRow(QStringLiteral("Número:"), number(pedp, "N_DOC"), slip([&] { return number(bol, "n_doc"); }));
    setRow(QStringLiteral("Prefijo:"), text(pedp, "C_PREFIJO"), slip([&] { return text(bol, "c_prefijo"); }));
    setRow(QStringLiteral("Sufijo:"), text(pedp, "C_SUFIJO"), slip([&] { return text(bol, "c_sufijo"); }));
    setRow(QStringLiteral("Nombres Padre:"), joined(pedp, {"X_NOMPADR1", "X_NOMPADR2", "X_NOMPADR3"}), slip([&] {
               return joined(bol, {"x_nom1p", "x_nom2p", "x_nom3p"});
           }));
    setRow(QStringLiteral("Apellidos Madre:"), joined(pedp, {"X_APEMADR1", "X_APEMADR2"}), slip([&] {
               return joined(bol, {"x_ape1m", "x_ape2m"});
           }));
    setRow(QStringLiteral("Nombres Madre:"), joined(pedp, {"X_NOMMADR1", "X_NOMMADR2", "X_NOMMADR3"}), slip([&] {
               return joined(bol, {"x_nom1m", "x_nom2m", "x_nom3m"});
           }));
    requestValue(QStringLiteral("Pedido:"))->setText(QString::number(request));
    requestValue(QStringLiteral("Regional:"))->setText(QString::number(office));
    slipValue(QStringLiteral("Código:"))->setText(slip([&] { return text(bol, "c_boleta_web"); }));
}

bool TFCompPedBol::MostrarComparacion(const QString &slipCode, int office, int request)
{
    fill(slipCode, office, request);
    adjustSize();
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
    return exec() == QDialog::Accepted;
}

void TFCompPedBol::proceed()
{
    if (m_ui.message(QStringLiteral("Aún hay datos que difieren de la boleta\rEstá seguro que desea continuar?"),
                     ui::Ui::confirmTitle(), ui::Ui::Buttons::YesNo) == ui::Ui::Yes)
        accept();
}

} // namespace tav::personal
