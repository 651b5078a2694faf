#include "ui/LineEditBinder.h"

#include "store/Dataset.h"
#include "ui/FieldText.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace tav::ui {

LineEditBinder::LineEditBinder(QLineEdit *edit, store::Field &field, Ui &ui, const Options &options)
    : FieldBinder(edit, field, ui), m_options(options)
{
    using store::FieldKind;
    FieldBinder::setReadOnly(options.readOnly);

    int maxLength = options.maxLength;
    if (maxLength < 0)
        maxLength = field.kind() == FieldKind::Memo || field.kind() == FieldKind::Blob ? 0 : field.size();
    if (maxLength > 0)
        edit->setMaxLength(maxLength);

    QString pattern;
    if (options.digitsOnly)
        pattern = QStringLiteral("[0-9]*");
    else if (field.kind() == FieldKind::SmallInt || field.kind() == FieldKind::Integer ||
             (field.kind() == FieldKind::Float && field.decimals() == 0))
        pattern = QStringLiteral("-?[0-9]*");
    else if (field.kind() == FieldKind::Float)
        pattern = QStringLiteral("-?[0-9]*(\\.[0-9]*)?");
    if (!pattern.isEmpty())
        edit->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), edit));
    if (!options.inputMask.isEmpty())
        edit->setInputMask(options.inputMask);
    if (isNumericKind(field.kind()))
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    connect(edit, &QLineEdit::textEdited, this, &LineEditBinder::onTextEdited);
    start();
}

QLineEdit *LineEditBinder::lineEdit() const
{
    return static_cast<QLineEdit *>(widget());
}

void LineEditBinder::showValue()
{
    QLineEdit *edit = lineEdit();
    const QString text = field().asString();
    if (edit->text() != text) {
        edit->setText(text);
        edit->setCursorPosition(0);
    }
}

void LineEditBinder::showReadOnly(bool readOnly)
{
    lineEdit()->setReadOnly(readOnly);
}

void LineEditBinder::onTextEdited(const QString &typed)
{
    QLineEdit *edit = lineEdit();
    QString text = typed;
    if (m_options.upperCase) {
        const QString upper = text.toUpper();
        if (upper != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(upper);
            edit->setCursorPosition(std::min(cursor, static_cast<int>(edit->text().size())));
            text = edit->text();
        }
    }
    write(text);
}

} // namespace tav::ui
