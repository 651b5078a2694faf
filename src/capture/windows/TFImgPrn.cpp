#include "capture/windows/TFImgPrn.h"

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/TiffDocument.h"

#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QVBoxLayout>

#include <cmath>

namespace tav::capture {

ImageView::ImageView(QWidget *parent) : QScrollArea(parent), m_label(new QLabel)
{
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWidget(m_label);
    setBackgroundRole(QPalette::Dark);
    setAlignment(Qt::AlignCenter);
}

bool ImageView::setImage(const QString &file, int page, QString *error)
{
    QString why;
    imaging::ImageProperties props;
    if (!imaging::ImageFile::readProperties(file, props, &why, page)) {
        if (error)
            *error = why;
        return false;
    }
    QImage image = imaging::ImageFile::render(file, page, &why);
    if (image.isNull()) {
        if (error)
            *error = why;
        return false;
    }
    m_file = file;
    m_image = std::move(image);
    m_page = page;
    m_pageCount = std::max(1, props.pageCount);
    redisplay();
    return true;
}

void ImageView::clear()
{
    m_file.clear();
    m_image = QImage();
    m_page = 0;
    m_pageCount = 0;
    m_label->clear();
    m_label->resize(0, 0);
}

void ImageView::setZoom(double percent)
{
    m_zoom = std::clamp(percent, 1.0, 400.0);
    redisplay();
}

double ImageView::fit(Fit mode, double freeZoom)
{
    const QSize area = viewport()->size();
    double zoom = freeZoom;
    if (!m_image.isNull()) {
        const double byWidth = m_image.width() > 0 ? area.width() * 100.0 / m_image.width() : freeZoom;
        const double byHeight = m_image.height() > 0 ? area.height() * 100.0 / m_image.height() : freeZoom;
        switch (mode) {
        case Fit::Width:
            zoom = byWidth;
            break;
        case Fit::Height:
            zoom = byHeight;
            break;
        case Fit::Window:
            zoom = std::min(byWidth, byHeight);
            break;
        case Fit::Free:
            break;
        }
    }
    setZoom(zoom);
    return m_zoom;
}

void ImageView::redisplay()
{
    if (m_image.isNull())
        return;
    const QSize size(std::max(1, int(std::lround(m_image.width() * m_zoom / 100.0))),
                     std::max(1, int(std::lround(m_image.height() * m_zoom / 100.0))));
    m_label->setPixmap(QPixmap::fromImage(m_image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    m_label->resize(size);
}

int ImagePrinting::printAllFitted(const QString &file, QPrinter &printer)
{
    if (!QFileInfo::exists(file))
        return 0;
    imaging::ImageProperties props;
    if (!imaging::ImageFile::readProperties(file, props))
        return 0;
    const int count = std::max(1, props.pageCount);
    QPainter painter;
    int printed = 0;
    for (int page = 1; page <= count; ++page) {
        const QImage image = imaging::ImageFile::render(file, page);
        if (image.isNull())
            continue;
        if (printed == 0) {
            if (!painter.begin(&printer))
                return 0;
        } else if (!printer.newPage()) {
            break;
        }
        const QRect target = painter.viewport();
        QSize size = image.size();
        size.scale(target.size(), Qt::KeepAspectRatio);
        painter.setViewport(target.x(), target.y(), size.width(), size.height());
        painter.setWindow(image.rect());
        painter.drawImage(0, 0, image);
        painter.setViewport(target);
        painter.setWindow(target);
        ++printed;
    }
    if (painter.isActive())
        painter.end();
    return printed;
}

bool ImagePrinting::printToWidth(const QImage &image, QPrinter &printer)
{
    if (image.isNull() || image.width() <= 0)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRect page = painter.viewport();
    const int height = int(std::lround(double(image.height()) * page.width() / image.width()));
    painter.drawImage(QRect(page.x(), page.y(), page.width(), height), image);
    painter.end();
    return true;
}

bool ImagePrinting::choosePrinter(QPrinter &printer, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

TFImgPrn::TFImgPrn(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_view(new ImageView(this))
{
    setObjectName(QStringLiteral("FImgPrn"));
    setWindowTitle(QStringLiteral("Impresión de Imagen"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view);
    resize(320, 240);
}

int TFImgPrn::printFile(const QString &file, QPrinter &printer)
{
    int printed = 0;
    if (QFileInfo::exists(file) && m_view->setImage(file))
        printed = ImagePrinting::printAllFitted(file, printer);
    close();
    return printed;
}

} // namespace tav::capture
