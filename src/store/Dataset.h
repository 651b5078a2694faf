#pragma once

#include "store/Event.h"
#include "store/Field.h"
#include "store/RecordSource.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <deque>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace tav::store {

enum class DatasetState { Inactive, Browse, Edit, Insert };

// Thrown by a rule to refuse an operation after it has shown its own message: the
// operation is cancelled silently and the record keeps the user's input.
struct Abort
{};

// An operation the dataset cannot do (wrong state, record held by another station, a
// storage error); the text is meant for the user.
class DatasetError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum LocateOption { LocateCaseInsensitive = 1, LocatePartialKey = 2 };

// A table seen through an index order with a current record, the browse/edit/insert states,
// typed fields and the events the office's rules hang on.
class Dataset : public QObject
{
    Q_OBJECT

public:
    Dataset(QString name, std::unique_ptr<RecordSource> source, QObject *parent = nullptr);
    ~Dataset() override;

    const QString &name() const { return m_name; }
    RecordSource &source() { return *m_source; }

    // Extra fields that are not stored: define them before opening.
    Field &addLookupField(const QString &name, int size, const LookupSpec &spec);
    Field &addCalculatedField(const QString &name, FieldKind kind, int size);

    void open();
    void close();
    bool isActive() const { return m_state != DatasetState::Inactive; }
    DatasetState state() const { return m_state; }
    bool isEditing() const { return m_state == DatasetState::Edit || m_state == DatasetState::Insert; }
    bool isModified() const { return m_modified; }

    // Fields
    const std::vector<std::unique_ptr<Field>> &fields() const { return m_fields; }
    Field *findField(const QString &name) const; // case-insensitive; nullptr when absent
    Field &field(const QString &name) const;     // throws DatasetError when absent
    Field &operator[](const QString &name) const { return field(name); }
    bool hasField(const QString &name) const { return findField(name) != nullptr; }

    // Navigation over the visible records (live, passing the filter and the master link).
    int recordCount() const { return static_cast<int>(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    int position() const { return m_pos; } // 0-based; -1 when empty
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    void first();
    void last();
    void next();
    void prior();
    bool moveTo(int position);
    // Key search on the index in use; true when found (the record becomes current).
    bool findKey(const QVariant &key);
    // Moves to the first record whose fields equal the values; true when found.
    bool locate(const QStringList &fieldNames, const QVariantList &values, int options = 0);
    bool locate(const QString &fieldName, const QVariant &value, int options = 0)
    {
        return locate(QStringList{fieldName}, QVariantList{value}, options);
    }
    // The value of `resultField` in the first record whose `keyField` equals `key`, without
    // moving the current record; null when there is none.
    QVariant lookupValue(const QString &keyField, const QVariant &key, const QString &resultField);
    // Values of any visible record, for grids: one field, or every field of the record (stored, lookup
    // and calculated, in field order) when a grid shows several of its columns.
    QVariant valueAt(int position, int fieldIndex);
    QVariantList rowValues(int position);
    // The current record as it is stored (with its lookup and calculated fields), whatever an edit has
    // changed in the buffer; empty while a new record is entered or when there is none.
    QVariantList storedValues();
    RecNo currentRecNo() const;

    // Editing
    void insert();
    void append() { insert(); }
    void edit();
    // False when a rule refused (the record stays in edit or insert), or when the record being edited was
    // deleted by another station meanwhile (the edit is dropped, the record stays deleted, and showMessage
    // tells why).
    bool post();
    void cancel();
    // Leaving an edit, as a table component does when the person moves on: a changed record is saved, an
    // untouched one dropped. True when the dataset is in browse afterwards (also when it was not editing);
    // false when a rule refused the save (the record stays in edit with the person's input).
    bool leaveEdit();
    bool remove(); // false when a rule refused
    // Reads what other stations saved (their new records, and the whole table again only when they
    // deleted or re-keyed records) and returns to the record with the same key when it is still there.
    // When the table cannot be read any more it is closed (Inactive) and DatasetError says why.
    void refresh();

    // Record filter: while filtered, only records every bound condition accepts are visible.
    Event<bool(Dataset &)> onFilterRecord;
    void setFiltered(bool filtered);
    bool isFiltered() const { return m_filtered; }
    // Applies a changed filter condition.
    void refilter();

    // Master–detail: only records whose `detailField` equals the master's current
    // `masterField` are visible; new records take the master's value.
    void setMaster(Dataset *master, const QString &masterField, const QString &detailField);

    // Where the dataset tells the user why it refused an operation that no rule refused (set by the data
    // module to its message box).
    std::function<void(const QString &text)> showMessage;

    // Record events. Several owners bind the same table's events (the data module, the official-request
    // rules, the exchange, the reply handlers); each keeps the Subscription that subscribe() returns, and its
    // handler is unbound when that goes. Handlers run in the order bound; a rule refuses by throwing Abort.
    using RecordEvent = Event<void(Dataset &)>;
    RecordEvent beforeInsert, afterInsert, beforeEdit, afterEdit, beforePost, afterPost, beforeCancel, afterCancel,
        beforeDelete, afterDelete, onNewRecord, onCalcFields, afterScroll, afterOpen, beforeClose;

    // Internal: the value buffer the fields read and write.
    QVariant fieldValue(int index) const;
    void setFieldValue(int index, const QVariant &value);

signals:
    void stateChanged();
    void currentChanged(); // another record became current, or the table was re-read
    void fieldChanged(int fieldIndex);
    void layoutChanged(); // the set of visible records changed

private:
    void buildFields();
    void loadRows();
    // Reads the visible records again and makes the first one current.
    void reloadAtFirst();
    void loadCurrent();
    void clearCurrent();
    void computeCalculated();
    QVariantList withCalculated(const QVariantList &stored);
    void setState(DatasetState state);
    void checkActive() const;
    void ensureBrowse();
    bool passesFilter(RecNo recno);
    void positionAtRecNo(RecNo recno);
    int findRowOfRecNo(RecNo recno) const;
    QVariant keyOfCurrent() const;
    void masterChanged();
    void scrolled();
    void becomeInactive();

    QString m_name;
    std::unique_ptr<RecordSource> m_source;
    std::vector<std::unique_ptr<Field>> m_fields;
    int m_storedCount = 0;

    DatasetState m_state = DatasetState::Inactive;
    std::vector<KeyEntry> m_rows; // visible records in order
    int m_pos = -1;
    bool m_bof = true;
    bool m_eof = true;

    QVariantList m_buffer;                     // current record (stored fields, then lookup/calculated)
    QVariantList m_original;                   // stored values as read, to know what changed
    const QVariantList *m_candidate = nullptr; // record under the filter's test
    RecNo m_editRecNo = 0;                     // record held in edit
    bool m_locked = false;
    bool m_modified = false;
    bool m_calculating = false;
    int m_insertPos = -1;

    bool m_filtered = false;
    Dataset *m_master = nullptr;
    QString m_masterField;
    int m_detailIndex = -1;
    QMetaObject::Connection m_masterConnection;
};

} // namespace tav::store
