// Speed of the image layer on the office's everyday files: reading a card image's properties (what the
// acceptance check does), saving a card, and rebuilding a 20-page A4 document after deleting its first page.

#include "platform/imaging/ImageFile.h"
#include "platform/imaging/PageTransform.h"
#include "platform/imaging/TiffDocument.h"

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace tav::imaging;

namespace {

Page textLikePage(int width, int height, QImage::Format format)
{
    QImage img(width, height, QImage::Format_Grayscale8);
    img.fill(255);
    QPainter p(&img);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    for (int y = height / 20; y + 30 < height * 19 / 20; y += 45)
        for (int x = width / 12; x + 40 < width * 11 / 12; x += 55 + (y / 45) % 17)
            p.drawRect(x, y, 35 + (x / 55) % 11, 28);
    p.end();
    if (format == QImage::Format_Mono)
        img = img.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither | Qt::MonoOnly);
    return {img, 300, 300};
}

struct Files
{
    QTemporaryDir dir;
    QString card;
    QString document;
    Files()
    {
        card = dir.filePath("card.tif");
        ImageFile::save(textLikePage(2480, 1299, QImage::Format_Grayscale8), card, Encoding::tiffGrayJpegMedium());
        document = dir.filePath("doc20.tif");
        const Page a4 = textLikePage(2480, 3508, QImage::Format_Mono);
        for (int i = 0; i < 20; ++i)
            TiffDocument::appendPage(document, a4, Encoding::tiffGroup4());
    }
};

Files &files()
{
    static Files f;
    return f;
}

void BM_ReadCardProperties(benchmark::State &state)
{
    const QString card = files().card;
    for (auto _ : state) {
        ImageProperties p;
        if (!ImageFile::readProperties(card, p))
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(p);
    }
}
BENCHMARK(BM_ReadCardProperties)->Unit(benchmark::kMicrosecond);

void BM_LoadCardPage(benchmark::State &state)
{
    const QString card = files().card;
    for (auto _ : state) {
        Page page;
        if (!ImageFile::loadPage(card, page))
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(page);
    }
}
BENCHMARK(BM_LoadCardPage)->Unit(benchmark::kMillisecond);

void BM_SaveCard(benchmark::State &state)
{
    const Page page = textLikePage(2480, 1299, QImage::Format_Grayscale8);
    const QString target = files().dir.filePath("saved.tif");
    for (auto _ : state) {
        if (!ImageFile::save(page, target, Encoding::tiffGrayJpegMedium()))
            state.SkipWithError("save failed");
    }
    state.counters["bytes"] = double(QFile(target).size());
}
BENCHMARK(BM_SaveCard)->Unit(benchmark::kMillisecond);

void BM_DeleteFirstPageOf20PageA4Group4(benchmark::State &state)
{
    const QString master = files().document;
    const QString work = files().dir.filePath("work.tif");
    for (auto _ : state) {
        state.PauseTiming();
        QFile::remove(work);
        QFile::copy(master, work);
        state.ResumeTiming();
        if (!TiffDocument::deletePage(work, 1))
            state.SkipWithError("delete failed");
    }
    state.counters["bytes"] = double(QFile(master).size());
}
BENCHMARK(BM_DeleteFirstPageOf20PageA4Group4)->Unit(benchmark::kMillisecond);

void BM_DeskewA4Grey(benchmark::State &state)
{
    const Page page = PageTransform::rotate(textLikePage(2480, 3508, QImage::Format_Grayscale8), 2);
    for (auto _ : state) {
        auto result = PageTransform::deskew(page);
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_DeskewA4Grey)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
