#pragma once

#include "ui/FieldBinder.h"

#include <QString>

class QCheckBox;

namespace tav::ui {

// A check box bound to a yes/no field. A boolean field is checked when true (null shows
// unchecked). A text field holds one text for each state, "S" and "N" by default as the settings
// do; a value other than the checked text shows unchecked.
class CheckBoxBinder : public FieldBinder
{
    Q_OBJECT

public:
    CheckBoxBinder(QCheckBox *box, store::Field &field, Ui &ui, bool readOnly = false);

    QCheckBox *checkBox() const;
    // The texts a text field holds when checked and when not (compared ignoring case).
    void setTextValues(const QString &checked, const QString &unchecked);

protected:
    void showValue() override;
    void showReadOnly(bool readOnly) override;

private:
    void onClicked(bool checked);

    QString m_checkedText = QStringLiteral("S");
    QString m_uncheckedText = QStringLiteral("N");
    InputBlocker *m_blocker = nullptr;
};

} // namespace tav::ui
