#include "store/Dataset.h"

#include "store/EngineText.h"

#include <QDateTime>
#include <algorithm>
#include <utility>

namespace tav::store {

int compareKeys(const QVariant &a, const QVariant &b)
{
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const auto ta = a.typeId(), tb = b.typeId();
    auto isNumber = [](int t) {
        return t == QMetaType::Int || t == QMetaType::Double || t == QMetaType::LongLong || t == QMetaType::UInt;
    };
    if (isNumber(ta) && isNumber(tb)) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ta == QMetaType::QDate && tb == QMetaType::QDate) {
        const auto x = a.toDate().toJulianDay(), y = b.toDate().toJulianDay();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (ta == QMetaType::QDateTime && tb == QMetaType::QDateTime) {
        const auto x = a.toDateTime(), y = b.toDateTime();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    const int c = QString::compare(a.toString(), b.toString(), Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

namespace {

const QVariant &entryKey(KeyEntry &e, RecordSource &source)
{
    if (!e.keyLoaded) {
        e.key = source.keyOf(e.recno);
        e.keyLoaded = true;
    }
    return e.key;
}

// First entry whose key is not before `key`; keys are loaded only for the entries the search visits.
size_t lowerBound(std::vector<KeyEntry> &rows, const QVariant &key, RecordSource &source)
{
    size_t lo = 0, hi = rows.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (compareKeys(entryKey(rows[mid], source), key) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Position of the first entry whose key equals `key`, or -1.
int findEqual(std::vector<KeyEntry> &rows, const QVariant &key, RecordSource &source)
{
    const size_t pos = lowerBound(rows, key, source);
    if (pos < rows.size() && compareKeys(entryKey(rows[pos], source), key) == 0)
        return static_cast<int>(pos);
    return -1;
}

} // namespace

Dataset::Dataset(QString name, std::unique_ptr<RecordSource> source, QObject *parent)
    : QObject(parent), m_name(std::move(name)), m_source(std::move(source))
{
    buildFields();
}

Dataset::~Dataset()
{
    if (m_locked && m_source->isOpen())
        m_source->unlock(m_editRecNo);
}

void Dataset::buildFields()
{
    const auto &cols = m_source->columns();
    m_fields.clear();
    for (int i = 0; i < cols.size(); ++i)
        m_fields.push_back(std::make_unique<Field>(*this, i, cols.at(i), FieldRole::Data));
    m_storedCount = static_cast<int>(cols.size());
}

Field &Dataset::addLookupField(const QString &name, int size, const LookupSpec &spec)
{
    const int index = static_cast<int>(m_fields.size());
    m_fields.push_back(
        std::make_unique<Field>(*this, index, ColumnDef{name, FieldKind::String, size, 0}, FieldRole::Lookup));
    m_fields.back()->setLookup(spec);
    m_buffer.resize(static_cast<qsizetype>(m_fields.size()));
    return *m_fields.back();
}

Field &Dataset::addCalculatedField(const QString &name, FieldKind kind, int size)
{
    const int index = static_cast<int>(m_fields.size());
    m_fields.push_back(std::make_unique<Field>(*this, index, ColumnDef{name, kind, size, 0}, FieldRole::Calculated));
    m_buffer.resize(static_cast<qsizetype>(m_fields.size()));
    return *m_fields.back();
}

Field *Dataset::findField(const QString &name) const
{
    for (const auto &f : m_fields)
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field &Dataset::field(const QString &name) const
{
    if (auto *f = findField(name))
        return *f;
    throw DatasetError(QStringLiteral("%1: no existe el campo %2").arg(m_name, name).toStdString());
}

void Dataset::checkActive() const
{
    if (m_state == DatasetState::Inactive)
        throw DatasetError(QStringLiteral("%1: la tabla no está abierta").arg(m_name).toStdString());
}

void Dataset::setState(DatasetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged();
}

void Dataset::open()
{
    if (isActive())
        return;
    if (!m_source->isOpen())
        m_source->open();
    m_state = DatasetState::Browse;
    reloadAtFirst();
    if (afterOpen)
        afterOpen(*this);
    emit stateChanged();
    emit layoutChanged();
    emit currentChanged();
}

void Dataset::close()
{
    if (!isActive()) {
        if (m_source->isOpen())
            m_source->close();
        return;
    }
    if (beforeClose)
        beforeClose(*this);
    if (m_locked) {
        m_source->unlock(m_editRecNo);
        m_locked = false;
    }
    m_source->close();
    becomeInactive();
}

void Dataset::becomeInactive()
{
    m_rows.clear();
    m_pos = -1;
    m_bof = m_eof = true;
    m_modified = false;
    m_locked = false;
    clearCurrent();
    setState(DatasetState::Inactive);
    emit layoutChanged();
    emit currentChanged();
}

bool Dataset::passesFilter(RecNo recno)
{
    if (!m_filtered || !onFilterRecord)
        return true;
    const QVariantList row = m_source->read(recno);
    m_candidate = &row;
    bool pass = false;
    try {
        pass = onFilterRecord(*this);
    } catch (...) {
        m_candidate = nullptr;
        throw;
    }
    m_candidate = nullptr;
    return pass;
}

void Dataset::loadRows()
{
    std::vector<KeyEntry> all = m_source->liveRecords();
    if (m_master) {
        const QVariant masterValue = m_master->isActive() && m_master->findField(m_masterField)
                                         ? m_master->field(m_masterField).value()
                                         : QVariant();
        std::vector<KeyEntry> linked;
        if (!masterValue.isNull()) {
            if (m_source->keyColumn() == m_detailIndex) {
                for (size_t i = lowerBound(all, masterValue, *m_source);
                     i < all.size() && compareKeys(entryKey(all[i], *m_source), masterValue) == 0; ++i)
                    linked.push_back(all[i]);
            } else {
                for (const auto &e : all) {
                    const QVariantList row = m_source->read(e.recno);
                    if (compareKeys(row.value(m_detailIndex), masterValue) == 0)
                        linked.push_back(e);
                }
            }
        }
        all = std::move(linked);
    }
    if (m_filtered && onFilterRecord) {
        std::vector<KeyEntry> kept;
        for (const auto &e : all)
            if (passesFilter(e.recno))
                kept.push_back(e);
        all = std::move(kept);
    }
    m_rows = std::move(all);
}

void Dataset::reloadAtFirst()
{
    loadRows();
    m_pos = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    loadCurrent();
}

void Dataset::clearCurrent()
{
    m_buffer = QVariantList(static_cast<qsizetype>(m_fields.size()));
    m_original = QVariantList(m_storedCount);
}

void Dataset::computeCalculated()
{
    for (int i = m_storedCount; i < static_cast<int>(m_fields.size()); ++i) {
        const Field &f = *m_fields[static_cast<size_t>(i)];
        if (f.role() == FieldRole::Lookup) {
            const LookupSpec &spec = f.lookup();
            QVariant v;
            const Field *src = findField(spec.sourceField);
            if (spec.dataset && src && spec.dataset->isActive()) {
                const QVariant key = m_buffer.value(src->index());
                if (!key.isNull())
                    v = spec.dataset->lookupValue(spec.keyField, key, spec.resultField);
            }
            m_buffer[i] = v;
        } else {
            m_buffer[i] = QVariant();
        }
    }
    if (onCalcFields) {
        m_calculating = true;
        try {
            onCalcFields(*this);
        } catch (...) {
            m_calculating = false;
            throw;
        }
        m_calculating = false;
    }
}

void Dataset::loadCurrent()
{
    clearCurrent();
    if (m_pos >= 0 && m_pos < recordCount()) {
        const QVariantList row = m_source->read(m_rows[static_cast<size_t>(m_pos)].recno);
        for (int i = 0; i < m_storedCount && i < row.size(); ++i)
            m_buffer[i] = row.at(i);
        m_original = row;
        computeCalculated();
    }
}

void Dataset::scrolled()
{
    loadCurrent();
    emit currentChanged();
    if (afterScroll)
        afterScroll(*this);
}

bool Dataset::leaveEdit()
{
    if (!isEditing())
        return true;
    if (!m_modified) {
        cancel();
        return true;
    }
    return post();
}

void Dataset::ensureBrowse()
{
    checkActive();
    if (!leaveEdit())
        throw Abort{};
}

void Dataset::first()
{
    ensureBrowse();
    m_pos = m_rows.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_rows.empty();
    scrolled();
}

void Dataset::last()
{
    ensureBrowse();
    m_pos = recordCount() - 1;
    m_eof = true;
    m_bof = m_rows.empty();
    scrolled();
}

// Moving past the last (first) record stays on it and sets the end (beginning) flag; that attempt is
// announced like a move, so navigators and bound controls see the flag, and repeating it does nothing.
void Dataset::next()
{
    ensureBrowse();
    if (m_eof)
        return;
    m_bof = false;
    if (m_pos + 1 < recordCount())
        ++m_pos;
    else
        m_eof = true;
    scrolled();
}

void Dataset::prior()
{
    ensureBrowse();
    if (m_bof)
        return;
    m_eof = false;
    if (m_pos > 0)
        --m_pos;
    else
        m_bof = true;
    scrolled();
}

bool Dataset::moveTo(int position)
{
    ensureBrowse();
    if (position < 0 || position >= recordCount())
        return false;
    m_pos = position;
    m_bof = m_eof = false;
    scrolled();
    return true;
}

bool Dataset::findKey(const QVariant &key)
{
    ensureBrowse();
    const int keyCol = m_source->keyColumn();
    if (keyCol < 0)
        return locate(m_fields[0]->name(), key);
    const QVariant k =
        coerceValue(m_fields[static_cast<size_t>(keyCol)]->kind(), m_fields[static_cast<size_t>(keyCol)]->size(), key);
    const int row = findEqual(m_rows, k, *m_source);
    if (row < 0)
        return false;
    m_pos = row;
    m_bof = m_eof = false;
    scrolled();
    return true;
}

namespace {
bool valuesMatch(const Field &f, const QVariant &have, const QVariant &want, int options)
{
    if (f.kind() == FieldKind::String || f.kind() == FieldKind::Memo || (options & LocatePartialKey)) {
        const QString a = have.isNull() ? QString() : have.toString();
        const QString b = want.isNull() ? QString() : want.toString().trimmed();
        const auto cs = (options & LocateCaseInsensitive) ? Qt::CaseInsensitive : Qt::CaseSensitive;
        return (options & LocatePartialKey) ? a.startsWith(b, cs) : a.compare(b, cs) == 0;
    }
    return compareKeys(have, coerceValue(f.kind(), f.size(), want)) == 0;
}
} // namespace

bool Dataset::locate(const QStringList &fieldNames, const QVariantList &values, int options)
{
    ensureBrowse();
    std::vector<const Field *> fs;
    for (const auto &n : fieldNames)
        fs.push_back(&field(n));
    for (int pos = 0; pos < recordCount(); ++pos) {
        const QVariantList row = m_source->read(m_rows[static_cast<size_t>(pos)].recno);
        bool all = true;
        for (size_t i = 0; i < fs.size() && all; ++i) {
            const int idx = fs[i]->index();
            all = idx < m_storedCount &&
                  valuesMatch(*fs[i], row.value(idx), values.value(static_cast<qsizetype>(i)), options);
        }
        if (all) {
            m_pos = pos;
            m_bof = m_eof = false;
            scrolled();
            return true;
        }
    }
    return false;
}

QVariant Dataset::lookupValue(const QString &keyField, const QVariant &key, const QString &resultField)
{
    const Field *kf = findField(keyField);
    const Field *rf = findField(resultField);
    if (!kf || !rf || !isActive() || rf->index() >= m_storedCount)
        return {};
    const QVariant k = coerceValue(kf->kind(), kf->size(), key);
    if (k.isNull())
        return {};
    if (m_source->keyColumn() == kf->index() && !m_master && !m_filtered) {
        const int row = findEqual(m_rows, k, *m_source);
        return row < 0 ? QVariant() : m_source->read(m_rows[static_cast<size_t>(row)].recno).value(rf->index());
    }
    for (const auto &e : m_rows) {
        const QVariantList row = m_source->read(e.recno);
        if (compareKeys(row.value(kf->index()), k) == 0)
            return row.value(rf->index());
    }
    return {};
}

QVariant Dataset::valueAt(int position, int fieldIndex)
{
    if (position < 0 || position >= recordCount() || fieldIndex < 0 || fieldIndex >= static_cast<int>(m_fields.size()))
        return {};
    // While a new record is being entered the buffer holds it, not the record at the current position.
    if (position == m_pos && m_state != DatasetState::Insert)
        return m_buffer.value(fieldIndex);
    const QVariantList row = m_source->read(m_rows[static_cast<size_t>(position)].recno);
    if (fieldIndex < m_storedCount)
        return row.value(fieldIndex);
    return withCalculated(row).value(fieldIndex);
}

QVariantList Dataset::rowValues(int position)
{
    if (position < 0 || position >= recordCount())
        return {};
    if (position == m_pos && m_state != DatasetState::Insert)
        return m_buffer;
    return withCalculated(m_source->read(m_rows[static_cast<size_t>(position)].recno));
}

QVariantList Dataset::storedValues()
{
    if (m_pos < 0 || m_pos >= recordCount() || m_state == DatasetState::Insert)
        return {};
    return withCalculated(m_source->read(m_rows[static_cast<size_t>(m_pos)].recno));
}

// Another record's stored values completed with its lookup and calculated fields, computed on a
// scratch buffer so the current record stays as it is.
QVariantList Dataset::withCalculated(const QVariantList &stored)
{
    QVariantList saved = std::exchange(m_buffer, QVariantList(static_cast<qsizetype>(m_fields.size())));
    for (int i = 0; i < m_storedCount && i < stored.size(); ++i)
        m_buffer[i] = stored.at(i);
    try {
        computeCalculated();
    } catch (...) {
        m_buffer = std::move(saved);
        throw;
    }
    return std::exchange(m_buffer, std::move(saved));
}

RecNo Dataset::currentRecNo() const
{
    if (m_state == DatasetState::Insert || m_pos < 0 || m_pos >= recordCount())
        return 0;
    return m_rows[static_cast<size_t>(m_pos)].recno;
}

QVariant Dataset::fieldValue(int index) const
{
    if (m_candidate && index < m_storedCount)
        return m_candidate->value(index);
    return m_buffer.value(index);
}

void Dataset::setFieldValue(int index, const QVariant &value)
{
    Field &f = *m_fields.at(static_cast<size_t>(index));
    if (f.role() == FieldRole::Calculated && m_calculating) {
        m_buffer[index] = coerceValue(f.kind(), f.size(), value);
        return;
    }
    if (!isEditing())
        throw DatasetError(
            QStringLiteral("%1: la tabla no está en modo de edición o inserción").arg(m_name).toStdString());
    if (f.role() != FieldRole::Data)
        throw DatasetError(QStringLiteral("%1: el campo %2 no se puede modificar").arg(m_name, f.name()).toStdString());
    if (f.kind() == FieldKind::String && f.size() > 0 && value.isValid() && !value.isNull() &&
        value.typeId() != QMetaType::Bool) {
        // A text the column cannot hold is refused whole, never stored cut.
        QString text = value.toString();
        while (!text.isEmpty() && text.back() == QLatin1Char(' '))
            text.chop(1);
        if (text.size() > f.size())
            throw DatasetError(QStringLiteral("%1: el valor del campo %2 tiene %3 caracteres y el campo admite %4.")
                                   .arg(m_name, f.name())
                                   .arg(text.size())
                                   .arg(f.size())
                                   .toStdString());
    }
    m_buffer[index] = coerceValue(f.kind(), f.size(), value);
    m_modified = true;
    computeCalculated();
    emit fieldChanged(index);
    for (int i = m_storedCount; i < static_cast<int>(m_fields.size()); ++i)
        emit fieldChanged(i);
    if (f.onChange)
        f.onChange(f);
}

QVariant Dataset::keyOfCurrent() const
{
    const int keyCol = m_source->keyColumn();
    if (keyCol < 0)
        return {};
    return m_buffer.value(keyCol);
}

int Dataset::findRowOfRecNo(RecNo recno) const
{
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].recno == recno)
            return static_cast<int>(i);
    return -1;
}

void Dataset::positionAtRecNo(RecNo recno)
{
    const int row = findRowOfRecNo(recno);
    if (row >= 0)
        m_pos = row;
    else
        m_pos = std::min(std::max(m_pos, 0), recordCount() - 1);
    m_bof = m_eof = m_rows.empty();
}

void Dataset::insert()
{
    ensureBrowse();
    if (beforeInsert)
        beforeInsert(*this);
    clearCurrent();
    if (m_master && m_detailIndex >= 0 && m_master->isActive())
        m_buffer[m_detailIndex] = m_master->field(m_masterField).value();
    m_insertPos = m_pos;
    m_state = DatasetState::Insert;
    computeCalculated();
    if (onNewRecord) {
        try {
            onNewRecord(*this);
        } catch (...) {
            m_state = DatasetState::Browse;
            loadCurrent();
            throw;
        }
    }
    m_modified = false;
    emit stateChanged();
    emit currentChanged();
    if (afterInsert)
        afterInsert(*this);
}

void Dataset::edit()
{
    checkActive();
    if (isEditing())
        return;
    if (isEmpty()) {
        insert();
        return;
    }
    if (beforeEdit)
        beforeEdit(*this);
    const RecNo recno = m_rows[static_cast<size_t>(m_pos)].recno;
    if (!m_source->lock(recno))
        throw DatasetError("El registro está siendo modificado en otra estación de trabajo.\n"
                           "Vuelva a intentar en unos instantes.");
    m_locked = true;
    m_editRecNo = recno;
    try {
        loadCurrent(); // the latest saved values, also another station's
    } catch (...) {
        m_source->unlock(recno);
        m_locked = false;
        throw;
    }
    m_modified = false;
    setState(DatasetState::Edit);
    emit currentChanged();
    if (afterEdit)
        afterEdit(*this);
}

bool Dataset::post()
{
    checkActive();
    if (!isEditing())
        return true;
    try {
        if (beforePost)
            beforePost(*this);
    } catch (const Abort &) {
        return false;
    }
    QVariantList stored = m_buffer.mid(0, m_storedCount);
    RecNo recno = 0;
    if (m_state == DatasetState::Edit) {
        bool gone = false;
        try {
            gone = m_source->isDeleted(m_editRecNo);
        } catch (const std::exception &) {
            gone = false; // the write below reports what is wrong with the table
        }
        if (gone) {
            // Another station deleted the record while it was being edited here: writing into it would
            // store nothing anyone can see. The edit is dropped and the record stays deleted.
            if (m_locked) {
                m_source->unlock(m_editRecNo);
                m_locked = false;
            }
            m_modified = false;
            m_state = DatasetState::Browse;
            const int oldPos = m_pos;
            try {
                m_source->refresh(); // the deletion, and whatever else the other stations did
            } catch (const std::exception &) {
            }
            loadRows();
            m_pos = m_rows.empty() ? -1 : std::min(std::max(oldPos, 0), recordCount() - 1);
            m_bof = m_eof = m_rows.empty();
            loadCurrent();
            emit stateChanged();
            emit layoutChanged();
            emit currentChanged();
            if (showMessage)
                showMessage(QStringLiteral("El registro fue borrado en otra estación de trabajo.\r"
                                           "Los cambios no se pudieron grabar."));
            return false;
        }
    }
    try {
        if (m_state == DatasetState::Insert) {
            recno = m_source->append(stored);
        } else {
            recno = m_editRecNo;
            std::vector<bool> changed(static_cast<size_t>(m_storedCount));
            for (int i = 0; i < m_storedCount; ++i)
                changed[static_cast<size_t>(i)] = compareKeys(stored.at(i), m_original.value(i)) != 0 ||
                                                  stored.at(i).typeId() != m_original.value(i).typeId();
            m_source->update(recno, stored, changed);
        }
    } catch (const std::exception &e) {
        throw DatasetError(
            QStringLiteral("%1: no se pudo grabar el registro: %2").arg(m_name, userText(e)).toStdString());
    }
    if (m_locked) {
        m_source->unlock(m_editRecNo);
        m_locked = false;
    }
    m_modified = false;
    const bool inserted = m_state == DatasetState::Insert;
    const int keyCol = m_source->keyColumn();
    const bool sameRows =
        !inserted && !m_filtered && (keyCol < 0 || keyCol == m_detailIndex || !m_master) &&
        (keyCol < 0 || compareKeys(stored.value(keyCol), m_original.value(keyCol)) == 0) &&
        (m_detailIndex < 0 || compareKeys(stored.value(m_detailIndex), m_original.value(m_detailIndex)) == 0);
    m_state = DatasetState::Browse;
    if (!sameRows) {
        loadRows();
        positionAtRecNo(recno);
    } else if (keyCol >= 0 && m_pos >= 0 && m_pos < recordCount()) {
        m_rows[static_cast<size_t>(m_pos)].keyLoaded = false; // read again when a search needs it
    }
    loadCurrent();
    emit stateChanged();
    emit layoutChanged(); // grids show the saved values
    emit currentChanged();
    if (afterPost)
        afterPost(*this);
    return true;
}

void Dataset::cancel()
{
    if (!isEditing())
        return;
    if (beforeCancel)
        beforeCancel(*this);
    if (m_locked) {
        m_source->unlock(m_editRecNo);
        m_locked = false;
    }
    m_modified = false;
    m_state = DatasetState::Browse;
    loadCurrent();
    emit stateChanged();
    emit currentChanged();
    if (afterCancel)
        afterCancel(*this);
}

bool Dataset::remove()
{
    checkActive();
    if (m_state == DatasetState::Insert) {
        cancel();
        return true;
    }
    if (isEmpty())
        throw DatasetError("No hay registros para borrar.");
    try {
        if (beforeDelete)
            beforeDelete(*this);
    } catch (const Abort &) {
        return false;
    }
    const RecNo recno = m_rows[static_cast<size_t>(m_pos)].recno;
    if (!m_locked && !m_source->lock(recno))
        throw DatasetError("El registro está siendo modificado en otra estación de trabajo.\n"
                           "Vuelva a intentar en unos instantes.");
    try {
        m_source->erase(recno);
    } catch (...) {
        m_source->unlock(recno);
        m_locked = false;
        throw;
    }
    m_source->unlock(recno);
    m_locked = false;
    m_modified = false;
    m_state = DatasetState::Browse;
    const int oldPos = m_pos;
    loadRows();
    m_pos = m_rows.empty() ? -1 : std::min(oldPos, recordCount() - 1);
    m_bof = m_eof = m_rows.empty();
    loadCurrent();
    emit stateChanged();
    emit layoutChanged();
    emit currentChanged();
    if (afterDelete)
        afterDelete(*this);
    return true;
}

void Dataset::refresh()
{
    checkActive();
    if (isEditing())
        cancel();
    const QVariant key = keyOfCurrent();
    const RecNo recno = currentRecNo();
    bool changed = true;
    try {
        changed = m_source->refresh();
        if (!changed) {
            // Nobody appended, deleted or re-keyed: the same records in the same order; only values may differ.
            loadCurrent();
            emit currentChanged();
            return;
        }
        loadRows();
    } catch (const std::exception &e) {
        // A source that could not be read again is not browsed as if nothing happened.
        if (m_locked && m_source->isOpen())
            m_source->unlock(m_editRecNo);
        m_source->close();
        becomeInactive();
        throw DatasetError(QStringLiteral("%1: no se pudo volver a leer la tabla: %2")
                               .arg(m_name, QString::fromLocal8Bit(e.what()))
                               .toStdString());
    }
    int row = -1;
    if (!key.isNull()) {
        row = findEqual(m_rows, key, *m_source);
    } else if (recno) {
        row = findRowOfRecNo(recno);
    }
    m_pos = row >= 0 ? row : (m_rows.empty() ? -1 : std::min(std::max(m_pos, 0), recordCount() - 1));
    m_bof = m_eof = m_rows.empty();
    loadCurrent();
    emit layoutChanged();
    emit currentChanged();
}

void Dataset::setFiltered(bool filtered)
{
    if (m_filtered == filtered)
        return;
    m_filtered = filtered;
    refilter();
}

void Dataset::refilter()
{
    if (!isActive())
        return;
    ensureBrowse();
    reloadAtFirst();
    emit layoutChanged();
    emit currentChanged();
}

void Dataset::setMaster(Dataset *master, const QString &masterField, const QString &detailField)
{
    if (m_masterConnection)
        disconnect(m_masterConnection);
    m_master = master;
    m_masterField = masterField;
    m_detailIndex = master ? field(detailField).index() : -1;
    if (master) {
        m_masterConnection = connect(master, &Dataset::currentChanged, this, &Dataset::masterChanged);
    }
    if (isActive())
        masterChanged();
}

void Dataset::masterChanged()
{
    if (!isActive())
        return;
    if (isEditing())
        cancel();
    reloadAtFirst();
    emit layoutChanged();
    emit currentChanged();
}

} // namespace tav::store
