#pragma once

#include "ui/CheckBoxBinder.h"
#include "ui/ComboBinder.h"
#include "ui/DateEditBinder.h"
#include "ui/LineEditBinder.h"

#include <QList>
#include <QObject>
#include <QPointer>

namespace tav::ui {

// A window's link to one dataset: it binds the window's controls to fields by name and carries
// what they share, the auto-edit switch. The request and organisation windows turn auto-edit off,
// so their records change only after the navigator's insert or edit (or a command of the window).
//
//     DataSource dsOrg(*dm.org, ui, this);
//     dsOrg.setAutoEdit(false);
//     dsOrg.bindLineEdit(edOrg, "X_ORG", {.upperCase = true});
//     dsOrg.bindLookupComboBox(cbProv, "x_prov");
//
// An unknown field name throws store::DatasetError (a programming error, found when the window is
// built).
class DataSource : public QObject
{
    Q_OBJECT

public:
    DataSource(store::Dataset &dataset, Ui &ui, QObject *parent = nullptr);

    store::Dataset &dataset() const { return *m_dataset; }
    bool autoEdit() const { return m_autoEdit; }
    void setAutoEdit(bool autoEdit);

    LineEditBinder &bindLineEdit(QLineEdit *edit, const QString &fieldName, const LineEditBinder::Options &options);
    LineEditBinder &bindLineEdit(QLineEdit *edit, const QString &fieldName)
    {
        return bindLineEdit(edit, fieldName, LineEditBinder::Options{});
    }
    DateEditBinder &bindDateEdit(QLineEdit *edit, const QString &fieldName, bool readOnly = false);
    ComboBinder &bindComboBox(QComboBox *combo, const QString &fieldName, store::Dataset &list, const QString &keyField,
                              const QString &textField, bool readOnly = false);
    ComboBinder &bindLookupComboBox(QComboBox *combo, const QString &lookupField, bool readOnly = false);
    CheckBoxBinder &bindCheckBox(QCheckBox *box, const QString &fieldName, bool readOnly = false);

    // The binders made here whose widgets still exist.
    QList<FieldBinder *> binders() const;
    // Writes input the controls still hold; false (after a message) when some of it is invalid.
    bool commit() { return !m_dataset || FieldBinder::commitPending(*m_dataset); }

private:
    template <class B> B &adopt(B *binder)
    {
        binder->setAutoEdit(m_autoEdit);
        m_binders.append(binder);
        return *binder;
    }

    QPointer<store::Dataset> m_dataset;
    Ui &m_ui;
    bool m_autoEdit = true;
    QList<QPointer<FieldBinder>> m_binders;
};

} // namespace tav::ui
