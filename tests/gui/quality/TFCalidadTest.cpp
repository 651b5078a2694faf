// The quality report window: its lines, the average on the second line, progress and status.

#include "capture/windows/TFCalidad.h"
#include "capture/FingerQuality.h"

#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>

#include <gtest/gtest.h>

namespace tav::capture {
namespace {

TEST(TFCalidad, ListsEveryFingerAndTheAverage)
{
    FingerQuality table;
    table.set(1, 1, 0);
    table.set(2, 2, 0);
    table.set(3, 5, 2);
    table.set(4, 4, 0);
    // Positions 5..10 never captured.
    TFCalidad window;
    EXPECT_EQ(window.showReport(QStringLiteral("Calidad de la huella"), table), 2); // (1 + 2 + 4) / 3
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(window.windowTitle(), "Calidad de la huella");
    const QStringList lines = window.textArea()->toPlainText().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "Calidad de la huella");
    EXPECT_EQ(lines[1], "Promedio = 2 (Muy buena)");
    EXPECT_EQ(lines[2], "Pulgar Derecho = 1 (Excelente)");
    EXPECT_EQ(lines[4], "Medio Derecho = 5 (Mala, Faltan minucias)");
    EXPECT_EQ(lines[5], "Anular Derecho = 4 (Regular)");
    EXPECT_EQ(lines[11], QString::fromUtf8("Meñique Izquierdo = 0 (Error: falta huella!, Falta cargar la imagen)"));
    EXPECT_EQ(window.progressBar()->value(), 10);
    EXPECT_EQ(window.progressBar()->maximum(), 10);
    EXPECT_EQ(window.statusBar()->currentMessage(), "Listo!");
    EXPECT_TRUE(window.textArea()->isReadOnly());

    // Reused for another capture with nothing rated.
    EXPECT_EQ(window.showReport(QStringLiteral("Calidad de la huella"), FingerQuality()), 9);
    EXPECT_EQ(window.textArea()->toPlainText().split(QLatin1Char('\n'))[1], "Promedio = 9 (Error: No hay impresiones)");
}

} // namespace
} // namespace tav::capture
