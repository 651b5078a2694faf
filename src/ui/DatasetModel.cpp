#include "ui/DatasetModel.h"

#include "store/Dataset.h"
#include "ui/DateEditBinder.h"
#include "ui/FieldText.h"
#include "ui/GuardedCall.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QTimer>

namespace tav::ui {

// ---------------------------------------------------------------------------------------------
// DatasetModel

DatasetModel::DatasetModel(store::Dataset &dataset, QObject *parent)
    : DatasetModel(dataset, visibleColumns(dataset), parent)
{}

DatasetModel::DatasetModel(store::Dataset &dataset, const QList<Column> &columns, QObject *parent)
    : QAbstractTableModel(parent), m_dataset(&dataset)
{
    connect(&dataset, &store::Dataset::stateChanged, this, &DatasetModel::onStateChanged);
    connect(&dataset, &store::Dataset::layoutChanged, this, &DatasetModel::onLayoutChanged);
    connect(&dataset, &store::Dataset::currentChanged, this, &DatasetModel::onCurrentChanged);
    connect(&dataset, &store::Dataset::fieldChanged, this, &DatasetModel::onFieldChanged);
    setColumns(columns);
}

QList<DatasetModel::Column> DatasetModel::visibleColumns(const store::Dataset &dataset)
{
    QList<Column> out;
    for (const auto &f : dataset.fields())
        if (f->isVisible())
            out.append(Column{f->name(), QString(), {}, 0});
    return out;
}

void DatasetModel::setColumns(const QList<Column> &columns)
{
    m_reshaping = true;
    beginResetModel();
    m_columns = columns;
    m_fieldIndexes.clear();
    for (const Column &c : columns) {
        const store::Field *f = m_dataset ? m_dataset->findField(c.field) : nullptr;
        m_fieldIndexes.append(f ? f->index() : -1);
    }
    keepCurrentValues();
    const Shape s = shapeNow();
    m_records = s.records;
    m_insertRow = s.insertRow;
    endResetModel();
    m_reshaping = false;
    m_lastCurrentRow = currentRow();
}

store::Field *DatasetModel::fieldAt(int column) const
{
    if (!m_dataset || column < 0 || column >= m_fieldIndexes.size() || m_fieldIndexes.at(column) < 0)
        return nullptr;
    return m_dataset->fields().at(static_cast<size_t>(m_fieldIndexes.at(column))).get();
}

void DatasetModel::setEditable(bool editable, Ui *ui)
{
    m_editable = editable;
    m_ui = ui;
}

DatasetModel::Shape DatasetModel::shapeNow() const
{
    Shape s;
    if (!m_dataset || !m_dataset->isActive())
        return s;
    s.records = m_dataset->recordCount();
    if (m_dataset->state() == store::DatasetState::Insert)
        s.insertRow = std::clamp(m_dataset->position(), 0, s.records);
    return s;
}

void DatasetModel::resetTo(const Shape &shape)
{
    m_reshaping = true;
    beginResetModel();
    m_records = shape.records;
    m_insertRow = shape.insertRow;
    endResetModel();
    m_reshaping = false;
}

void DatasetModel::keepCurrentValues()
{
    m_cachedPosition = -1;
    if (!m_dataset || !m_dataset->isActive() || m_dataset->state() == store::DatasetState::Insert)
        return;
    m_currentValues.clear();
    if (m_dataset->position() < 0)
        return;
    const int count = static_cast<int>(m_dataset->fields().size());
    for (int i = 0; i < count; ++i)
        m_currentValues.append(m_dataset->fieldValue(i));
}

int DatasetModel::currentRow() const
{
    if (!m_dataset || !m_dataset->isActive())
        return -1;
    if (m_insertRow >= 0)
        return m_insertRow;
    const int pos = m_dataset->position();
    return pos >= 0 && pos < m_records ? rowOfPosition(pos) : -1;
}

int DatasetModel::positionOfRow(int row) const
{
    if (m_insertRow >= 0) {
        if (row == m_insertRow)
            return -1;
        if (row > m_insertRow)
            return row - 1;
    }
    return row;
}

int DatasetModel::rowOfPosition(int position) const
{
    return m_insertRow >= 0 && position >= m_insertRow ? position + 1 : position;
}

int DatasetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records + (m_insertRow >= 0 ? 1 : 0);
}

int DatasetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_columns.size());
}

QVariant DatasetModel::valueAt(int row, int fieldIndex) const
{
    store::Dataset &ds = *m_dataset;
    if (row == m_insertRow)
        return ds.state() == store::DatasetState::Insert ? ds.fieldValue(fieldIndex) : QVariant();
    const int pos = positionOfRow(row);
    if (ds.state() == store::DatasetState::Insert && pos == ds.position())
        return m_currentValues.value(fieldIndex);
    if (pos != m_cachedPosition) {
        QVariantList row;
        try {
            row = ds.rowValues(pos);
        } catch (const std::exception &) {
            return ds.valueAt(pos, fieldIndex); // a failing calculation spoils its own cells only
        }
        m_cachedRow = std::move(row);
        m_cachedPosition = pos;
        if (!m_cacheExpiryQueued) {
            m_cacheExpiryQueued = true;
            QTimer::singleShot(0, this, [this] {
                m_cacheExpiryQueued = false;
                m_cachedPosition = -1;
            });
        }
    }
    return m_cachedRow.value(fieldIndex);
}

QVariant DatasetModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || !m_dataset || !m_dataset->isActive())
        return {};
    const store::Field *f = fieldAt(index.column());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        if (!f)
            return QString();
        try {
            return store::Field::textOf(f->kind(), valueAt(index.row(), f->index()));
        } catch (const std::exception &) {
            return QString(); // a calculation that fails for one record leaves its cell empty
        }
    case Qt::TextAlignmentRole: {
        Qt::Alignment a = m_columns.at(index.column()).alignment;
        if (!a)
            a = (f && isNumericKind(f->kind()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
        return QVariant::fromValue(a);
    }
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        const Column &c = m_columns.at(section);
        if (!c.title.isEmpty())
            return c.title;
        const store::Field *f = fieldAt(section);
        return f ? f->displayLabel() : c.field;
    }
    if (section < 0 || section >= rowCount() || section != currentRow())
        return QString();
    switch (m_dataset->state()) {
    case store::DatasetState::Insert:
        return QStringLiteral("*");
    case store::DatasetState::Edit:
        return QStringLiteral("I");
    default:
        return QStringLiteral("►");
    }
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex &index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return Qt::NoItemFlags;
    Qt::ItemFlags out = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    const store::Field *f = fieldAt(index.column());
    if (isEditable() && f && !f->isReadOnly() && f->role() == store::FieldRole::Data)
        out |= Qt::ItemIsEditable;
    return out;
}

bool DatasetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable) || !m_dataset->isActive())
        return false;
    store::Field &f = *fieldAt(index.column());
    using store::FieldKind;
    QVariant v = value;
    if (v.typeId() == QMetaType::QString && f.kind() != FieldKind::String && f.kind() != FieldKind::Memo) {
        const QString text = v.toString().trimmed();
        if (!text.isEmpty() && store::coerceValue(f.kind(), f.size(), text).isNull()) {
            m_ui->error(
                f.kind() == FieldKind::Date
                    ? DateEditBinder::invalidDateMessage(text)
                    : QStringLiteral("\"%1\" no es un valor válido para el campo %2.").arg(text, f.displayLabel()));
            return false;
        }
        v = text;
    }
    const int row = index.row();
    return guardedCall(*m_ui, [&] {
        store::Dataset &ds = *m_dataset;
        if (row != m_insertRow) {
            const int pos = positionOfRow(row);
            if (ds.state() == store::DatasetState::Insert || pos != ds.position())
                ds.moveTo(pos);
        }
        if (!ds.isEditing())
            ds.edit();
        f.setValue(v);
    });
}

void DatasetModel::updateRows(int first, int last)
{
    const int rows = rowCount();
    first = std::max(first, 0);
    last = std::min(last, rows - 1);
    if (first > last || m_columns.isEmpty())
        return;
    emit dataChanged(index(first, 0), index(last, static_cast<int>(m_columns.size()) - 1));
    emit headerDataChanged(Qt::Vertical, first, last);
}

void DatasetModel::announceCurrent()
{
    const int row = currentRow();
    if (row != m_lastCurrentRow) {
        updateRows(m_lastCurrentRow, m_lastCurrentRow);
        m_lastCurrentRow = row;
    }
    updateRows(row, row);
    emit currentRowChanged(row);
}

void DatasetModel::onStateChanged()
{
    keepCurrentValues();
    const Shape now = shapeNow();
    const Shape was{m_records, m_insertRow};
    if (now.records == was.records && now.insertRow != was.insertRow && (now.insertRow < 0 || was.insertRow < 0)) {
        m_reshaping = true;
        if (now.insertRow >= 0) {
            beginInsertRows(QModelIndex(), now.insertRow, now.insertRow);
            m_insertRow = now.insertRow;
            endInsertRows();
        } else {
            beginRemoveRows(QModelIndex(), was.insertRow, was.insertRow);
            m_insertRow = -1;
            endRemoveRows();
        }
        m_reshaping = false;
        m_lastCurrentRow = -1;
    } else if (!(now == was)) {
        resetTo(now);
        m_lastCurrentRow = -1;
    }
    announceCurrent();
}

void DatasetModel::onLayoutChanged()
{
    keepCurrentValues();
    resetTo(shapeNow());
    m_lastCurrentRow = -1;
    announceCurrent();
}

void DatasetModel::onCurrentChanged()
{
    keepCurrentValues();
    const Shape now = shapeNow();
    if (!(now == Shape{m_records, m_insertRow})) {
        resetTo(now);
        m_lastCurrentRow = -1;
    }
    announceCurrent();
}

void DatasetModel::onFieldChanged(int fieldIndex)
{
    Q_UNUSED(fieldIndex);
    keepCurrentValues();
    const int row = currentRow();
    updateRows(row, row);
}

// ---------------------------------------------------------------------------------------------
// GridLink

GridLink::GridLink(QTableView *view, DatasetModel *model, Ui &ui)
    : QObject(view), m_view(view), m_model(model), m_ui(ui)
{
    if (view->model() != model)
        view->setModel(model);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setSelectionBehavior(model->isEditable() ? QAbstractItemView::SelectItems : QAbstractItemView::SelectRows);
    if (!model->isEditable())
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->verticalHeader()->setMinimumWidth(view->fontMetrics().horizontalAdvance(QStringLiteral("MM")));
    connect(view->selectionModel(), &QItemSelectionModel::currentChanged, this, &GridLink::onViewCurrentChanged);
    connect(model, &DatasetModel::currentRowChanged, this, &GridLink::selectCurrent);
    connect(model, &QAbstractItemModel::modelReset, this, [this] {
        applyColumnWidths();
        selectCurrent();
    });
    view->installEventFilter(this);
    applyColumnWidths();
    selectCurrent();
}

void GridLink::applyColumnWidths()
{
    if (!m_view || !m_model)
        return;
    const int charWidth = m_view->fontMetrics().averageCharWidth();
    for (int c = 0; c < m_model->columns().size(); ++c) {
        const int chars = m_model->columns().at(c).width;
        if (chars > 0)
            m_view->setColumnWidth(c, chars * charWidth + 12);
    }
}

void GridLink::selectCurrent()
{
    if (!m_view || !m_model || m_syncing)
        return;
    QItemSelectionModel *sel = m_view->selectionModel();
    const int row = m_model->currentRow();
    if (row < 0) {
        m_syncing = true;
        sel->clear();
        m_syncing = false;
        return;
    }
    const QModelIndex current = sel->currentIndex();
    if (current.isValid() && current.row() == row && sel->isSelected(current))
        return;
    const int column = current.isValid() ? current.column() : 0;
    m_syncing = true;
    QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
    if (m_view->selectionBehavior() == QAbstractItemView::SelectRows)
        flags |= QItemSelectionModel::Rows;
    sel->setCurrentIndex(m_model->index(row, std::max(column, 0)), flags);
    m_view->scrollTo(m_model->index(row, std::max(column, 0)));
    m_syncing = false;
}

void GridLink::onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    if (m_syncing || !current.isValid() || !m_model || !m_model->dataset() || m_model->isReshaping())
        return;
    if (previous.isValid() && current.row() == previous.row())
        return;
    if (current.row() == m_model->currentRow())
        return;
    const int pos = m_model->positionOfRow(current.row());
    store::Dataset &ds = *m_model->dataset();
    const bool moved = pos >= 0 && guardedCall(m_ui, [&] { ds.moveTo(pos); });
    if (!moved)
        QTimer::singleShot(0, this, &GridLink::selectCurrent); // back to the record that stayed current
}

bool GridLink::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_view || event->type() != QEvent::KeyPress || !m_model || !m_model->isEditable() ||
        !m_model->dataset())
        return QObject::eventFilter(watched, event);
    store::Dataset &ds = *m_model->dataset();
    const auto *key = static_cast<QKeyEvent *>(event);
    const bool lastRow = m_model->currentRow() == m_model->rowCount() - 1;
    if (key->key() == Qt::Key_Insert || (key->key() == Qt::Key_Down && lastRow && !ds.isEditing())) {
        guardedCall(m_ui, [&] { ds.insert(); });
        return true;
    }
    if (key->key() == Qt::Key_Escape && ds.isEditing()) {
        guardedCall(m_ui, [&] { ds.cancel(); });
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tav::ui
