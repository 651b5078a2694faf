#include "exchange/RequestFile.h"

#include "platform/net/NetworkIdentity.h"
#include "platform/text/Cp1252Qt.h"
#include "store/Tdm.h"

#include <QFile>
#include <QSaveFile>

namespace tav::exchange {

namespace {

// The data fields of an official request in the order of its table (B_HUELLA and B_RESP, the images, are
// never written; M_EXCART51 and M_TOMA_VAZ go to the closing lines under other keys). X_EXPP is the
// province that issued the identity document, looked up, and takes its place after C_CARPED.
const char *const kOfficialKeys[] = {
    "c_ped",      "c_sexo",     "c_tdoc",     "c_nac",      "c_prov",     "c_org",      "f_ped",      "x_sec",
    "x_dom",      "c_codpos",   "x_loc",      "x_delito",   "n_pront",    "x_ape1",     "x_ape2",     "x_nom1",
    "x_nom2",     "x_nom3",     "f_nac",      "n_edad",     "n_doc",      "c_provci",   "x_nompadr1", "x_nompadr2",
    "x_nompadr3", "x_apemadr1", "x_apemadr2", "x_nommadr1", "x_nommadr2", "x_nommadr3", "m_enviado",  "m_contesta",
    "x_obs",      "c_reg",      "n_expe",     "f_con",      "c_prior",    "n_causa",    "c_est",      "c_tdel",
    "c_carped",   "x_expp",     "c_clasder",  "c_clasizq",  "m_especial", "m_menor",    "x_rechazo",  "c_version",
    "n_ref",      "c_prefijo",  "c_sufijo",   "x_email"};

// The fields of a personal request in the order of its table with its calculated and lookup fields in their
// places; "m_excart51" is written by a correction only.
const char *const kPersonalKeys[] = {
    "c_ped",      "c_sexo",     "c_tdoc",     "c_nac",      "c_prov_s",   "f_ped",      "x_dom_s",    "c_codpos_s",
    "x_loc_s",    "x_ape1",     "x_ape2",     "x_nom1",     "x_nom2",     "x_nom3",     "f_nac",      "n_doc",
    "x_nompadr1", "x_nompadr2", "x_nompadr3", "x_apemadr1", "x_apemadr2", "x_nommadr1", "x_nommadr2", "x_nommadr3",
    "x_obs",      "c_reg",      "n_expe",     "c_est",      "c_rechazo",  "n_cert",     "c_prior",    "f_con",
    "c_expp",     "c_tped",     "c_res",      "n_recibo_e", "n_recibo_m", "c_banco",    "c_pedido",   "x_nac",
    "x_tdoc",     "x_expp",     "x_prior",    "x_sexo",     "c_prefijo",  "c_sufijo",   "c_tram",     "c_login",
    "x_oape",     "c_clasder",  "c_clasizq",  "m_excart51", "x_rechazo",  "f_pago",     "c_pago",     "c_pago_domic",
    "c_segur",    "x_tram",     "verif_id",   "f_captura",  "c_version",  "x_est"};

const char *const kAliasKeys[] = {"c_ped", "c_reg", "x_ape1", "x_ape2", "x_nom1", "x_nom2", "x_nom3", "c_prov"};

class Lines
{
public:
    void add(const QString &line) { m_text += line + QStringLiteral("\r\n"); }
    void add(const QString &key, const QString &value) { add(key + QLatin1Char('=') + value); }
    QByteArray bytes() const { return text::toCp1252(m_text); }

private:
    QString m_text;
};

QString valueOf(const store::Dataset &table, const char *key)
{
    // Calculated and lookup fields give their computed text like stored ones; a field an older table does
    // not have gives an empty value.
    const store::Field *f = table.findField(QString::fromLatin1(key));
    return f ? f->asString() : QString();
}

} // namespace

int RequestFile::settingNumber(store::Tdm &dm, const QString &key)
{
    bool ok = false;
    const int n = dm.readSetting(key).trimmed().toInt(&ok);
    return ok ? n : 0;
}

QByteArray RequestFile::official(store::Tdm &dm)
{
    const store::Dataset &ped = *dm.ped;
    Lines out;
    out.add(QStringLiteral("[DATA]"));
    for (const char *key : kOfficialKeys)
        out.add(QString::fromLatin1(key), valueOf(ped, key));
    out.add(QStringLiteral("m_exc_art51"), valueOf(ped, "m_excart51"));
    out.add(QStringLiteral("m_tomada_vaz"), valueOf(ped, "m_toma_vaz"));
    const QVariant org = dm.org->lookupValue(QStringLiteral("C_ORG"), ped.field(QStringLiteral("C_ORG")).value(),
                                             QStringLiteral("X_ORG"));
    if (!ped.field(QStringLiteral("C_ORG")).isNull() && !org.isNull())
        out.add(QStringLiteral("x_org"), org.toString());

    // The alias rows are the detail of the current request; the alias table's position is put back.
    store::Dataset &sup = *dm.sup;
    if (sup.isActive()) {
        const int position = sup.position();
        int n = 0;
        for (sup.first(); !sup.eof(); sup.next()) {
            out.add(QStringLiteral("[SUP%1]").arg(++n));
            for (const char *key : kAliasKeys)
                out.add(QString::fromLatin1(key), valueOf(sup, key));
        }
        if (position >= 0)
            sup.moveTo(position);
    }
    return out.bytes();
}

QByteArray RequestFile::personal(store::Tdm &dm, PersonalKind kind, const net::NetworkIdentity &id)
{
    const store::Dataset &pedp = *dm.pedp;
    Lines out;
    out.add(QStringLiteral("[DATA]"));
    for (const char *key : kPersonalKeys) {
        if (kind == PersonalKind::Request && qstrcmp(key, "m_excart51") == 0)
            continue;
        out.add(QString::fromLatin1(key), valueOf(pedp, key));
    }
    out.add(QStringLiteral("m_exc_art51"), valueOf(pedp, "m_excart51"));
    out.add(QStringLiteral("MAC"), id.mac);
    out.add(QStringLiteral("IP"), id.ip);
    out.add(QStringLiteral("Host"), id.hostName);
    return out.bytes();
}

QByteArray RequestFile::statusRequest(store::Tdm &dm)
{
    Lines out;
    out.add(QStringLiteral("[DATA]"));
    out.add(QStringLiteral("c_reg"), QString::number(settingNumber(dm, QStringLiteral("c_reg"))));
    out.add(QStringLiteral("c_regp"), QString::number(settingNumber(dm, QStringLiteral("c_regp"))));
    return out.bytes();
}

bool RequestFile::write(store::Tdm &dm, const QString &name, const QByteArray &bytes)
{
    QSaveFile file(dm.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(bytes);
    return file.commit();
}

} // namespace tav::exchange
