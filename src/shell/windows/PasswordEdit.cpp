#include "shell/windows/PasswordEdit.h"

#include "shell/LoginRules.h"

#include <QLineEdit>

namespace tav::shell {

LowerCaseValidator::LowerCaseValidator(bool passwordText, QObject *parent)
    : QValidator(parent), m_passwordText(passwordText)
{}

QValidator::State LowerCaseValidator::validate(QString &input, int &pos) const
{
    Q_UNUSED(pos);
    input = input.toLower();
    if (m_passwordText && !isPasswordText(input))
        return Invalid;
    return Acceptable;
}

void LowerCaseValidator::fixup(QString &input) const
{
    input = input.toLower();
}

void makePasswordEdit(QLineEdit *edit)
{
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kPasswordLength);
    edit->setValidator(new LowerCaseValidator(true, edit));
    // The masked text shows as asterisks, as the office's users know it.
    edit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
}

void makeLoginEdit(QLineEdit *edit)
{
    edit->setMaxLength(kLoginLength);
    edit->setValidator(new LowerCaseValidator(false, edit));
}

} // namespace tav::shell
