#include "ui/QtUi.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using tav::ui::QtUi;
using tav::ui::Ui;

namespace {

// Runs `act` on the modal dialog as soon as it is shown (polled, at most about three seconds).
void whenModalShows(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act), triesLeft = 300]() mutable {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && --triesLeft > 0)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            act(modal);
        else
            ADD_FAILURE() << "no modal dialog appeared";
    });
    timer->start();
}

QStringList buttonTexts(const QMessageBox *box)
{
    QStringList texts;
    for (const QAbstractButton *b : box->buttons())
        texts.append(b->text());
    texts.sort();
    return texts;
}

void clickButton(QWidget *dialog, const QString &text)
{
    for (QPushButton *b : dialog->findChildren<QPushButton *>()) {
        if (b->text() == text) {
            b->click();
            return;
        }
    }
    ADD_FAILURE() << "no button " << text.toStdString();
    static_cast<QDialog *>(dialog)->reject();
}

} // namespace

TEST(QtUi, MessageBoxShowsTitleLineBreaksAndSpanishButtons)
{
    QtUi ui;
    QString title;
    QString text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModalShows([&](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        buttons = buttonTexts(box);
        icon = box->icon();
        clickButton(box, QString::fromUtf8("Sí"));
    });
    EXPECT_TRUE(ui.confirm(QString::fromUtf8("¿Está seguro que desea limpiar\rla contraseña de este usuario?")));
    EXPECT_EQ(title, "Confirmar");
    EXPECT_EQ(text, QString::fromUtf8("¿Está seguro que desea limpiar\nla contraseña de este usuario?"));
    EXPECT_EQ(buttons, (QStringList{"No", QString::fromUtf8("Sí")}));
    EXPECT_EQ(icon, QMessageBox::Question);
}

TEST(QtUi, EachButtonAndClosingGiveTheirAnswer)
{
    const QString esc = "<Escape>";
    struct Case
    {
        Ui::Buttons buttons;
        QString press;
        Ui::Answer expected;
        QStringList shown;
    };
    const QString si = QString::fromUtf8("Sí");
    const Case cases[] = {
        {Ui::Buttons::Ok, "Aceptar", Ui::Ok, {"Aceptar"}},
        {Ui::Buttons::Ok, esc, Ui::Ok, {"Aceptar"}},
        {Ui::Buttons::OkCancel, "Aceptar", Ui::Ok, {"Aceptar", "Cancelar"}},
        {Ui::Buttons::OkCancel, esc, Ui::Cancel, {"Aceptar", "Cancelar"}},
        {Ui::Buttons::YesNo, "No", Ui::No, {"No", si}},
        {Ui::Buttons::YesNo, esc, Ui::No, {"No", si}},
        {Ui::Buttons::YesNoCancel, si, Ui::Yes, {"Cancelar", "No", si}},
        {Ui::Buttons::YesNoCancel, "Cancelar", Ui::Cancel, {"Cancelar", "No", si}},
        {Ui::Buttons::YesNoCancel, esc, Ui::Cancel, {"Cancelar", "No", si}},
    };
    QtUi ui;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.press.toStdString() + " of " + c.shown.join('/').toStdString());
        QStringList shown;
        whenModalShows([&](QWidget *w) {
            auto *box = qobject_cast<QMessageBox *>(w);
            ASSERT_NE(box, nullptr);
            shown = buttonTexts(box);
            if (c.press == esc)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                clickButton(box, c.press);
        });
        EXPECT_EQ(ui.message("Texto", "Advertencia", c.buttons), c.expected);
        EXPECT_EQ(shown, c.shown);
    }
}

TEST(QtUi, IconFollowsTheUsualTitles)
{
    const struct
    {
        QString title;
        QMessageBox::Icon icon;
    } cases[] = {
        {"Advertencia", QMessageBox::Warning}, {QString::fromUtf8("Atención"), QMessageBox::Warning},
        {"Error", QMessageBox::Critical},      {QString::fromUtf8("Información"), QMessageBox::Information},
        {"Confirmar", QMessageBox::Question},  {"Motivo del Rechazo", QMessageBox::NoIcon},
    };
    QtUi ui;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        whenModalShows([&](QWidget *w) {
            shown = static_cast<QMessageBox *>(w)->icon();
            clickButton(w, "Aceptar");
        });
        ui.message("Texto", c.title);
        EXPECT_EQ(shown, c.icon);
    }
}

TEST(QtUi, InputBoxReturnsTheTextOrNothingWhenCancelled)
{
    QtUi ui;
    QString caption;
    QString initial;
    whenModalShows([&](QWidget *w) {
        auto *dialog = qobject_cast<QInputDialog *>(w);
        ASSERT_NE(dialog, nullptr);
        caption = dialog->windowTitle();
        auto *edit = dialog->findChild<QLineEdit *>();
        ASSERT_NE(edit, nullptr);
        initial = edit->text();
        edit->setText("persona@example.org");
        clickButton(dialog, "Aceptar");
    });
    const auto typed =
        ui.inputBox(QString::fromUtf8("Introduzca la dirección de e-mail"), "E-mail:", "DIRECCION DE EMAIL");
    EXPECT_EQ(typed, QString("persona@example.org"));
    EXPECT_EQ(caption, QString::fromUtf8("Introduzca la dirección de e-mail"));
    EXPECT_EQ(initial, "DIRECCION DE EMAIL");

    whenModalShows([&](QWidget *w) { clickButton(w, "Cancelar"); });
    EXPECT_EQ(ui.inputBox("Caption", "Prompt", "text"), std::nullopt);
}

TEST(QtUi, BusyCursorNestsAndIsRestored)
{
    QtUi ui;
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        const auto outer = ui.busyCursor();
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            const auto inner = ui.busyCursor();
            EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUi, StatusTextAndWindowVisibilityFollowTheMainWindow)
{
    QMainWindow main;
    main.setObjectName("FMenu");
    QtUi ui(&main);
    ui.setStatusBar(main.statusBar());

    ui.setStatusText("oculta");
    EXPECT_EQ(main.statusBar()->currentMessage(), "");
    EXPECT_FALSE(ui.isWindowVisible("FMenu"));

    main.show();
    ui.setStatusText("Enviando pedido 12...");
    EXPECT_EQ(main.statusBar()->currentMessage(), "Enviando pedido 12...");
    EXPECT_TRUE(ui.isWindowVisible("FMenu"));
    EXPECT_FALSE(ui.isWindowVisible("FPed"));
}
