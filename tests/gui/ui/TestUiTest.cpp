#include "support/TestUi.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using tav::test::TestUi;
using tav::ui::Ui;

TEST(TestUi, AnswersFromTheScriptThenRefuses)
{
    TestUi ui;
    ui.answerNext(Ui::Yes);
    ui.answerNext(Ui::Cancel);
    EXPECT_TRUE(ui.confirm("uno"));
    EXPECT_EQ(ui.message("dos", "Atención", Ui::Buttons::YesNoCancel), Ui::Cancel);
    // Unscripted: the refusing answer of each button set.
    EXPECT_FALSE(ui.confirm("tres"));
    EXPECT_EQ(ui.message("cuatro", "Confirmar", Ui::Buttons::OkCancel), Ui::Cancel);
    ui.warning("cinco");
    EXPECT_EQ(ui.messages().back().answer, Ui::Ok);

    EXPECT_TRUE(ui.shown({{"uno", "Confirmar", Ui::Buttons::YesNo},
                          {"dos", "Atención"},
                          {"tres", "Confirmar"},
                          {"cuatro", "Confirmar", Ui::Buttons::OkCancel},
                          {"cinco", "Advertencia", Ui::Buttons::Ok}}));
}

TEST(TestUi, DefaultAnswerAppliesOnlyWhereOffered)
{
    TestUi ui;
    ui.setDefaultAnswer(Ui::Yes);
    EXPECT_TRUE(ui.confirm("a"));
    EXPECT_EQ(ui.message("b", "Confirmar", Ui::Buttons::OkCancel), Ui::Cancel);
}

TEST(TestUi, ShownReportsTheDifference)
{
    TestUi ui;
    ui.error("Debe ingresar\rel apellido");
    EXPECT_TRUE(ui.shown({{"Debe ingresar\rel apellido", "Error"}}));
    const auto wrongText = ui.shown({{"Debe ingresar el apellido", "Error"}});
    EXPECT_FALSE(wrongText);
    EXPECT_NE(std::string(wrongText.message()).find("\"Debe ingresar\\rel apellido\""), std::string::npos)
        << wrongText.message();
    EXPECT_FALSE(ui.shown({{"Debe ingresar\rel apellido", "Advertencia"}}));
    EXPECT_FALSE(ui.shown({{"Debe ingresar\rel apellido", "Error", Ui::Buttons::YesNo}}));
    EXPECT_FALSE(ui.shownNothing());
    ui.clearRecord();
    EXPECT_TRUE(ui.shownNothing());
}

TEST(TestUi, ScriptMistakesFailTheTest)
{
    EXPECT_NONFATAL_FAILURE(
        {
            TestUi ui;
            ui.answerNext(Ui::Yes);
            ui.warning("sólo Aceptar");
        },
        "scripted answer Yes");
    EXPECT_NONFATAL_FAILURE(
        {
            TestUi ui;
            ui.answerNext(Ui::Yes);
        },
        "never used");
    EXPECT_NONFATAL_FAILURE(
        {
            TestUi ui;
            ui.answerNextInput(QString("x"));
        },
        "never used");
}

TEST(TestUi, RecordsInputBoxesBusyCursorsAndStatus)
{
    TestUi ui;
    ui.answerNextInput(QString("a@b.org"));
    EXPECT_EQ(ui.inputBox("Caption", "E-mail:", "DIRECCION DE EMAIL"), QString("a@b.org"));
    EXPECT_EQ(ui.inputBox("Caption", "E-mail:", "DIRECCION DE EMAIL"), std::nullopt); // unscripted: cancelled
    ASSERT_EQ(ui.inputBoxes().size(), 2);
    EXPECT_EQ(ui.inputBoxes()[0].initialText, "DIRECCION DE EMAIL");

    {
        const auto outer = ui.busyCursor();
        const auto inner = ui.busyCursor();
        EXPECT_EQ(ui.busyDepth(), 2);
    }
    EXPECT_EQ(ui.busyDepth(), 0);
    EXPECT_EQ(ui.busyCount(), 2);
    EXPECT_EQ(ui.maxBusyDepth(), 2);

    ui.setStatusText("Recibiendo...");
    EXPECT_EQ(ui.statusTexts(), QStringList{"Recibiendo..."});
    ui.setWindowVisible("FPedp", true);
    EXPECT_TRUE(ui.isWindowVisible("FPedp"));
    ui.beep();
    EXPECT_EQ(ui.beeps(), 1);
}

TEST(Ui, DisplayTextTurnsCarriageReturnsIntoLineBreaks)
{
    EXPECT_EQ(Ui::displayText("a\rb\r\nc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(Ui::displayText("sin saltos"), "sin saltos");
}
