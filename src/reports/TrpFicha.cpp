#include "reports/TrpFicha.h"

#include "reports/RecordText.h"
#include "store/Tdm.h"

#include <QFileInfo>
#include <QImageReader>

namespace tav::reports {

FichaData FichaData::fromDm(store::Tdm &dm)
{
    FichaData d;
    store::Dataset &pedp = *dm.pedp;
    if (!pedp.isActive() || (pedp.isEmpty() && !pedp.isEditing()))
        return d;
    const RecordText r(pedp);
    const QString request = r.text("C_PED"), office = r.text("C_REG");
    d.caption = captionOf(request, office);
    d.imageFile = dm.filePath(request + QLatin1Char('_') + office + QStringLiteral(".bmp"));
    return d;
}

QString TrpFicha::missingFileText(const QString &file)
{
    return QStringLiteral("Imágen: \"") + file + QStringLiteral("\" inexistente.");
}

bool TrpFicha::setImageFile(const QString &file, QString *error)
{
    const QFileInfo info(file);
    if (file.isEmpty() || !info.exists() || !info.isFile()) {
        if (error)
            *error = missingFileText(file);
        return false;
    }
    QImageReader reader(file);
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        if (error)
            *error = QStringLiteral("Imágen: \"") + file + QStringLiteral("\" ilegible (") + reader.errorString() +
                     QStringLiteral(").");
        return false;
    }
    m_file = file;
    m_image = std::move(image);
    return true;
}

bool TrpFicha::set(const FichaData &data, QString *error)
{
    if (!setImageFile(data.imageFile, error))
        return false;
    setCaption(data.caption);
    return true;
}

void TrpFicha::render(ReportPainter &p, int)
{
    const double W = ReportPainter::kLandscapeWidthMm;
    const double H = ReportPainter::kLandscapeHeightMm;
    // The first band holds the card; the second, empty band closes the page.
    const QRectF frame(0, 0, W, H - 6);
    p.image(frame.adjusted(0.5, 0.5, -0.5, -0.5), m_image, false);
    p.box(frame, 0.75, Qt::DotLine);
    const TextStyle small{8, false, false, false, Qt::AlignLeft | Qt::AlignVCenter};
    const double w = p.textWidth(m_caption, small) + 3;
    p.fill(QRectF(1, 1, w, 4.5), Qt::white);
    p.text(QRectF(2, 1, w, 4.5), m_caption, small);
}

} // namespace tav::reports
