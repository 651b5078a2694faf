#include "store/Tdm.h"

#include "store/DbfSource.h"
#include "store/EngineText.h"
#include "store/MemorySource.h"
#include "store/TableSet.h"

#include "platform/dbf/DbfTable.h"
#include "platform/os/NoCasePath.h"
#include "platform/text/Cp1252Qt.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <chrono>
#include <cmath>

namespace tav::store {

namespace {

QList<ColumnDef> declaredColumns(const TableDef &def)
{
    QList<ColumnDef> cols;
    for (const auto &f : def.fields)
        cols.append(DbfSource::columnOf(f));
    return cols;
}

std::unique_ptr<MemorySource> pedBolSource()
{
    QList<ColumnDef> c;
    auto chr = [&](const char *n, int size) { c.append({n, FieldKind::String, size, 0}); };
    auto sml = [&](const char *n) { c.append({n, FieldKind::SmallInt, 4, 0}); };
    auto itg = [&](const char *n) { c.append({n, FieldKind::Integer, 10, 0}); };
    auto dtm = [&](const char *n) { c.append({n, FieldKind::DateTime, 0, 0}); };
    auto bol = [&](const char *n) { c.append({n, FieldKind::Boolean, 1, 0}); };
    auto amt = [&](const char *n) { c.append({n, FieldKind::Float, 19, 4}); };
    itg("c_pedido");
    chr("c_tped", 1);
    sml("c_banco");
    sml("c_tdoc");
    chr("c_est", 1);
    chr("c_sexo", 1);
    chr("c_prior", 1);
    chr("c_tram", 1);
    sml("c_pais");
    dtm("f_ped");
    amt("v_monto_e");
    amt("v_monto_m");
    itg("n_recibo_e");
    for (const char *n : {"x_ape1", "x_ape2", "x_oape", "x_nom1", "x_nom2", "x_nom3"})
        chr(n, 15);
    itg("n_doc");
    dtm("f_nac");
    for (const char *n : {"x_nom1p", "x_nom2p", "x_nom3p", "x_ape1m", "x_ape2m", "x_nom1m", "x_nom2m", "x_nom3m"})
        chr(n, 15);
    dtm("f_entrega");
    itg("n_expe");
    chr("c_expp", 2);
    chr("c_res", 1);
    itg("n_pront");
    itg("n_recibo_m");
    chr("c_ofi", 2);
    chr("c_rechazo", 18);
    itg("c_pedtav");
    sml("c_regtav");
    chr("c_clasder", 18);
    chr("c_clasizq", 18);
    chr("c_carped", 1);
    chr("c_resnom", 1);
    dtm("f_fin");
    sml("n_equipo");
    chr("c_prefijo", 20);
    chr("c_sufijo", 20);
    bol("m_tramvirtual");
    chr("username", 255);
    itg("c_pedido_pedpen");
    chr("c_tped_pedpen", 1);
    bol("m_exc_art51");
    itg("n_ident");
    chr("x_apenom_ident", 80);
    chr("c_modaltram", 2);
    for (const char *n : {"x_lugar", "x_presentar_ante", "x_nomape_postal", "x_direc_solic"})
        chr(n, 80);
    sml("c_loc_solic");
    sml("c_prov_solic");
    sml("c_codpos_solic");
    chr("x_tel_postal", 20);
    chr("x_email_postal", 80);
    sml("c_pais_solic");
    chr("c_boleta_web", 11);
    chr("c_segur", 10);
    return std::make_unique<MemorySource>(QStringLiteral("PedBol"), c);
}

} // namespace

Tdm::Tdm(std::filesystem::path programDir, ui::Ui &ui, const Clock &clock, QObject *parent)
    : QObject(parent), m_dir(std::move(programDir)), m_ui(ui), m_clock(clock), m_storage(m_dir)
{
    Timer.setInterval(timerIntervalMs);
    org = makeTable("org");
    prov = makeTable("prov");
    ped = makeTable("ped");
    nac = makeTable("nac");
    tdoc = makeTable("tdoc");
    sexo = makeTable("sexo");
    prior = makeTable("prior");
    pedp = makeTable("pedp");
    sup = makeTable("sup");
    Est = makeTable("Est");
    expp = makeTable("expp");
    res = makeTable("res");
    usu = makeTable("usu");
    estcent = makeTable("estcent");
    tdel = makeTable("tdel");
    tram = makeTable("tram");
    amb = makeTable("amb");
    carped = makeTable("carped");
    url = makeTable("url");
    PedBol = new Dataset(QStringLiteral("PedBol"), pedBolSource(), this);
    m_byName.emplace(QStringLiteral("PedBol"), PedBol);

    ped->addLookupField(QStringLiteral("X_EXPP"), 40, {prov, "C_PROVCI", "C_PROV", "X_PROV"});
    org->addLookupField(QStringLiteral("x_prov"), 40, {prov, "C_PROV", "C_PROV", "X_PROV"});
    pedp->addLookupField(QStringLiteral("x_nac"), 40, {nac, "C_NAC", "C_NAC", "X_NAC"});
    pedp->addLookupField(QStringLiteral("x_tdoc"), 30, {tdoc, "C_TDOC", "C_TDOC", "X_TDOC"});
    pedp->addLookupField(QStringLiteral("x_expp"), 40, {expp, "C_EXPP", "C_EXPP", "X_EXPP"});
    pedp->addLookupField(QStringLiteral("X_PRIOR"), 30, {prior, "C_PRIOR", "C_PRIOR", "X_PRIOR"});
    pedp->addLookupField(QStringLiteral("X_SEXO"), 15, {sexo, "C_SEXO", "C_SEXO", "X_SEXO"});
    pedp->addLookupField(QStringLiteral("X_TRAM"), 40, {tram, "C_TRAM", "C_TRAM", "X_TRAM"});
    pedp->addLookupField(QStringLiteral("x_est"), 30, {Est, "C_EST", "C_EST", "X_EST"});
    pedp->addCalculatedField(QStringLiteral("c_pedido"), FieldKind::String, 20);
    m_bindings += pedp->onCalcFields.subscribe([](Dataset &d) {
        d[QStringLiteral("c_pedido")].setValue(QStringLiteral("W") + d[QStringLiteral("N_EXPE")].asString());
    });
    PedBol->addLookupField(QStringLiteral("x_sexo"), 15, {sexo, "c_sexo", "C_SEXO", "X_SEXO"});
    PedBol->addLookupField(QStringLiteral("x_nac"), 40, {nac, "c_pais", "C_NAC", "X_NAC"});
    PedBol->addLookupField(QStringLiteral("x_tdoc"), 30, {tdoc, "c_tdoc", "C_TDOC", "X_TDOC"});
    sup->setMaster(ped, QStringLiteral("C_PED"), QStringLiteral("C_PED"));

    org->field("C_ORG").setDisplayLabel(QStringLiteral("Código"));
    org->field("X_ORG").setDisplayLabel(QStringLiteral("Organismo"));
    org->field("X_DOM").setDisplayLabel(QStringLiteral("Domicilio"));
    org->field("X_LOC").setDisplayLabel(QStringLiteral("Localidad"));
    org->field("C_CODPOS").setDisplayLabel(QStringLiteral("CP"));
    org->field("x_prov").setDisplayLabel(QStringLiteral("Provincia"));
    org->field("C_PROV").setDisplayLabel(QStringLiteral("Provincia"));
    org->field("C_PROV").setVisible(false);
    usu->field("C_LOGIN").setDisplayLabel(QStringLiteral("Usuario"));
    usu->field("X_USU").setDisplayLabel(QStringLiteral("Descripción"));
    usu->field("C_CLAVE").setVisible(false);
    tdel->field("C_TDEL").setDisplayLabel(QStringLiteral("Código"));
    tdel->field("N_LEY").setDisplayLabel(QStringLiteral("Ley"));
    tdel->field("N_ART").setDisplayLabel(QStringLiteral("Art."));
    tdel->field("N_INC").setDisplayLabel(QStringLiteral("Inc."));
    tdel->field("X_TDEL").setDisplayLabel(QStringLiteral("Descripción del delito"));
    tdel->field("C_TDEL_P").setVisible(false);
    url->field("N_PRIOR").setDisplayLabel(QStringLiteral("Prioridad"));
    url->field("X_URL").setDisplayLabel(QStringLiteral("Url"));
    pedp->field("C_RES").setVisible(false);

    bindEvents();
}

Tdm::~Tdm()
{
    closeTables(); // never throws
}

Dataset *Tdm::makeTable(const QString &component)
{
    const TableDef *def = findTableDef(component);
    auto source = std::make_unique<DbfSource>(m_storage.tablePath(def->file), def->indexField, declaredColumns(*def));
    auto *ds = new Dataset(component, std::move(source), this);
    ds->showMessage = [this](const QString &text) { m_ui.warning(text); };
    m_byName.emplace(component, ds);
    return ds;
}

void Tdm::bindEvents()
{
    for (Dataset *ds : {org, prov, ped, nac, tdoc, sexo, prior, pedp, sup, usu, url}) {
        m_bindings += ds->afterPost.subscribe([this](Dataset &d) { FlushBuffers(d); });
        m_bindings += ds->afterDelete.subscribe([this](Dataset &d) { FlushBuffers(d); });
    }
    for (Dataset *ds : {ped, pedp}) {
        m_bindings += ds->beforeInsert.subscribe([this](Dataset &d) { BeforeEdit(d); });
        m_bindings += ds->beforeEdit.subscribe([this](Dataset &d) { BeforeEdit(d); });
    }
}

std::unique_ptr<Dataset> Tdm::ownDataset(const QString &component) const
{
    const TableDef *def = findTableDef(component);
    if (!def || def->file.isEmpty())
        throw DatasetError(QStringLiteral("No existe la tabla %1").arg(component).toStdString());
    auto source = std::make_unique<DbfSource>(m_storage.tablePath(def->file), def->indexField, declaredColumns(*def));
    return std::make_unique<Dataset>(component, std::move(source));
}

Dataset &Tdm::dataset(const QString &component) const
{
    auto it = m_byName.find(component);
    if (it == m_byName.end())
        throw DatasetError(QStringLiteral("No existe la tabla %1").arg(component).toStdString());
    return *it->second;
}

QString Tdm::programPath() const
{
    QString p = QString::fromStdString(m_dir.string());
    if (!p.endsWith(QLatin1Char('/')))
        p += QLatin1Char('/');
    return p;
}

QString Tdm::filePath(const QString &name) const
{
    return QString::fromStdString(os::resolveNoCase(m_dir / name.toStdString()).string());
}

bool Tdm::fileExists(const QString &name) const
{
    return !name.isEmpty() && os::findFileNoCase(m_dir, name.toStdString()).has_value();
}

// --- start-up steps ---

void Tdm::deleteStartupScratch()
{
    deleteFile(QStringLiteral("out.tif"));
    deleteFile(QStringLiteral("out.bmp"));
}

bool Tdm::checkTables()
{
    const QString failure = m_storage.checkTables();
    if (failure.isEmpty())
        return true;
    m_ui.error(failure);
    return false;
}

void Tdm::upgradeSchema()
{
    const auto before = m_storage.pendingChanges().size();
    auto sayPending = [&] {
        // One message per table, naming it and the columns it still lacks or has too narrow.
        std::vector<std::pair<QString, QStringList>> byTable;
        const auto &pending = m_storage.pendingChanges();
        for (auto it = pending.begin() + static_cast<std::ptrdiff_t>(before); it != pending.end(); ++it) {
            auto at = std::find_if(byTable.begin(), byTable.end(),
                                   [&](const auto &t) { return t.first.compare(it->file, Qt::CaseInsensitive) == 0; });
            if (at == byTable.end())
                at = byTable.insert(byTable.end(), {it->file, {}});
            if (!at->second.contains(it->column))
                at->second.append(it->column);
        }
        for (const auto &[file, columns] : byTable)
            m_ui.warning(QStringLiteral("La tabla %1 está en uso en otra estación de trabajo y no se pudo actualizar "
                                        "(campos %2).\rHasta que se actualice, esta estación no grabará valores "
                                        "que esos campos no puedan guardar.\rCierre el programa en las demás "
                                        "estaciones y vuelva a iniciarlo.")
                             .arg(file, columns.join(QStringLiteral(", "))));
    };
    try {
        m_storage.upgradeSchema([this](const QString &text) { m_ui.error(text); });
        m_storage.widenColumns();
    } catch (...) {
        sayPending();
        throw;
    }
    sayPending();
}

void Tdm::packRequestTables()
{
    for (const char *name : {"ped", "pedp"}) {
        if (m_storage.isDamaged(findTableDef(QString::fromLatin1(name))->file))
            continue;
        try {
            m_storage.packTable(QString::fromLatin1(name) + QStringLiteral(".dbf"));
        } catch (const TableInUse &) {
            // Another station works on it: the deleted records stay marked until a start finds it free.
        } catch (const StorageError &) {
            m_ui.error(QStringLiteral("No se pudo empaquetar la tabla \"%1\"").arg(QString::fromLatin1(name)));
        }
    }
}

Tdm::ReindexResult Tdm::reindex(const StorageLifecycle::Progress &progress, ReindexWhen when)
{
    std::vector<Dataset *> wereOpen;
    for (const auto &[name, ds] : m_byName)
        if (ds != PedBol && ds->isActive()) {
            wereOpen.push_back(ds);
        }
    for (Dataset *ds : wereOpen)
        ds->close();
    ReindexResult result = ReindexResult::Done;
    try {
        m_storage.reindexAll(progress, when == ReindexWhen::AtStart ? StorageLifecycle::InUse::SkipTablesInUse
                                                                    : StorageLifecycle::InUse::AllOrNothing);
    } catch (const TableInUse &e) {
        m_ui.warning(QStringLiteral("No se pudo hacer el ordenamiento de archivos: la tabla %1 está en uso en otra "
                                    "estación de trabajo.\rNo se modificó ningún archivo. Cierre el programa en las "
                                    "demás estaciones y vuelva a intentar.")
                         .arg(e.file()));
        result = ReindexResult::TableInUse;
    } catch (const StorageError &e) {
        m_ui.error(e.text());
        result = ReindexResult::Failed;
    }
    // Masters before details: reopen in the start-up order.
    for (const auto &name : openOrder()) {
        Dataset &ds = dataset(name);
        if (std::find(wereOpen.begin(), wereOpen.end(), &ds) != wereOpen.end())
            ds.open();
    }
    return result;
}

void Tdm::openTables()
{
    for (const auto &name : openOrder()) {
        // A table the start-up check found damaged stays closed (the check said why): nothing is written
        // over records its header lost.
        if (const TableDef *def = findTableDef(name); def && m_storage.isDamaged(def->file))
            continue;
        dataset(name).open();
    }
    PedBol->open();
}

void Tdm::closeTables() noexcept
{
    auto closeOne = [](Dataset &ds) noexcept {
        try {
            if (ds.isEditing())
                ds.cancel();
        } catch (const std::exception &e) {
            qWarning("%s: %s", qPrintable(ds.name()), e.what());
        } catch (...) {
        }
        try {
            ds.close();
        } catch (const std::exception &e) {
            qWarning("%s: %s", qPrintable(ds.name()), e.what());
        } catch (...) {
        }
    };
    for (auto it = openOrder().rbegin(); it != openOrder().rend(); ++it)
        if (auto found = m_byName.find(*it); found != m_byName.end())
            closeOne(*found->second);
    closeOne(*PedBol);
}

void Tdm::migratePop3Password()
{
    if (!amb->findKey(QStringLiteral("pop3Pass")))
        return;
    const QByteArray plain = text::toCp1252(amb->field("X_AMB").asString());
    amb->remove();
    QByteArray complemented = plain;
    for (auto &c : complemented)
        c = static_cast<char>(~static_cast<unsigned char>(c));
    writeSetting(QStringLiteral("pop3PwdE"), text::fromCp1252(complemented));
}

bool Tdm::tdocHasExportColumn() const
{
    try {
        dbf::OpenOptions o;
        o.readOnly = true;
        o.loadIndexes = false;
        o.validateIndex = false;
        return dbf::Table::open(m_storage.tablePath(QStringLiteral("tdoc.DBF")), dbf::OpenMode::Shared, o)
                   .fieldIndex("c_export") >= 0;
    } catch (const std::exception &) {
        return false;
    }
}

void Tdm::loadSettings()
{
    if (!amb->isActive())
        throw DatasetError("No se pudo leer la configuración: la tabla de configuración (amb) no está abierta.");
    const QString frec = readSetting(QStringLiteral("frec_recep"));
    bool ok = false;
    const int minutes = frec.trimmed().toInt(&ok);
    if (!ok)
        throw DatasetError(QStringLiteral("'%1' no es un valor entero válido").arg(frec).toStdString());
    timerIntervalMs = minutes * 60000;
    Timer.setInterval(timerIntervalMs);
    const int maxContes = readSetting(QStringLiteral("max_contes")).trimmed().toInt(&ok);
    answersPerCycle = ok ? maxContes : 1;
    loginRequired = readSetting(QStringLiteral("m_segur")) == QLatin1String("S");
    printConfirmationOfPersonal = readSetting(QStringLiteral("m_impconfp")) == QLatin1String("S");
    nominativeRequests = readSetting(QStringLiteral("m_nomi")) == QLatin1String("S");
    documentationRequired = readSetting(QStringLiteral("m_obli_doc")) != QLatin1String("N");
    const QString liveScan = readSetting(QStringLiteral("LiveScan"));
    liveScanConfigured = !liveScan.isEmpty() && liveScan != QLatin1String("Ninguno");
    const QString fecPago = readSetting(QStringLiteral("m_fecpago"));
    if (fecPago != QLatin1String("S") && fecPago != QLatin1String("N"))
        writeSetting(QStringLiteral("m_fecpago"), QStringLiteral("S"));
    const int dias = readSetting(QStringLiteral("dias_fpago")).trimmed().toInt(&ok);
    if (!ok || dias <= 0)
        writeSetting(QStringLiteral("dias_fpago"), QStringLiteral("365"));
    const QString domic = readSetting(QStringLiteral("m_domic"));
    if (domic != QLatin1String("S") && domic != QLatin1String("N"))
        writeSetting(QStringLiteral("m_domic"), QStringLiteral("N"));
    homeDelivery = readSetting(QStringLiteral("m_domic")) == QLatin1String("S");
    checkSlipData = readSetting(QStringLiteral("m_chkdatbol")) != QLatin1String("N");
    automaticPrinting = readSetting(QStringLiteral("m_impauto")) != QLatin1String("N");
}

Tdm::StartResult Tdm::startUp(const StorageLifecycle::Progress &reindexProgress)
{
    receptionIdle = true;
    loginRequired = true;
    initialized = false;
    maintenanceNote.clear();
    m_storage.clearNotes();
    deleteStartupScratch();
    checkTables();
    // Upkeep: needed now and then, never a condition of working. Tables other stations have open are left
    // for a start that finds them free.
    try {
        upgradeSchema();
    } catch (const std::exception &e) {
        m_ui.error(userText(e));
    }
    packRequestTables();
    if (reindex(reindexProgress, ReindexWhen::AtStart) == ReindexResult::Failed)
        return StartResult::Terminate;
    if (!m_storage.tablesInUse().isEmpty())
        maintenanceNote = QStringLiteral("Tablas en uso en otra estación de trabajo; su mantenimiento quedó para "
                                         "el próximo inicio: %1")
                              .arg(m_storage.tablesInUse().join(QStringLiteral(", ")));

    // Without its tables the program cannot work: it says so and ends. A table another station holds
    // exclusively for a moment (its own start-up upkeep) is waited for.
    const auto deadline = std::chrono::steady_clock::now() + openWait;
    for (;;) {
        try {
            openTables();
            break;
        } catch (const std::exception &e) {
            closeTables();
            if (isTableInUse(e) && std::chrono::steady_clock::now() < deadline) {
                QThread::msleep(200);
                continue;
            }
            m_ui.error(QStringLiteral("No se pudieron abrir las tablas de la oficina.\r%1\rEl programa se cerrará.")
                           .arg(userText(e)));
            return StartResult::Terminate;
        }
    }

    StartResult result = StartResult::Ready;
    try {
        migratePop3Password();
        if (!tdocHasExportColumn()) {
            m_ui.warning(QStringLiteral("Debe actualizar las tablas. Por favor, \rpongase en contacto con: ") +
                         supportContact());
            result = StartResult::Terminate;
        }
        loadSettings();
        initialized = true;
    } catch (const Abort &) {
    } catch (const std::exception &e) {
        m_ui.error(userText(e));
    }
    return result;
}

// --- settings ---

QString Tdm::readSetting(const QString &name)
{
    if (!amb->isActive())
        return {};
    return amb->lookupValue(QStringLiteral("C_AMB"), name, QStringLiteral("X_AMB")).toString();
}

QString Tdm::readSetting(const QString &name, const QString &defaultValue)
{
    const QString v = readSetting(name);
    return v.isEmpty() ? defaultValue : v;
}

bool Tdm::writeSetting(const QString &name, const QString &value)
{
    try {
        if (!amb->isActive())
            return false;
        if (amb->isEditing())
            amb->cancel();
        if (amb->findKey(name))
            amb->edit();
        else
            amb->insert();
        amb->field("C_AMB").setValue(name);
        amb->field("X_AMB").setValue(value);
        if (!amb->post()) {
            amb->cancel();
            return false;
        }
        return true;
    } catch (...) {
        try {
            amb->cancel();
        } catch (...) {
        }
        return false;
    }
}

// --- numbering ---

int Tdm::drawNumber(const QString &sequence)
{
    auto busy = m_ui.busyCursor();
    const auto path = m_storage.tablePath(QStringLiteral("sec.dbf"));
    const auto deadline = std::chrono::steady_clock::now() + sequenceWait;
    dbf::Table sec;
    // The sequence table is opened exclusively so two stations never draw the same number; while another
    // station holds it, try again for a short while.
    for (;;) {
        try {
            dbf::OpenOptions o;
            o.validateIndex = false;
            o.loadIndexes = false;
            o.reindexOnClose = false;
            sec = dbf::Table::open(path, dbf::OpenMode::Exclusive, o);
            break;
        } catch (const dbf::DbfError &e) {
            if (e.code() != dbf::ErrorCode::Busy || std::chrono::steady_clock::now() >= deadline)
                throw DatasetError(
                    QStringLiteral("No se pudo abrir la tabla de secuencias: %1").arg(userText(e)).toStdString());
            QThread::msleep(20);
        }
    }
    int result = 0;
    bool damagedRow = false;
    QString damaged;
    try {
        const int keyField = sec.fieldIndex("C_SEC");
        const int numField = sec.fieldIndex("N_SEC");
        const std::string wanted = text::toCp1252(sequence).toStdString();
        for (uint32_t r = 1; r <= sec.recordCount() && keyField >= 0 && numField >= 0; ++r) {
            if (sec.isDeleted(r))
                continue;
            const dbf::Value key = sec.readValue(r, keyField);
            if (!key.isString() || key.asString() != wanted)
                continue;
            // A last number that cannot be read is never taken as 0: starting again at 1 would give a second
            // request the number (and so the image files) of an existing one.
            const dbf::Record row = sec.readRecord(r, false);
            const dbf::Value last = row.value(static_cast<size_t>(numField));
            if (!last.isNumber() || last.asDouble() < 0 || last.asDouble() != std::floor(last.asDouble())) {
                damaged = text::fromCp1252(QByteArray::fromStdString(row.rawText(static_cast<size_t>(numField))));
                damagedRow = true;
                break;
            }
            const double next = last.asDouble() + 1;
            sec.updateFields(r, {{numField, dbf::Value(next)}});
            result = static_cast<int>(std::llround(next));
            break;
        }
    } catch (const std::exception &e) {
        sec.close();
        throw DatasetError(
            QStringLiteral("No se pudo obtener un número de secuencia: %1").arg(userText(e)).toStdString());
    }
    sec.close();
    if (damagedRow) {
        m_ui.error(QStringLiteral("El último número del objeto \"%1\" en la tabla de secuencias está dañado "
                                  "(N_SEC = \"%2\"): no se asignó ningún número.\rPor favor comuníquese con %3.")
                       .arg(sequence, damaged, supportContact()));
        return 0;
    }
    if (result == 0)
        m_ui.message(QStringLiteral("No se puedo obtener el número de secuencia del objeto \"%1\"").arg(sequence),
                     ui::Ui::warningTitle());
    return result;
}

bool Tdm::assignNumber(Dataset &table, const QString &keyField)
{
    Field &f = table.field(keyField);
    if (f.isReadOnly())
        return false;
    const int n = drawNumber(table.name());
    if (n == 0)
        return false;
    f.setValue(n);
    return true;
}

// --- files ---

QString Tdm::requestFileName(const QString &prefix, const Dataset &table)
{
    const Field *ped = table.findField(QStringLiteral("C_PED"));
    const Field *reg = table.findField(QStringLiteral("C_REG"));
    if (!ped || !reg || ped->isNull() || reg->isNull())
        return {};
    return prefix + QString::number(std::llround(ped->asFloat())) + QLatin1Char('.') +
           QString::number(std::llround(reg->asFloat()));
}

void Tdm::deleteFile(const QString &name) const
{
    if (name.isEmpty())
        return;
    if (auto found = os::findFileNoCase(m_dir, name.toStdString()))
        QFile::remove(QString::fromStdString(found->string()));
}

// --- record helpers ---

bool Tdm::isMissing(const QVariant &value, const QString &label)
{
    if (!value.isNull() && !value.toString().isEmpty())
        return false;
    m_ui.message(QStringLiteral("Debe completar el campo \"") + label + QLatin1Char('"'), ui::Ui::warningTitle());
    return true;
}

bool Tdm::validNameCharacters(const QVariant &value)
{
    if (value.isNull())
        return true;
    const QString s = value.toString();
    for (const QChar ch : s) {
        const char16_t c = ch.unicode();
        if ((c >= u'A' && c <= u'Z') || c == u' ' || c == u'\'' || c == u'\u00D1')
            continue;
        m_ui.message(s + QStringLiteral(" contiene caracteres que no son válidos") + QStringLiteral("\r") +
                         QStringLiteral("Sólo se acepta A .. Z y el apostrofe"),
                     ui::Ui::warningTitle());
        return false;
    }
    return true;
}

QVariant Tdm::normalizedName(const QVariant &value)
{
    if (value.isNull())
        return value;
    static const QRegularExpression spaces(QStringLiteral(" {2,}"));
    QString s = value.toString().trimmed();
    s.replace(spaces, QStringLiteral(" "));
    return s;
}

bool Tdm::checkPostConfirmed()
{
    const bool was = postConfirmed;
    postConfirmed = false;
    if (!was)
        m_ui.message(QStringLiteral("Se han modificado los datos de este registro.\rPresione en el navegador el tilde "
                                    "para grabar\ro la equis para cancelar."),
                     ui::Ui::warningTitle());
    return was;
}

bool Tdm::isEditing() const
{
    return ped->isEditing() || pedp->isEditing();
}

void Tdm::FlushBuffers(Dataset &table)
{
    // The save itself is already on disk (record, memo and index entries): the engine syncs every write.
    // What is left is to show the other stations' changes, reading only what they appended unless they
    // also deleted records; the current record is found again by its key.
    static const QStringList keyed{QStringLiteral("ped"), QStringLiteral("pedp"), QStringLiteral("org"),
                                   QStringLiteral("usu"), QStringLiteral("sup")};
    if (!keyed.contains(table.name()) || !table.isActive())
        return;
    auto busy = m_ui.busyCursor();
    try {
        table.refresh();
    } catch (const std::exception &e) {
        // The save succeeded; only the re-read failed. The table is closed rather than shown stale.
        m_ui.error(QStringLiteral("Los datos se grabaron, pero no se pudo volver a leer la tabla \"%1\".\r%2")
                       .arg(table.name(), QString::fromUtf8(e.what())));
    }
}

void Tdm::BeforeEdit(Dataset &)
{
    deleteFile(QStringLiteral("edit.tif"));
    deleteFile(QStringLiteral("edit.zip"));
    deleteFile(QStringLiteral("docu.tif"));
}

} // namespace tav::store
