#pragma once

#include <QValidator>

class QLineEdit;

namespace tav::shell {

// Turns what is typed into lower case; with `passwordText` it also refuses anything but letters and
// digits. The login window's edits and every password edit use it.
class LowerCaseValidator : public QValidator
{
    Q_OBJECT

public:
    explicit LowerCaseValidator(bool passwordText, QObject *parent = nullptr);
    State validate(QString &input, int &pos) const override;
    void fixup(QString &input) const override;

private:
    bool m_passwordText;
};

// A password edit as the office's windows have it: at most ten letters or digits, lower case, shown
// as "*".
void makePasswordEdit(QLineEdit *edit);
// The login name edit: lower case, at most ten characters.
void makeLoginEdit(QLineEdit *edit);

} // namespace tav::shell
