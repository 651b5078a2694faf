#include "queries/windows/ProgressWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace tav::queries {

ProgressWindow::ProgressWindow(const QString &objectName, const QString &caption, const QString &label, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(objectName);
    setWindowTitle(caption);
    setMinimumWidth(380);
    auto *layout = new QVBoxLayout(this);
    if (!label.isEmpty())
        layout->addWidget(new QLabel(label, this));
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    layout->addWidget(m_bar);
}

void ProgressWindow::setProgress(int percent)
{
    m_bar->setValue(std::clamp(percent, 0, 100));
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int ProgressWindow::progress() const
{
    return m_bar->value();
}

} // namespace tav::queries
