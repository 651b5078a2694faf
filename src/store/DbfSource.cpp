#include "store/DbfSource.h"

#include "store/Dataset.h"

#include "platform/os/NoCasePath.h"
#include "platform/text/Cp1252Qt.h"

#include <QDateTime>
#include <cmath>

namespace tav::store {

namespace {

QString fileName(const std::filesystem::path &p)
{
    return QString::fromStdString(p.filename().string());
}

bool holdsSomething(const QVariant &v)
{
    if (v.isNull())
        return false;
    if (v.typeId() == QMetaType::QString)
        return !v.toString().trimmed().isEmpty();
    if (v.typeId() == QMetaType::QByteArray)
        return !v.toByteArray().isEmpty();
    return true;
}

} // namespace

DbfSource::DbfSource(std::filesystem::path path, QString indexTag, QList<ColumnDef> columns, dbf::OpenMode mode)
    : m_path(std::move(path)), m_tag(std::move(indexTag)), m_mode(mode), m_columns(std::move(columns)),
      m_declared(!m_columns.isEmpty())
{
    if (!m_declared) {
        // Undeclared: take the file's own columns now, so the dataset can build its fields.
        dbf::OpenOptions o;
        o.readOnly = true;
        o.loadIndexes = false;
        o.validateIndex = false;
        auto t = dbf::Table::open(m_path, dbf::OpenMode::Shared, o);
        for (const auto &f : t.fields())
            m_columns.append(columnOf(f));
    }
}

QString DbfSource::name() const
{
    return fileName(m_path);
}

ColumnDef DbfSource::columnOf(const dbf::FieldDef &f)
{
    ColumnDef c;
    c.name = QString::fromStdString(f.name);
    c.size = f.length;
    c.decimals = f.decimals;
    switch (f.type) {
    case dbf::FieldType::Character:
        c.kind = FieldKind::String;
        break;
    case dbf::FieldType::Numeric:
    case dbf::FieldType::Float:
        c.kind = (f.decimals == 0 && f.length <= 4) ? FieldKind::SmallInt : FieldKind::Float;
        break;
    case dbf::FieldType::Double:
        c.kind = FieldKind::Float;
        break;
    case dbf::FieldType::Integer:
    case dbf::FieldType::AutoInc:
        c.kind = FieldKind::Integer;
        break;
    case dbf::FieldType::Date:
        c.kind = FieldKind::Date;
        break;
    case dbf::FieldType::Timestamp:
        c.kind = FieldKind::DateTime;
        break;
    case dbf::FieldType::Logical:
        c.kind = FieldKind::Boolean;
        break;
    case dbf::FieldType::Memo:
        c.kind = FieldKind::Memo;
        break;
    case dbf::FieldType::Binary:
    case dbf::FieldType::General:
        c.kind = FieldKind::Blob;
        break;
    }
    return c;
}

QVariant DbfSource::toVariant(const dbf::Value &v, FieldKind kind)
{
    if (v.isNull())
        return {};
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Memo: {
        if (!v.isString())
            return {};
        const std::string &s = v.asString();
        if (s.empty())
            return {};
        return text::fromCp1252(QByteArray(s.data(), static_cast<qsizetype>(s.size())));
    }
    case FieldKind::SmallInt:
    case FieldKind::Integer:
        return v.isNumber() ? QVariant(static_cast<int>(std::llround(v.asDouble()))) : QVariant();
    case FieldKind::Float:
        return v.isNumber() ? QVariant(v.asDouble()) : QVariant();
    case FieldKind::Date: {
        if (!v.isDate())
            return {};
        const auto d = v.asDate();
        const QDate q(d.year, d.month, d.day);
        return q.isValid() ? QVariant(q) : QVariant();
    }
    case FieldKind::DateTime: {
        if (!v.isDateTime())
            return {};
        const auto dt = v.asDateTime();
        const QDate q(dt.date.year, dt.date.month, dt.date.day);
        return q.isValid() ? QVariant(q.startOfDay().addMSecs(dt.msecOfDay)) : QVariant();
    }
    case FieldKind::Boolean:
        return v.isBool() ? QVariant(v.asBool()) : QVariant();
    case FieldKind::Blob: {
        if (v.isBytes()) {
            const auto &b = v.asBytes();
            return b.empty() ? QVariant()
                             : QVariant(QByteArray(reinterpret_cast<const char *>(b.data()),
                                                   static_cast<qsizetype>(b.size())));
        }
        if (v.isString())
            return QVariant(QByteArray::fromStdString(v.asString()));
        return {};
    }
    }
    return {};
}

dbf::Value DbfSource::toValue(const QVariant &v, FieldKind kind)
{
    if (v.isNull() || !v.isValid())
        return {};
    switch (kind) {
    case FieldKind::String:
    case FieldKind::Memo:
        return dbf::Value(text::toCp1252(v.toString()).toStdString());
    case FieldKind::SmallInt:
    case FieldKind::Integer:
        return dbf::Value(static_cast<int64_t>(v.toLongLong()));
    case FieldKind::Float:
        return dbf::Value(v.toDouble());
    case FieldKind::Date: {
        const QDate d = v.toDate();
        return d.isValid() ? dbf::Value(dbf::Date{d.year(), d.month(), d.day()}) : dbf::Value();
    }
    case FieldKind::DateTime: {
        const QDateTime dt = v.toDateTime();
        if (!dt.isValid())
            return {};
        const QDate d = dt.date();
        return dbf::Value(dbf::DateTime{dbf::Date{d.year(), d.month(), d.day()}, dt.time().msecsSinceStartOfDay()});
    }
    case FieldKind::Boolean:
        return dbf::Value(v.toBool());
    case FieldKind::Blob: {
        const QByteArray b = v.toByteArray();
        return dbf::Value(dbf::Bytes(b.begin(), b.end()));
    }
    }
    return {};
}

void DbfSource::open()
{
    if (m_table.isOpen())
        return;
    m_table = dbf::Table::open(m_path, m_mode, m_options);
    m_fileIndex.clear();
    if (m_declared) {
        for (const auto &c : m_columns) {
            // A column the file lacks (an upgrade that could not be applied) reads as null; a save that gives
            // it a value is refused (refuseMissingColumns).
            m_fileIndex.push_back(m_table.fieldIndex(c.name.toStdString()));
        }
    } else {
        m_columns.clear();
        for (size_t i = 0; i < m_table.fields().size(); ++i) {
            m_columns.append(columnOf(m_table.fields()[i]));
            m_fileIndex.push_back(static_cast<int>(i));
        }
    }
    m_keyColumn = -1;
    m_tagName.clear();
    if (!m_tag.isEmpty()) {
        // The index in use is the production index's tag on the key field, whatever the tag is called.
        for (const auto &t : m_table.tags())
            if (os::equalsNoCase(t.field, m_tag.toStdString()) && m_table.hasIndex(t.name))
                m_tagName = t.name;
        if (m_tagName.empty()) {
            m_table.close();
            throw DatasetError(QStringLiteral("%1: no hay un índice sobre %2").arg(name(), m_tag).toStdString());
        }
        const int keyField = m_table.index(m_tagName).fieldIndex();
        for (qsizetype i = 0; i < m_columns.size(); ++i)
            if (m_fileIndex[static_cast<size_t>(i)] == keyField)
                m_keyColumn = static_cast<int>(i);
    }
}

void DbfSource::close()
{
    m_table.close();
}

bool DbfSource::refresh()
{
    if (!m_table.isOpen()) {
        open();
        return true;
    }
    // Other stations' appends are read alone; the whole table only when they also deleted or re-keyed records.
    const uint32_t before = m_table.recordCount();
    const bool reread = m_table.refresh();
    // Without an index the live records are the undeleted ones in record order, read each time.
    return reread || m_table.recordCount() != before || m_tag.isEmpty();
}

bool DbfSource::isDeleted(RecNo recno)
{
    return recno < 1 || recno > m_table.recordCount() || m_table.isDeleted(recno);
}

std::vector<KeyEntry> DbfSource::liveRecords()
{
    std::vector<KeyEntry> out;
    if (!m_tag.isEmpty()) {
        const auto &recnos = m_table.index(m_tagName).recnos();
        out.reserve(recnos.size());
        for (const auto r : recnos)
            out.push_back({QVariant(), r, false});
        return out;
    }
    const uint32_t n = m_table.recordCount();
    out.reserve(n);
    for (uint32_t r = 1; r <= n; ++r)
        if (!m_table.isDeleted(r))
            out.push_back({QVariant(), r, true});
    return out;
}

QVariant DbfSource::keyOf(RecNo recno)
{
    if (m_keyColumn < 0 || m_fileIndex[static_cast<size_t>(m_keyColumn)] < 0)
        return {};
    return toVariant(m_table.readValue(recno, m_fileIndex[static_cast<size_t>(m_keyColumn)]),
                     m_columns.at(m_keyColumn).kind);
}

QVariantList DbfSource::read(RecNo recno)
{
    const dbf::Record rec = m_table.readRecord(recno);
    QVariantList out;
    out.reserve(m_columns.size());
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const int fi = m_fileIndex[static_cast<size_t>(i)];
        out.append(fi < 0 ? QVariant() : toVariant(rec.value(static_cast<size_t>(fi)), m_columns.at(i).kind));
    }
    return out;
}

void DbfSource::refuseMissingColumns(const QVariantList &values, const std::vector<bool> *changed) const
{
    // A value for a column the file lacks (an upgrade another station kept from being made, an older table
    // form) cannot be stored: the save is refused rather than the value dropped.
    for (qsizetype i = 0; i < m_columns.size() && i < values.size(); ++i) {
        if (m_fileIndex[static_cast<size_t>(i)] >= 0)
            continue;
        if (changed && static_cast<size_t>(i) < changed->size() && !(*changed)[static_cast<size_t>(i)])
            continue;
        if (holdsSomething(values.at(i)))
            throw DatasetError(QStringLiteral("La tabla %1 no tiene el campo %2: el registro no se puede grabar.\r"
                                              "Cierre el programa en las demás estaciones y vuelva a iniciarlo "
                                              "para actualizar la tabla.")
                                   .arg(name(), m_columns.at(i).name)
                                   .toStdString());
    }
}

RecNo DbfSource::append(const QVariantList &values)
{
    refuseMissingColumns(values, nullptr);
    std::vector<dbf::Value> row(m_table.fields().size());
    for (qsizetype i = 0; i < m_columns.size() && i < values.size(); ++i)
        if (const int fi = m_fileIndex[static_cast<size_t>(i)]; fi >= 0)
            row[static_cast<size_t>(fi)] = toValue(values.at(i), m_columns.at(i).kind);
    return m_table.append(row);
}

void DbfSource::update(RecNo recno, const QVariantList &values, const std::vector<bool> &changed)
{
    refuseMissingColumns(values, &changed);
    std::vector<std::pair<int, dbf::Value>> changes;
    for (qsizetype i = 0; i < m_columns.size() && i < values.size(); ++i) {
        const int fi = m_fileIndex[static_cast<size_t>(i)];
        if (fi >= 0 && (static_cast<size_t>(i) >= changed.size() || changed[static_cast<size_t>(i)]))
            changes.emplace_back(fi, toValue(values.at(i), m_columns.at(i).kind));
    }
    if (!changes.empty())
        m_table.updateFields(recno, changes);
}

void DbfSource::erase(RecNo recno)
{
    m_table.setDeleted(recno, true);
}

bool DbfSource::lock(RecNo recno)
{
    return m_table.lockRecord(recno);
}

void DbfSource::unlock(RecNo recno)
{
    m_table.unlockRecord(recno);
}

} // namespace tav::store
