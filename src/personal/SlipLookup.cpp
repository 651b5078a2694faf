#include "personal/SlipLookup.h"

#include "store/MemorySource.h"
#include "store/Tdm.h"

#include <QDateTime>

#include <cmath>

namespace tav::personal {

using store::Dataset;
using store::FieldKind;

namespace {

// A date as the office writes it, optionally followed by a time.
std::optional<QDateTime> parseDateTime(const QString &text)
{
    const QString t = text.trimmed();
    for (const char *format : {"dd/MM/yyyy", "dd/MM/yyyy hh:mm:ss", "dd/MM/yyyy hh:mm", "d/M/yyyy"}) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(format));
        if (dt.isValid())
            return dt;
    }
    const QDate d = QDate::fromString(t.left(10), QStringLiteral("dd/MM/yyyy"));
    if (d.isValid() && (t.size() == 10 || t.at(10) == QLatin1Char(' ')))
        return d.startOfDay();
    return std::nullopt;
}

// Assigns a reply's text to a PedBol field the way the field converts it; false when the text is not a value
// of the field's kind.
bool assignText(store::Field &f, const QString &text)
{
    switch (f.kind()) {
    case FieldKind::Date:
    case FieldKind::DateTime: {
        const auto dt = parseDateTime(text);
        if (!dt)
            return false;
        f.setValue(f.kind() == FieldKind::Date ? QVariant(dt->date()) : QVariant(*dt));
        return true;
    }
    case FieldKind::Boolean: {
        const QString t = text.trimmed().toLower();
        if (t == QLatin1String("true") || t == QLatin1String("t") || t == QLatin1String("1") ||
            t == QLatin1String("s")) {
            f.setValue(true);
            return true;
        }
        if (t == QLatin1String("false") || t == QLatin1String("f") || t == QLatin1String("0") ||
            t == QLatin1String("n")) {
            f.setValue(false);
            return true;
        }
        return false;
    }
    default:
        f.setAsString(text);
        // A number field keeps nothing of a text that is not a number; a text field keeps its first characters.
        return !f.isNull() || text.trimmed().isEmpty();
    }
}

} // namespace

SlipLookup::SlipLookup(store::Tdm &dm) : m_dm(dm) {}

ServiceHost SlipLookup::host() const
{
    return ServiceHost::fromIni(m_dm.filePath(QStringLiteral("TavReg.INI")));
}

std::optional<QDate> SlipLookup::ObtenerFechaPago(const QString &slipCode)
{
    auto busy = m_dm.ui().busyCursor();
    const ServiceReply<QString> reply = GetBoletaSoap(host()).GetFechaByBoleta(slipCode);
    if (!reply.ok) {
        m_dm.ui().message(paymentDateError(), ui::Ui::errorTitle());
        return std::nullopt;
    }
    if (reply.value.isEmpty())
        return std::nullopt;
    const QDate date = QDate::fromString(reply.value.left(10), QStringLiteral("dd/MM/yyyy"));
    if (!date.isValid()) {
        m_dm.ui().message(paymentDateError(), ui::Ui::errorTitle());
        return std::nullopt;
    }
    return date;
}

QList<QPair<QString, QString>> SlipLookup::parseProcedureReply(const QString &reply)
{
    QList<QPair<QString, QString>> items;
    QStringList parts = reply.split(QLatin1Char('|'));
    parts.removeLast(); // what follows the last "|" (or the whole text without one) is not an item
    for (const QString &part : parts) {
        const qsizetype eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            items.append({part.trimmed(), QString()});
        else
            items.append({part.left(eq).trimmed(), part.mid(eq + 1)});
    }
    return items;
}

void SlipLookup::emptyPedBol()
{
    Dataset &bol = *m_dm.PedBol;
    if (bol.isEditing())
        bol.cancel();
    bol.close();
    static_cast<store::MemorySource &>(bol.source()).clear();
    bol.open();
}

int SlipLookup::ObtenerDatosBoleta(const QString &slipCode, int documentNumber, QString &error)
{
    error.clear();
    auto busy = m_dm.ui().busyCursor();
    // 1.
    emptyPedBol();
    // 2.
    const ServiceReply<int> central = GetBoletaSoap(host()).GetPedidoByBoletaDoc(slipCode, documentNumber);
    if (!central.ok) {
        error = QStringLiteral("Error al intentar obtener el código de la boleta.");
        return -1;
    }
    // 3.
    if (central.value <= 0)
        return 0;
    // 4.
    const ServiceReply<QString> data =
        GetTramPerSoap(host()).GetPedidoByTram(QStringLiteral("I"), central.value, documentNumber, QString());
    if (!data.ok) {
        m_dm.ui().message(QStringLiteral("Error al solicitar los datos de la boleta."), ui::Ui::errorTitle());
        return -1;
    }
    // 5.
    if (data.value.size() < 2) {
        m_dm.ui().message(QStringLiteral("Error: La respuesta a la solicitud de datos de la boleta esta vacia."),
                          ui::Ui::errorTitle());
        return -1;
    }
    // 6. and 7.
    const auto items = parseProcedureReply(data.value);
    if (items.size() < 2)
        return -1;
    // 8. Each field of PedBol, in field order, from the first non-empty item of its name.
    Dataset &bol = *m_dm.PedBol;
    bol.insert();
    for (const auto &f : bol.fields()) {
        if (f->role() != store::FieldRole::Data)
            continue;
        for (const auto &[name, value] : items) {
            if (value.isEmpty() || name.compare(f->name(), Qt::CaseInsensitive) != 0)
                continue;
            if (!assignText(*f, value)) {
                bol.cancel();
                error = QStringLiteral("Error al decodificar datos de la boleta");
                return -1;
            }
            break;
        }
    }
    // 9.
    if (!bol.post()) {
        bol.cancel();
        error = QStringLiteral("Error al decodificar datos de la boleta");
        return -1;
    }
    return 1;
}

bool SlipLookup::CompararConBoleta(const QString &slipCode, const QString &surname, const QString &givenName,
                                   const QDate &birth, qint64 documentNumber)
{
    const Dataset &bol = *m_dm.PedBol;
    if (slipCode.isEmpty() || !bol.isActive() || bol.isEmpty())
        return true;
    bool agrees = true;
    const auto within = [](const QString &part, const QString &whole) {
        const QString p = part.trimmed();
        return !p.isEmpty() && whole.contains(p);
    };
    if (!within(surname, bol.field(QStringLiteral("x_ape1")).asString()))
        agrees = false;
    if (!within(givenName, bol.field(QStringLiteral("x_nom1")).asString()))
        agrees = false;
    if (bol.field(QStringLiteral("f_nac")).asDate() != birth)
        agrees = false;
    const store::Field &doc = bol.field(QStringLiteral("n_doc"));
    if (doc.isNull() || doc.asInteger() != documentNumber)
        agrees = false;
    return agrees;
}

} // namespace tav::personal
