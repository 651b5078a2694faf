#pragma once

#include <QDialog>
#include <QImage>
#include <QScrollArea>
#include <QString>

class QLabel;
class QPrinter;
class QWidget;

namespace tav::capture {

// The image viewer the capture windows share: one page of an image file shown at a zoom, with the fit modes.
class ImageView : public QScrollArea
{
    Q_OBJECT
public:
    enum class Fit { Window, Width, Height, Free };

    explicit ImageView(QWidget *parent = nullptr);

    // Shows page `page` of `file`; false (and nothing shown) when it cannot be read.
    bool setImage(const QString &file, int page = 1, QString *error = nullptr);
    void clear();
    bool hasImage() const { return !m_image.isNull(); }
    const QString &imageFile() const { return m_file; }
    int page() const { return m_page; }
    int pageCount() const { return m_pageCount; }
    const QImage &image() const { return m_image; }

    // Scale in percent.
    double zoom() const { return m_zoom; }
    void setZoom(double percent);
    // Applies a fit mode; Free applies `freeZoom`. Returns the resulting zoom.
    double fit(Fit mode, double freeZoom);

private:
    void redisplay();

    QLabel *m_label;
    QString m_file;
    QImage m_image;
    int m_page = 0;
    int m_pageCount = 0;
    double m_zoom = 100;
};

// Printing of image files through Qt print support; a QPrinter set to PDF output writes the pages to a file.
class ImagePrinting
{
public:
    // Every page of `file`, each fitted to the printable page. Returns the pages printed (0 for a missing or
    // unreadable file: nothing is printed).
    static int printAllFitted(const QString &file, QPrinter &printer);
    // One image at the top left of the page, scaled to the page width with the height in proportion.
    static bool printToWidth(const QImage &image, QPrinter &printer);
    // Asks for the printer (the dialog offers printing to a PDF file too); false when cancelled.
    static bool choosePrinter(QPrinter &printer, QWidget *parent);
};

// The small "Impresión de Imagen" window: prints an image file without showing a viewer.
class TFImgPrn : public QDialog
{
    Q_OBJECT
public:
    explicit TFImgPrn(QWidget *parent = nullptr);

    // Prints pages 1 to the page count of `file`, each fitted to the page, then closes. A missing file prints
    // nothing. Returns the pages printed.
    int printFile(const QString &file, QPrinter &printer);

    ImageView *viewer() const { return m_view; }

private:
    ImageView *m_view;
};

} // namespace tav::capture
