#pragma once

#include "port/Ui.h"
#include "store/Dataset.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVariantList>

class QTableView;

namespace tav::ui {

// The visible records of a dataset as a table for grids: one row per record in the dataset's
// order, one column per chosen field, the text the office reads (dates dd/MM/yyyy, yes/no fields
// "True"/"False"), numbers right-aligned unless a column says otherwise. The vertical header marks
// the current record ("►", "I" while it is edited, "*" for a record being inserted).
//
// While a record is being inserted it has a row of its own at the place of the current record,
// which moves one row down. The model follows the dataset's signals: a new set of records
// (layoutChanged) resets it, a changed field or current record updates the rows concerned.
//
// Grids edited in place (the service addresses) call setEditable: changing a cell moves the
// dataset to that record, puts it into edit and sets the field; a text that is not a value of the
// field's kind is refused with a message. GridLink keeps a QTableView's current row and the
// dataset's current record together.
class DatasetModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    struct Column
    {
        QString field = {};           // field name; a field the dataset lacks gives an empty column
        QString title = {};           // header; empty takes the field's display label
        Qt::Alignment alignment = {}; // empty: numbers to the right, the rest to the left
        int width = 0;                // in characters (GridLink applies it); 0 leaves the view's width
    };

    // Columns for the dataset's visible fields.
    explicit DatasetModel(store::Dataset &dataset, QObject *parent = nullptr);
    DatasetModel(store::Dataset &dataset, const QList<Column> &columns, QObject *parent = nullptr);

    store::Dataset *dataset() const { return m_dataset; }
    const QList<Column> &columns() const { return m_columns; }
    void setColumns(const QList<Column> &columns);
    static QList<Column> visibleColumns(const store::Dataset &dataset);
    store::Field *fieldAt(int column) const;

    // Cells of writable fields can be changed; refusals and errors are told through `ui`.
    void setEditable(bool editable, Ui *ui);
    bool isEditable() const { return m_editable && m_ui; }

    int insertRow() const { return m_insertRow; } // -1 unless a record is being inserted
    int currentRow() const;                       // -1 when there is no current record
    int positionOfRow(int row) const;             // -1 for the row being inserted
    int rowOfPosition(int position) const;
    // True while rows are being added, removed or reset: a view's current row moves then by itself,
    // not because the person chose another record.
    bool isReshaping() const { return m_reshaping; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

signals:
    // After the model has taken in a change of the dataset's current record or of its rows.
    void currentRowChanged(int row);

private:
    struct Shape
    {
        int records = 0;
        int insertRow = -1;
        bool operator==(const Shape &) const = default;
    };
    Shape shapeNow() const;
    void resetTo(const Shape &shape);
    void keepCurrentValues();
    QVariant valueAt(int row, int fieldIndex) const;
    void updateRows(int first, int last);
    void announceCurrent();

    void onStateChanged();
    void onLayoutChanged();
    void onCurrentChanged();
    void onFieldChanged(int fieldIndex);

    QPointer<store::Dataset> m_dataset;
    QList<Column> m_columns;
    QList<int> m_fieldIndexes; // per column, -1 when the dataset lacks the field
    int m_records = 0;
    int m_insertRow = -1;
    int m_lastCurrentRow = -1;
    // The current record as last seen outside insert state: while a new record is inserted the
    // dataset's buffer holds the new record, and the record it displaced is shown from here.
    QVariantList m_currentValues;
    // The record a view is painting: a grid asks for each cell, and reading the record once per row
    // instead of once per cell keeps scrolling light. It lives until the event loop runs again (or
    // the dataset signals), so a change made through another dataset shows at the next paint.
    mutable int m_cachedPosition = -1;
    mutable QVariantList m_cachedRow;
    mutable bool m_cacheExpiryQueued = false;
    bool m_editable = false;
    bool m_reshaping = false;
    Ui *m_ui = nullptr;
};

// Ties a QTableView to a DatasetModel: choosing a row moves the dataset to its record (a refusal
// brings the selection back), and the dataset's current record is always the view's current row.
// Column widths given in characters are applied. On a grid edited in place, Insert starts a new
// record, Down on the last row does too, and Escape cancels the record being edited.
class GridLink : public QObject
{
    Q_OBJECT

public:
    GridLink(QTableView *view, DatasetModel *model, Ui &ui);

    void selectCurrent();
    void applyColumnWidths();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onViewCurrentChanged(const QModelIndex &current, const QModelIndex &previous);

    QPointer<QTableView> m_view;
    QPointer<DatasetModel> m_model;
    Ui &m_ui;
    bool m_syncing = false;
};

} // namespace tav::ui
