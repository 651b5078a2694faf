#pragma once

#include "ui/FieldBinder.h"

#include <QAbstractButton>
#include <QPointer>
#include <QString>

class QComboBox;
class QToolButton;

namespace tav::ui {

// A drop-down bound to a code field: the list holds the rows of a code table in the table's own
// order, shows their text and writes the chosen row's code into the field. A code the table does
// not hold, or none, shows an empty drop-down. The list follows the code table when its rows change.
//
// An optional clear button beside the drop-down sets the field to null (the small button next to
// the sex, nationality, document type, province and priority lists).
class ComboBinder : public FieldBinder
{
    Q_OBJECT

public:
    // `field` takes the value of `keyField` of the chosen row of `list`; the list shows `textField`.
    ComboBinder(QComboBox *combo, store::Field &field, store::Dataset &list, const QString &keyField,
                const QString &textField, Ui &ui, bool readOnly = false);
    // A lookup field (the province name of an organisation): the list, its key and its text come
    // from the lookup, and choosing a row writes the lookup's source field (the province code).
    ComboBinder(QComboBox *combo, store::Field &lookupField, Ui &ui, bool readOnly = false);

    QComboBox *comboBox() const;
    store::Dataset *list() const { return m_list; }

    // The button that empties the field; it is enabled only while the field can be changed.
    void setClearButton(QAbstractButton *button);
    QAbstractButton *clearButton() const { return m_clearButton; }
    // A small button for setClearButton, to be laid out beside the drop-down.
    static QToolButton *createClearButton(QWidget *parent, const QString &hint = QStringLiteral("Borrar"));

    // Reads the code table again (done by itself when the table's rows change).
    void reloadList();
    // The list row of a code, -1 when the list does not hold it.
    int indexOfCode(const QVariant &code) const;

protected:
    void showValue() override;
    void showReadOnly(bool readOnly) override;

private:
    void init(const QString &keyField, const QString &textField, bool readOnly);
    void onActivated(int index);

    QPointer<store::Dataset> m_list;
    int m_keyIndex = -1;
    int m_textIndex = -1;
    InputBlocker *m_blocker = nullptr;
    QPointer<QAbstractButton> m_clearButton;
};

} // namespace tav::ui
