#pragma once

#include "ui/FieldBinder.h"

#include <QString>

class QLineEdit;

namespace tav::ui {

// A one-line edit bound to a text or number field. Each change the person types is written to the
// field at once, so the record is always what the screen shows when the navigator saves it.
// Number fields accept only what makes a number (digits, a leading minus, a decimal point when the
// field has decimals). Dates use DateEditBinder.
class LineEditBinder : public FieldBinder
{
    Q_OBJECT

public:
    struct Options
    {
        bool upperCase = false;  // letters become capitals as they are typed
        bool digitsOnly = false; // only the digits 0-9 can be typed (document numbers, "########")
        int maxLength = -1;      // characters; -1 takes the field's size, 0 sets no limit
        QString inputMask = {};  // a QLineEdit input mask, when the field has a fixed shape
        bool readOnly = false;
    };

    LineEditBinder(QLineEdit *edit, store::Field &field, Ui &ui) : LineEditBinder(edit, field, ui, Options{}) {}
    LineEditBinder(QLineEdit *edit, store::Field &field, Ui &ui, const Options &options);

    QLineEdit *lineEdit() const;
    const Options &options() const { return m_options; }

protected:
    void showValue() override;
    void showReadOnly(bool readOnly) override;
    bool reshowsAfterWrite() const override { return false; }

private:
    void onTextEdited(const QString &text);

    Options m_options;
};

} // namespace tav::ui
