#include "store/TableSet.h"

#include <QStringList>

namespace tav::store {

namespace {

using dbf::FieldDef;
using dbf::FieldType;

FieldDef C(const char *name, int len)
{
    return {name, FieldType::Character, static_cast<uint8_t>(len), 0};
}
FieldDef N(const char *name, int len, int dec = 0)
{
    return {name, FieldType::Numeric, static_cast<uint8_t>(len), static_cast<uint8_t>(dec)};
}
FieldDef D(const char *name)
{
    return {name, FieldType::Date, 8, 0};
}
FieldDef L(const char *name)
{
    return {name, FieldType::Logical, 1, 0};
}
FieldDef B(const char *name)
{
    return {name, FieldType::Binary, 10, 0};
}

std::vector<dbf::IndexTag> tag(const char *field)
{
    return {dbf::IndexTag{field, field, false, false}};
}

std::vector<TableDef> makeTableSet()
{
    std::vector<TableDef> t;
    t.push_back({"sec", "sec.dbf", "C_SEC", tag("C_SEC"), {C("C_SEC", 10), N("N_SEC", 10)}});
    t.push_back({"org",
                 "org.DBF",
                 "C_ORG",
                 tag("C_ORG"),
                 {N("C_ORG", 5), C("X_ORG", 80), C("X_DOM", 80), C("X_LOC", 40), N("C_CODPOS", 4), N("C_PROV", 2),
                  C("X_EMAIL", 100)}});
    t.push_back({"prov", "prov.DBF", "C_PROV", tag("C_PROV"), {N("C_PROV", 2), C("X_PROV", 40)}});
    t.push_back(
        {"ped",
         "PED.DBF",
         "C_PED",
         tag("C_PED"),
         {N("C_PED", 8),       C("C_SEXO", 1),      C("C_TDOC", 2),      N("C_NAC", 3),       N("C_PROV", 2),
          N("C_ORG", 4),       D("F_PED"),          C("X_SEC", 40),      C("X_DOM", 80),      N("C_CODPOS", 4),
          C("X_LOC", 40),      C("X_DELITO", 80),   N("N_PRONT", 10),    C("X_APE1", 15),     C("X_APE2", 15),
          C("X_NOM1", 15),     C("X_NOM2", 15),     C("X_NOM3", 15),     D("F_NAC"),          N("N_EDAD", 3),
          N("N_DOC", 10),      N("C_PROVCI", 2),    C("X_NOMPADR1", 15), C("X_NOMPADR2", 15), C("X_NOMPADR3", 15),
          C("X_APEMADR1", 15), C("X_APEMADR2", 15), C("X_NOMMADR1", 15), C("X_NOMMADR2", 15), C("X_NOMMADR3", 15),
          L("M_ENVIADO"),      L("M_CONTESTA"),     C("X_OBS", 250),     B("B_HUELLA"),       N("C_REG", 4),
          B("B_RESP"),         N("N_EXPE", 10),     D("F_CON"),          N("C_PRIOR", 1),     C("N_CAUSA", 15),
          C("C_EST", 1),       N("C_TDEL", 4),      C("C_CARPED", 1),    C("C_CLASDER", 5),   C("C_CLASIZQ", 5),
          L("M_EXCART51"),     L("M_TOMA_VAZ"),     L("M_ESPECIAL"),     L("M_MENOR"),        C("X_RECHAZO", 225),
          C("C_VERSION", 10),  N("N_REF", 10),      C("C_PREFIJO", 20),  C("C_SUFIJO", 20),   C("X_EMAIL", 100)}});
    t.push_back({"nac", "nac.DBF", "C_NAC", tag("C_NAC"), {N("C_NAC", 3), C("X_NAC", 40)}});
    t.push_back({"tdoc", "tdoc.DBF", "C_TDOC", tag("C_TDOC"), {C("C_TDOC", 2), C("X_TDOC", 30), N("C_EXPORT", 2)}});
    t.push_back({"sexo", "sexo.DBF", "", {}, {C("C_SEXO", 1), C("X_SEXO", 15)}});
    t.push_back({"prior", "prior.DBF", "", tag("C_PRIOR"), {N("C_PRIOR", 1), C("X_PRIOR", 30)}});
    t.push_back(
        {"pedp",
         "Pedp.DBF",
         "C_PED",
         tag("C_PED"),
         {N("C_PED", 8),       C("C_SEXO", 1),      C("C_TDOC", 2),      N("C_NAC", 3),       N("C_PROV_S", 2),
          D("F_PED"),          C("X_DOM_S", 50),    N("C_CODPOS_S", 4),  C("X_LOC_S", 30),    C("X_APE1", 15),
          C("X_APE2", 15),     C("X_NOM1", 15),     C("X_NOM2", 15),     C("X_NOM3", 15),     D("F_NAC"),
          N("N_DOC", 10),      C("X_NOMPADR1", 15), C("X_NOMPADR2", 15), C("X_NOMPADR3", 15), C("X_APEMADR1", 15),
          C("X_APEMADR2", 15), C("X_NOMMADR1", 15), C("X_NOMMADR2", 15), C("X_NOMMADR3", 15), C("X_OBS", 50),
          N("C_REG", 4),       N("N_EXPE", 10),     C("C_EST", 1),       C("C_RECHAZO", 18),  C("N_CERT", 18),
          N("C_PRIOR", 1),     D("F_CON"),          C("C_EXPP", 2),      C("C_TPED", 1),      C("C_RES", 1),
          N("N_RECIBO_E", 10), N("N_RECIBO_M", 10), N("C_BANCO", 4),     C("C_PREFIJO", 20),  C("C_SUFIJO", 20),
          C("C_TRAM", 1),      C("C_LOGIN", 10),    C("X_OAPE", 15),     C("C_CLASDER", 5),   C("C_CLASIZQ", 5),
          L("M_EXCART51"),     C("X_RECHAZO", 225), D("F_PAGO"),         C("C_PAGO", 32),     C("C_PAGO_DOMIC", 32),
          C("C_SEGUR", 10),    N("VERIF_ID", 8),    C("F_CAPTURA", 20),  C("C_VERSION", 10)},
         // Level 7: column names such as C_PAGO_DOMIC are longer than the ten characters of dBASE IV.
         0x04});
    t.push_back({"sup",
                 "sup.dbf",
                 "C_PED",
                 tag("C_PED"),
                 {N("C_PED", 8), N("C_REG", 4), C("X_APE1", 15), C("X_APE2", 15), C("X_NOM1", 15), C("X_NOM2", 15),
                  C("X_NOM3", 15), N("C_PROV", 2)}});
    t.push_back({"Est", "Est.DBF", "", {}, {C("C_EST", 1), C("X_EST", 30)}});
    t.push_back({"expp", "expp.dbf", "X_EXPP", tag("X_EXPP"), {C("C_EXPP", 2), C("X_EXPP", 40)}});
    t.push_back({"res", "res.dbf", "C_RES", tag("C_RES"), {C("C_RES", 1), C("X_RES", 30)}});
    t.push_back({"usu", "usu.dbf", "C_LOGIN", tag("C_LOGIN"), {C("C_LOGIN", 10), C("X_USU", 80), C("C_CLAVE", 10)}});
    t.push_back({"estcent", "estcent.DBF", "C_ESTCENT", tag("C_ESTCENT"), {C("C_ESTCENT", 2), C("X_ESTCENT", 60)}});
    t.push_back({"tdel",
                 "tdel.dbf",
                 "C_TDEL",
                 tag("C_TDEL"),
                 {N("C_TDEL", 4), C("N_LEY", 10), C("N_ART", 10), C("N_INC", 3), C("X_TDEL", 254), N("C_TDEL_P", 4)}});
    t.push_back({"tram", "tram.dbf", "C_TRAM", tag("C_TRAM"), {C("C_TRAM", 1), C("C_PRIOR", 1), C("X_TRAM", 15)}});
    t.push_back({"amb", "amb.dbf", "C_AMB", tag("C_AMB"), {C("C_AMB", 20), C("X_AMB", 150)}});
    t.push_back({"carped", "carped.DBF", "C_CARPED", tag("C_CARPED"), {C("C_CARPED", 1), C("X_CARPED", 30)}});
    t.push_back({"url", "url.DBF", "N_PRIOR", tag("N_PRIOR"), {N("N_PRIOR", 2), C("X_URL", 40)}});
    return t;
}

std::vector<SchemaUpgradeRow> makeUpgrades()
{
    auto row = [](const char *file, FieldDef f, const char *type, bool setFalse, const char *msg) {
        return SchemaUpgradeRow{file, std::move(f), type, setFalse, QString::fromUtf8(msg)};
    };
    const char *none = "";
    return {
        row("ped.dbf", C("X_EMAIL", 100), "CHAR(100)", false, none),
        row("org.dbf", C("X_EMAIL", 100), "CHAR(100)", false, none),
        row("ped.dbf", C("C_PREFIJO", 20), "CHAR(20)", false, none),
        row("ped.dbf", C("C_SUFIJO", 20), "CHAR(20)", false, none),
        row("ped.dbf", C("C_VERSION", 10), "CHAR(10)", false, none),
        row("pedp.dbf", C("C_VERSION", 10), "CHAR(10)", false, none),
        row("pedp.dbf", C("F_CAPTURA", 20), "CHAR(20)", false, none),
        row("pedp.dbf", N("VERIF_ID", 8), "NUMERIC(8)", false, none),
        row("pedp.dbf", C("C_SEGUR", 10), "CHAR(10)", false, "Error al actualizar esquema: tabla pedp campo C_SEGUR"),
        row("pedp.dbf", C("C_PAGO_DOMIC", 32), "CHAR(32)", false,
            "Error al actualizar esquema: tabla pedp campo C_PAGO_DOMIC"),
        row("pedp.dbf", C("C_PAGO", 32), "CHAR(32)", false, "Error al actualizar esquema: tabla pedp campo C_PAGO"),
        row("pedp.dbf", D("F_PAGO"), "Date", false, "Error al actualizar esquema: tabla pedp campo F_PAGO"),
        row("pedp.dbf", C("X_RECHAZO", 225), "CHAR(225)", false,
            "Error al actualizar esquema: tabla pedp campo X_RECHAZO"),
        row("ped.dbf", C("X_RECHAZO", 225), "CHAR(225)", false,
            "Error al actualizar esquema: tabla ped campo X_RECHAZO"),
        row("ped.dbf", L("M_MENOR"), "BOOLEAN", true, "Error al actualizar esquema: tabla ped campo M_MENOR"),
        row("ped.dbf", L("M_TOMA_VAZ"), "BOOLEAN", true, "Error al actualizar esquema: tabla ped campo M_TOMA_VAZ"),
        row("ped.dbf", L("M_ESPECIAL"), "BOOLEAN", true, "Error al actualizar esquema: tabla ped campo M_ESPECIAL"),
        row("pedp.dbf", C("C_CLASDER", 5), "CHAR(5)", false, "Error al actualizar esquema: tabla pedp campo c_clasder"),
        row("pedp.dbf", C("C_CLASIZQ", 5), "CHAR(5)", false, "Error al actualizar esquema: tabla pedp campo c_clasizq"),
        row("ped.dbf", C("C_CLASDER", 5), "CHAR(5)", false, "Error al actualizar esquema: tabla ped campo c_clasder"),
        row("ped.dbf", C("C_CLASIZQ", 5), "CHAR(5)", false, "Error al actualizar esquema: tabla ped campo c_clasizq"),
        row("ped.dbf", L("M_EXCART51"), "BOOLEAN", true, "Error al actualizar esquema: tabla ped campo m_excart51"),
        row("pedp.dbf", L("M_EXCART51"), "BOOLEAN", true, "Error al actualizar esquema: tabla pedp campo M_EXCART51"),
        row("pedp.dbf", C("C_PREFIJO", 20), "CHAR(20)", false, none),
        row("pedp.dbf", C("C_SUFIJO", 20), "CHAR(20)", false, none),
        row("ped.dbf", C("C_EST", 1), "CHAR(1)", false, none),
        row("ped.dbf", N("C_TDEL", 4), "numeric(4)", false, none),
        row("pedp.dbf", C("C_TRAM", 1), "char(1)", false, none),
        row("pedp.dbf", C("C_LOGIN", 10), "char(10)", false, none),
        row("ped.dbf", C("C_CARPED", 1), "CHAR(1)", false, none),
        row("pedp.dbf", C("X_OAPE", 15), "CHAR(15)", false, none),
    };
}

} // namespace

const std::vector<TableDef> &tableSet()
{
    static const std::vector<TableDef> set = makeTableSet();
    return set;
}

const TableDef *findTableDef(const QString &component)
{
    for (const auto &t : tableSet())
        if (t.component == component)
            return &t;
    return nullptr;
}

const QStringList &openOrder()
{
    static const QStringList order{"tram", "org", "prov", "ped", "amb", "nac",     "tdoc", "sexo",   "prior", "pedp",
                                   "sup",  "Est", "expp", "res", "usu", "estcent", "tdel", "carped", "url"};
    return order;
}

const std::vector<SchemaUpgradeRow> &schemaUpgrades()
{
    static const std::vector<SchemaUpgradeRow> rows = makeUpgrades();
    return rows;
}

const std::vector<Widening> &widenings()
{
    static const std::vector<Widening> list{
        {"PED.DBF", "N_CAUSA", 15, 8},
        {"SUP.DBF", "C_PED", 8, 5},
        {"SUP.DBF", "C_REG", 4, 3},
    };
    return list;
}

} // namespace tav::store
