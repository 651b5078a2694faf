// The quality table of the ten live-scan fingers: texts, average, the retake question, and the buffer
// handed to the rating.

#include "capture/FingerQuality.h"
#include "support/TestUi.h"
#include "unit/wsq/WsqTestUtil.h"

#include <QImage>

#include <gtest/gtest.h>

namespace tav::capture {
namespace {

FingerQuality tableOf(std::initializer_list<std::pair<int, int>> levelsAndStatuses)
{
    FingerQuality t;
    int position = 1;
    for (const auto &[level, status] : levelsAndStatuses)
        t.set(position++, level, status);
    return t;
}

TEST(FingerQuality, AverageOfTheValidRatings)
{
    const FingerQuality tenValid =
        tableOf({{1, 0}, {1, 0}, {2, 0}, {2, 0}, {2, 0}, {3, 0}, {3, 0}, {3, 0}, {4, 0}, {5, 0}});
    EXPECT_EQ(tenValid.average(), 2); // 26 / 10
    EXPECT_EQ(FingerQuality::qualityWord(tenValid.average()), "Muy buena");
    // Nine valid levels summing to 20, and a finger with too few minutiae kept out.
    const FingerQuality nine =
        tableOf({{2, 0}, {2, 0}, {2, 0}, {2, 0}, {2, 0}, {2, 0}, {2, 0}, {3, 0}, {3, 0}, {5, 2}});
    EXPECT_EQ(nine.average(), 2);
    const FingerQuality none;
    EXPECT_EQ(none.average(), 9);
    EXPECT_EQ(FingerQuality::qualityWord(9), "Error: No hay impresiones");
    EXPECT_EQ(tableOf({{5, 1}, {5, 2}, {3, -3}}).average(), 9);
}

TEST(FingerQuality, TextsOfARating)
{
    struct Case
    {
        int status, level;
        const char *text;
    };
    for (const Case c :
         {Case{0, 2, "2 (Muy buena)"}, Case{2, 5, "5 (Mala, Faltan minucias)"}, Case{1, 5, "5 (Mala, Imagen vacía)"},
          Case{-2, 0, "0 (Error: falta huella!, Falta cargar la imagen)"},
          Case{-1, 0, "0 (Error: falta huella!, ERROR: Falta GBNFIQ.DLL)"},
          Case{-3, 3, "3 (Buena, Falta memoria para procesar la imagen)"}, Case{7, 7, "7 ()"}})
        EXPECT_EQ(FingerQuality::presentRating(c.status, c.level), QString::fromUtf8(c.text));
    EXPECT_EQ(FingerQuality::fingerName(1), "Pulgar Derecho");
    EXPECT_EQ(FingerQuality::fingerName(5), QString::fromUtf8("Meñique Derecho"));
    EXPECT_EQ(FingerQuality::fingerName(10), QString::fromUtf8("Meñique Izquierdo"));
    EXPECT_EQ(FingerQuality::fingerName(0), "Desconocido");
    EXPECT_EQ(FingerQuality::fingerName(11), "Desconocido");
    // A finger never captured, and what a reset brings back.
    FingerQuality t;
    t.set(4, 3, 0);
    t.reset();
    EXPECT_EQ(t.presented(4), QString::fromUtf8("0 (Error: falta huella!, Falta cargar la imagen)"));
    t.set(11, 1, 0); // no such finger: nothing stored
    EXPECT_EQ(t.average(), 9);
}

TEST(FingerQuality, OnlyAnAverageWorseThanThreeAsksToRetake)
{
    struct Case
    {
        int average;
        bool asks;
        ui::Ui::Answer answer;
        bool saves;
    };
    for (const Case c :
         {Case{1, false, ui::Ui::Yes, true}, Case{3, false, ui::Ui::Yes, true}, Case{4, true, ui::Ui::Yes, false},
          Case{4, true, ui::Ui::No, true}, Case{5, true, ui::Ui::No, true}, Case{9, true, ui::Ui::Yes, false}}) {
        tav::test::TestUi ui;
        if (c.asks)
            ui.answerNext(c.answer);
        EXPECT_EQ(FingerQuality::confirmSave(ui, c.average), c.saves) << c.average;
        ASSERT_EQ(ui.messages().size(), c.asks ? 1 : 0) << c.average;
        if (c.asks) {
            EXPECT_EQ(
                ui.messages()[0].text,
                QString::fromUtf8("La ficha del trámite es de baja calidad\r¿Desea volver a tomar las impresiones?"));
            EXPECT_EQ(ui.messages()[0].title, QString::fromUtf8("Atención"));
            EXPECT_EQ(ui.messages()[0].buttons, ui::Ui::Buttons::YesNo);
        }
    }
}

TEST(FingerQuality, RatesTheLeftColumnsThatAreAMultipleOfFour)
{
    const int w = 401, h = 300;
    const std::vector<std::uint8_t> px = wsq::test::ridges(w, h);
    QImage img(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y)
        std::memcpy(img.scanLine(y), px.data() + static_cast<std::size_t>(y) * w, w);
    FingerBuffer buffer;
    int status = 0;
    ASSERT_TRUE(fingerBuffer(img, buffer, status));
    EXPECT_EQ(buffer.width, 400);
    EXPECT_EQ(buffer.height, h);
    for (int y : {0, 1, h - 1}) // top row first, the 401st column left out
        EXPECT_EQ(0, std::memcmp(buffer.pixels.data() + static_cast<std::size_t>(y) * 400,
                                 px.data() + static_cast<std::size_t>(y) * w, 400))
            << y;

    FingerQuality t;
    const int rated = t.rate(3, img); // concentric test ridges have few minutiae: 0 or 2
    EXPECT_TRUE(rated == 0 || rated == 2) << rated;
    EXPECT_GE(t.quality(3), 1);
    EXPECT_LE(t.quality(3), 5);
    // No image: the status says so and the level stays.
    EXPECT_EQ(t.rate(3, QImage()), -2);
    EXPECT_GE(t.quality(3), 1);
    EXPECT_EQ(t.status(3), -2);
    // A colour image is rated as grey; a blank one is an empty image.
    QImage blank(120, 120, QImage::Format_RGB32);
    blank.fill(Qt::white);
    int level = 0;
    EXPECT_EQ(rateImage(blank, level), 1);
    EXPECT_EQ(level, 5);
}

} // namespace
} // namespace tav::capture
