#include "ui/DataSource.h"

#include "store/Dataset.h"

namespace tav::ui {

DataSource::DataSource(store::Dataset &dataset, Ui &ui, QObject *parent)
    : QObject(parent), m_dataset(&dataset), m_ui(ui)
{}

void DataSource::setAutoEdit(bool autoEdit)
{
    m_autoEdit = autoEdit;
    for (FieldBinder *b : binders())
        b->setAutoEdit(autoEdit);
}

QList<FieldBinder *> DataSource::binders() const
{
    QList<FieldBinder *> out;
    for (const auto &b : m_binders)
        if (b)
            out.append(b);
    return out;
}

LineEditBinder &DataSource::bindLineEdit(QLineEdit *edit, const QString &fieldName,
                                         const LineEditBinder::Options &options)
{
    return adopt(new LineEditBinder(edit, m_dataset->field(fieldName), m_ui, options));
}

DateEditBinder &DataSource::bindDateEdit(QLineEdit *edit, const QString &fieldName, bool readOnly)
{
    return adopt(new DateEditBinder(edit, m_dataset->field(fieldName), m_ui, readOnly));
}

ComboBinder &DataSource::bindComboBox(QComboBox *combo, const QString &fieldName, store::Dataset &list,
                                      const QString &keyField, const QString &textField, bool readOnly)
{
    return adopt(new ComboBinder(combo, m_dataset->field(fieldName), list, keyField, textField, m_ui, readOnly));
}

ComboBinder &DataSource::bindLookupComboBox(QComboBox *combo, const QString &lookupField, bool readOnly)
{
    return adopt(new ComboBinder(combo, m_dataset->field(lookupField), m_ui, readOnly));
}

CheckBoxBinder &DataSource::bindCheckBox(QCheckBox *box, const QString &fieldName, bool readOnly)
{
    return adopt(new CheckBoxBinder(box, m_dataset->field(fieldName), m_ui, readOnly));
}

} // namespace tav::ui
