#include "ui/DateEditBinder.h"

#include "store/Dataset.h"

#include <QDate>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRegularExpression>

namespace tav::ui {

namespace {
const QString kFormat = QStringLiteral("dd/MM/yyyy");
}

DateEditBinder::DateEditBinder(QLineEdit *edit, store::Field &field, Ui &ui, bool readOnly)
    : FieldBinder(edit, field, ui)
{
    FieldBinder::setReadOnly(readOnly);
    edit->setInputMask(QStringLiteral("99/99/9999;_"));
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, &DateEditBinder::onTextEdited);
    start();
}

QLineEdit *DateEditBinder::lineEdit() const
{
    return static_cast<QLineEdit *>(widget());
}

std::optional<QVariant> DateEditBinder::parse(const QString &text)
{
    QString digits = text;
    digits.remove(u'/').remove(u'_').remove(u' ');
    if (digits.isEmpty())
        return QVariant();
    static const QRegularExpression shape(QStringLiteral("^\\d{2}/\\d{2}/\\d{4}$"));
    const QString trimmed = text.trimmed();
    if (!shape.match(trimmed).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(trimmed, kFormat);
    if (!date.isValid() || date.year() < 1)
        return std::nullopt;
    return QVariant(date);
}

QString DateEditBinder::invalidDateMessage(const QString &text)
{
    return QStringLiteral("\"%1\" no es una fecha válida.\rIngrese la fecha como día/mes/año (dd/mm/aaaa) "
                          "o deje el campo en blanco.")
        .arg(text);
}

void DateEditBinder::showValue()
{
    const QDate date = field().asDate();
    const QString text = date.isValid() ? date.toString(kFormat) : QString();
    QLineEdit *edit = lineEdit();
    if (edit->text() != text || m_pending)
        edit->setText(text);
    m_pending = false;
}

void DateEditBinder::showReadOnly(bool readOnly)
{
    lineEdit()->setReadOnly(readOnly);
}

void DateEditBinder::onTextEdited()
{
    m_pending = true;
    if (!beginEdit())
        return;
    const auto value = parse(lineEdit()->displayText());
    if (value && write(*value))
        m_pending = false;
}

bool DateEditBinder::commit()
{
    if (!m_pending || m_committing || !widget())
        return true;
    QLineEdit *edit = lineEdit();
    const QString shown = edit->displayText();
    const auto value = parse(shown);
    if (!value) {
        m_committing = true;
        ui().error(invalidDateMessage(shown));
        m_committing = false;
        edit->setFocus(Qt::OtherFocusReason);
        edit->selectAll();
        return false;
    }
    if (!write(*value))
        return false;
    m_pending = false;
    return true;
}

bool DateEditBinder::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == widget()) {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            // Switching to another program or opening a menu is not leaving the edit.
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                commit();
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                if (!commit())
                    return true;
            } else if (key == Qt::Key_Escape && m_pending) {
                m_pending = false;
                refresh();
                return true;
            }
        }
    }
    return FieldBinder::eventFilter(watched, event);
}

} // namespace tav::ui
