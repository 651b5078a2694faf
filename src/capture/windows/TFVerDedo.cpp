#include "capture/windows/TFVerDedo.h"

#include "platform/imaging/ImageFile.h"

#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace tav::capture {

TFVerDedo::TFVerDedo(const QString &bmpFile, const QString &caption, QWidget *parent)
    : QDialog(parent), m_label(new QLabel(this))
{
    setObjectName(QStringLiteral("FVerDedo"));
    setWindowTitle(caption);
    const QImage image = imaging::ImageFile::render(bmpFile);
    if (!image.isNull())
        m_label->setPixmap(QPixmap::fromImage(image));
    else
        m_label->setText(QStringLiteral("No se pudo leer ") + bmpFile);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(m_label);
    const QSize size = image.isNull() ? m_label->sizeHint() : image.size();
    setFixedSize(size.width() + 10, size.height() + 10);
}

bool TFVerDedo::hasImage() const
{
    return !m_label->pixmap().isNull();
}

void TFVerDedo::keyPressEvent(QKeyEvent *event)
{
    // Escape closes on release, as the window always did.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFVerDedo::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        reject();
        return;
    }
    QDialog::keyReleaseEvent(event);
}

} // namespace tav::capture
