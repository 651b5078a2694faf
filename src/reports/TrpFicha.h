#pragma once

#include "reports/ReportFrame.h"

namespace tav::store {
class Tdm;
}

namespace tav::reports {

// What the complete card sheet shows: the composed fingerprint card and its caption.
struct FichaData
{
    QString imageFile;
    QString caption; // "Ped:<request> Reg:<office>"

    static QString captionOf(const QString &request, const QString &office)
    {
        return QStringLiteral("Ped:") + request + QStringLiteral(" Reg:") + office;
    }
    // The current `pedp` record: its caption, and the card the live-scan window composes for it
    // ("<request>_<office>.bmp" in the program directory).
    static FichaData fromDm(store::Tdm &dm);
};

// The complete fingerprint card composed from a live-scan capture, on a landscape sheet: the image
// stretched into a dotted frame, with the request's caption at its top left.
class TrpFicha : public Report
{
public:
    TrpFicha() = default;

    // Loads the card image; false with `error` set ("Imágen: "<file>" inexistente.") when the file does
    // not exist, or when it is not an image that can be read. The sheet keeps its previous image then.
    bool setImageFile(const QString &file, QString *error = nullptr);
    void setCaption(const QString &caption) { m_caption = caption; }
    // Both at once.
    bool set(const FichaData &data, QString *error = nullptr);

    static QString missingFileText(const QString &file);

    QString title() const override { return QStringLiteral("Ficha"); }
    QPageLayout::Orientation orientation() const override { return QPageLayout::Landscape; }
    void render(ReportPainter &painter, int page) override;
    const QString &imageFile() const { return m_file; }
    const QString &caption() const { return m_caption; }
    const QImage &image() const { return m_image; }

private:
    QString m_file;
    QString m_caption;
    QImage m_image;
};

} // namespace tav::reports
