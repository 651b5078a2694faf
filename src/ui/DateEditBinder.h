#pragma once

#include "ui/FieldBinder.h"

#include <QString>
#include <QVariant>

#include <optional>

class QLineEdit;

namespace tav::ui {

// A date typed as dd/MM/yyyy into a masked one-line edit ("__/__/____"). An edit left blank
// empties the field. The first key puts the record into edit (auto-edit); a complete and valid
// date is written as soon as it is typed; an incomplete or impossible date ("31/02/2020") is
// refused with a message when the person leaves the edit, presses Enter, or the navigator saves or
// moves, and the edit keeps the text and the focus so nothing typed is lost. Escape brings back
// the field's value.
class DateEditBinder : public FieldBinder
{
    Q_OBJECT

public:
    DateEditBinder(QLineEdit *edit, store::Field &field, Ui &ui, bool readOnly = false);

    QLineEdit *lineEdit() const;
    bool commit() override;

    // The value of a typed text: a date, a null QVariant for a blank text, nothing when the text is
    // not a date.
    static std::optional<QVariant> parse(const QString &text);
    static QString invalidDateMessage(const QString &text);

protected:
    void showValue() override;
    void showReadOnly(bool readOnly) override;
    bool reshowsAfterWrite() const override { return false; }
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onTextEdited();

    bool m_pending = false; // typed text not yet written to the field
    bool m_committing = false;
};

} // namespace tav::ui
