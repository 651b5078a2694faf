#include "official/RequestCaptures.h"

#include "platform/os/FileCopy.h"
#include "platform/os/StationScratch.h"
#include "store/Tdm.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tav::official {

namespace {

void editing(store::Dataset &request)
{
    if (!request.isEditing())
        request.edit();
}

} // namespace

QString RequestCaptures::scratchPath(int n) const
{
    const QString dir = os::StationScratch::folder(QString::fromStdString(m_dm.programDir().string()));
    return QDir(dir).filePath(scratchName(n));
}

void RequestCaptures::copyFile(const QString &from, const QString &to) const
{
    QFile::remove(to);
    QFile::copy(from, to);
}

void RequestCaptures::deleteScratch(int n) const
{
    if (n > 0)
        QFile::remove(scratchPath(n));
}

void RequestCaptures::captureCard(store::Dataset &request, const QString &cardFile, bool locked)
{
    m_dm.deleteFile(QStringLiteral("edit.tif"));
    const int n = ++m_counter;
    CardCaptureRequest asked;
    asked.locked = locked;
    asked.rightClass = request[QStringLiteral("C_CLASDER")].asString();
    asked.leftClass = request[QStringLiteral("C_CLASIZQ")].asString();
    if (m_dm.fileExists(cardFile)) {
        copyFile(m_dm.filePath(cardFile), scratchPath(n));
        asked.loadedImage = scratchPath(n);
    }

    const CardCaptureResult result = m_services.captureCard(asked);

    const QString edited = m_dm.filePath(QStringLiteral("edit.tif"));
    const bool written = !result.resultFile.isEmpty() && QFileInfo::exists(result.resultFile);
    if (written && result.changed && !locked) {
        editing(request);
        copyFile(result.resultFile, edited);
    }
    deleteScratch(n - 1);
    deleteScratch(n);
    if (written && QFileInfo(result.resultFile).absoluteFilePath() != QFileInfo(edited).absoluteFilePath())
        QFile::remove(result.resultFile);
    if (result.rightClass != asked.rightClass || result.leftClass != asked.leftClass) {
        editing(request);
        request[QStringLiteral("C_CLASDER")].setValue(result.rightClass);
        request[QStringLiteral("C_CLASIZQ")].setValue(result.leftClass);
    }
}

void RequestCaptures::captureDocuments(store::Dataset &request, const QString &documentFile)
{
    const int n = ++m_counter;
    m_dm.deleteFile(QStringLiteral("docu.tif"));
    m_dm.deleteFile(QStringLiteral("out.tif"));
    deleteScratch(n);
    const QString work = scratchPath(n);
    QDateTime noted;
    const bool stored = !documentFile.isEmpty() && m_dm.fileExists(documentFile);
    if (stored) {
        copyFile(m_dm.filePath(documentFile), work);
        noted = QFileInfo(work).lastModified();
    }

    m_services.captureDocuments(work);

    const QFileInfo after(work);
    if (after.exists() && (!noted.isValid() || after.lastModified() > noted) &&
        !(stored && os::sameContents(work, m_dm.filePath(documentFile)))) {
        editing(request);
        copyFile(work, m_dm.filePath(QStringLiteral("docu.tif")));
    }
    deleteScratch(n - 1);
    deleteScratch(n);
}

void RequestCaptures::showImage(const QString &file, const QByteArray &bytes)
{
    const int n = ++m_counter;
    const QString copy = scratchPath(n);
    if (!file.isEmpty()) {
        copyFile(file, copy);
    } else {
        QFile out(copy);
        if (out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            out.write(bytes);
    }
    m_services.showAnswer(copy);
    // The viewer is closed: the copy of the citizen's answer goes.
    deleteScratch(n - 1);
    deleteScratch(n);
}

} // namespace tav::official
