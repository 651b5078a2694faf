#include "shell/windows/InfoWnd.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QVBoxLayout>

namespace tav::shell {

InfoWnd::InfoWnd(QWidget *parent) : QDialog(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName(QStringLiteral("InfoWnd"));
    resize(420, 220);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    m_memo = new QPlainTextEdit(this);
    m_memo->setReadOnly(true);
    layout->addWidget(m_memo);
    setStyleSheet(QStringLiteral("InfoWnd { border: 1px solid rgb(8,70,109); }"));
}

void InfoWnd::begin(const QString &title)
{
    m_memo->clear();
    m_memo->appendPlainText(title);
    if (auto *screen = QApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
    show();
    repaint();
}

void InfoWnd::step(const QString &text)
{
    m_memo->appendPlainText(QStringLiteral("   ") + text + QStringLiteral("..."));
    repaint();
}

void InfoWnd::stepDone()
{
    QTextCursor c = m_memo->textCursor();
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("Ok."));
    repaint();
}

void InfoWnd::end()
{
    hide();
}

QString InfoWnd::text() const
{
    return m_memo->toPlainText();
}

} // namespace tav::shell
