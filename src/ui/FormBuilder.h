#pragma once

#include "ui/LineEditBinder.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tav::store {
class Dataset;
}

namespace tav::ui {

class DataSource;

// Makes the controls of a record window, each bound to its field of the window's data source and named
// after it ("ed" + field for edits, "cb" + field for drop-downs, "ck" + field for check boxes), so windows
// lay out their own forms without repeating how a control is made and bound.
class FormBuilder
{
public:
    FormBuilder(QWidget &owner, DataSource &source) : m_owner(owner), m_source(source) {}

    QLineEdit *lineEdit(const QString &fieldName, const LineEditBinder::Options &options = {});
    // An edit that turns every typed letter into a capital.
    QLineEdit *upper(const QString &fieldName) { return lineEdit(fieldName, {.upperCase = true}); }
    // A read-only edit the Tab key passes by, with its hint.
    QLineEdit *readOnly(const QString &fieldName, const QString &hint = {});
    QLineEdit *dateEdit(const QString &fieldName, bool readOnly = false);
    // A drop-down of `list` (key and shown text), never narrower than `minimumCharacters`.
    QComboBox *combo(const QString &fieldName, store::Dataset &list, const QString &key, const QString &text,
                     int minimumCharacters, bool readOnly = false);
    // A drop-down with its small button that empties the field, as one row.
    QHBoxLayout *clearable(const QString &fieldName, store::Dataset &list, const QString &key, const QString &text,
                           int minimumCharacters);
    QCheckBox *check(const QString &caption, const QString &fieldName, bool readOnly = false);
    QLabel *label(const QString &text, const QString &hint = {});
    // A button that never becomes the default one (Enter in a field never presses it).
    QPushButton *pushButton(const QString &caption, const QString &name, const QString &hint = {});

private:
    QWidget &m_owner;
    DataSource &m_source;
};

} // namespace tav::ui
