#include "official/OfficialRules.h"
#include "official/windows/FBusqDel.h"
#include "official/windows/FOrg.h"
#include "official/windows/Fbped.h"
#include "official/windows/Fsup.h"
#include "official/windows/TFped.h"
#include "shell/windows/FMenu.h"

#include "platform/imaging/ImageFile.h"
#include "platform/os/StationScratch.h"
#include "ui/Navigator.h"
#include "unit/imaging/TestImages.h"
#include "unit/store/OfficeFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace tav;
using official::CardCaptureRequest;
using official::CardCaptureResult;
using official::TFped;
using ui::Navigator;

namespace {

const QString kApp = QStringLiteral("TAV - Regional");

class OfficialWindowsTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        rules = std::make_unique<official::OfficialRules>(*dm);
        dm->programVersion = "2.32";
        addOrganisation("JUZGADO FEDERAL 1", "juzgado1@justicia.gob");
        addOrganisation("FISCALIA 2", "fiscalia2@justicia.gob");

        services.captureCard = [this](const CardCaptureRequest &request) {
            ++cardCaptures;
            lastCard = request;
            timerRanDuringCapture = dm->Timer.isActive();
            CardCaptureResult result;
            result.rightClass = request.rightClass;
            result.leftClass = request.leftClass;
            if (!writeCardOnCapture)
                return result;
            result.resultFile = path("result.tif");
            writeCard(result.resultFile);
            result.changed = true;
            result.rightClass = "A1234";
            result.leftClass = "V2222";
            return result;
        };
        services.captureDocuments = [this](const QString &work) {
            ++documentCaptures;
            timerRanDuringCapture = dm->Timer.isActive();
            if (writeDocumentOnCapture)
                writeCard(work);
            if (rewriteSameDocument) {
                // What a viewer that copies the document back does: the same bytes with a new time.
                QFile file(work);
                ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                const QByteArray bytes = file.readAll();
                file.seek(0);
                file.write(bytes);
                file.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
            }
        };
        services.showAnswer = [this](const QString &image) {
            shownAnswers << image;
            QFile copy(image);
            answerBytes << (copy.open(QIODevice::ReadOnly) ? copy.readAll() : QByteArray());
        };
        window = std::make_unique<TFped>(*dm, ui, services);
        window->show();
        ui.clearRecord();
    }

    void TearDown() override
    {
        window.reset();
        OfficeFixture::TearDown();
    }

    void addOrganisation(const QString &name, const QString &mail)
    {
        store::Dataset &org = *dm->org;
        dm->postConfirmed = true;
        org.insert();
        org["X_ORG"].setValue(name);
        org["X_DOM"].setValue("AV. SIEMPREVIVA 742");
        org["X_LOC"].setValue("CORDOBA");
        org["C_PROV"].setValue(4);
        org["C_CODPOS"].setValue(5000);
        org["X_EMAIL"].setValue(mail);
        ASSERT_TRUE(org.post());
    }

    QString path(const QString &name) const { return QDir(QString::fromStdString(dir.path().string())).filePath(name); }
    // A scratch copy of this station's.
    QString scratch(const QString &name) const
    {
        return QDir(os::StationScratch::folder(path(QString()))).filePath(name);
    }
    bool fileExists(const QString &name) const { return !name.isEmpty() && exists(name.toStdString()); }

    static void writeCard(const QString &file)
    {
        imaging::Page page = test::grayPage(2480, 1299);
        page.xResolution = page.yResolution = 300;
        QString error;
        ASSERT_TRUE(imaging::ImageFile::save(page, file, imaging::Encoding::tiffGrayJpegMedium(), &error))
            << error.toStdString();
    }

    template <class W> W *child(const char *name) const
    {
        W *w = window->findChild<W *>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void type(const char *edit, const QString &text) { QTest::keyClicks(child<QLineEdit>(edit), text); }
    void choose(const char *combo, int index)
    {
        QComboBox *c = child<QComboBox>(combo);
        c->setCurrentIndex(index);
        emit c->activated(index);
    }
    bool nav(Navigator::Action action) { return window->navigator()->trigger(action); }
    void click(const char *button) { QTest::mouseClick(window->button(QString::fromLatin1(button)), Qt::LeftButton); }

    // A request entered through the window and saved with the navigator.
    void enterRequest(const QString &surname, const QString &causeNumber = {})
    {
        ASSERT_TRUE(nav(Navigator::Insert));
        type("edX_APE1", surname);
        type("edX_NOM1", "juan");
        choose("cbC_SEXO", 0);
        choose("cbC_NAC", 0);
        choose("cbC_ORG", 0);
        choose("cbC_PRIOR", 0);
        type("edC_TDEL", "101");
        if (!causeNumber.isEmpty())
            type("edN_CAUSA", causeNumber);
        ASSERT_TRUE(nav(Navigator::Post)) << ui.messageTexts().join('|').toStdString();
        ASSERT_EQ(dm->ped->state(), store::DatasetState::Browse);
    }

    // Changes the current request as the exchange does, without the window.
    void setRequest(const char *fieldName, const QVariant &value)
    {
        dm->ped->edit();
        dm->ped->field(QString::fromLatin1(fieldName)).setValue(value);
        dm->postConfirmed = true;
        ASSERT_TRUE(dm->ped->post());
    }

    std::unique_ptr<official::OfficialRules> rules;
    official::CaptureServices services;
    std::unique_ptr<TFped> window;
    CardCaptureRequest lastCard;
    int cardCaptures = 0;
    int documentCaptures = 0;
    bool timerRanDuringCapture = false;
    bool writeCardOnCapture = true;
    bool writeDocumentOnCapture = true;
    bool rewriteSameDocument = false;
    QStringList shownAnswers;
    QList<QByteArray> answerBytes;
};

TEST_F(OfficialWindowsTest, EnterSaveCaptureCardAndDocumentsAndSaveAgain)
{
    EXPECT_EQ(window->windowTitle(), "TAV - Pedido Oficial de Antecedentes");
    EXPECT_FALSE(window->offenceButton()->isEnabled());
    enterRequest("gomez");
    store::Dataset &ped = *dm->ped;
    EXPECT_EQ(ped["C_PED"].asInteger(), 1);
    EXPECT_EQ(ped["X_APE1"].asString(), "GOMEZ"); // typed in lower case
    EXPECT_EQ(ped["X_EMAIL"].asString(), "juzgado1@justicia.gob");
    EXPECT_EQ(ped["X_LOC"].asString(), "CORDOBA");
    EXPECT_EQ(ped["C_TDEL"].asInteger(), 101);
    EXPECT_TRUE(ui.shownNothing());

    // The card: the timer stops while the capture window is open and runs again afterwards.
    dm->Timer.start();
    QTest::mouseClick(window->button("btDactilares"), Qt::LeftButton);
    EXPECT_EQ(cardCaptures, 1);
    EXPECT_FALSE(timerRanDuringCapture);
    EXPECT_TRUE(dm->Timer.isActive());
    EXPECT_TRUE(lastCard.loadedImage.isEmpty());
    EXPECT_FALSE(lastCard.locked);
    EXPECT_EQ(lastCard.rightClass, "_____");
    EXPECT_EQ(ped.state(), store::DatasetState::Edit);
    EXPECT_TRUE(exists("edit.tif"));
    EXPECT_FALSE(exists("result.tif"));
    EXPECT_FALSE(exists("1.tif"));
    EXPECT_EQ(ped["C_CLASDER"].asString(), "A1234");
    EXPECT_EQ(ped["C_CLASIZQ"].asString(), "V2222");
    ASSERT_TRUE(nav(Navigator::Post)) << ui.messageTexts().join('|').toStdString();
    EXPECT_TRUE(fileExists(dm->pedFingerprintFile()));
    EXPECT_FALSE(exists("edit.tif"));
    EXPECT_EQ(ped["C_PED"].asInteger(), 1);

    // A second capture gets a copy of the saved card; closing without a change leaves browse.
    writeCardOnCapture = false;
    click("btDactilares");
    EXPECT_EQ(lastCard.loadedImage, scratch("2.tif"));
    EXPECT_EQ(ped.state(), store::DatasetState::Browse);
    EXPECT_FALSE(QFileInfo::exists(scratch("2.tif")));

    // The documentation: written by the documentation window, moved into the request's file on save.
    click("btDocumentacion");
    EXPECT_EQ(documentCaptures, 1);
    EXPECT_FALSE(timerRanDuringCapture);
    EXPECT_TRUE(dm->Timer.isActive());
    EXPECT_EQ(ped.state(), store::DatasetState::Edit);
    EXPECT_TRUE(exists("docu.tif"));
    ASSERT_TRUE(nav(Navigator::Post));
    EXPECT_TRUE(fileExists(dm->pedDocumentFile()));
    EXPECT_FALSE(exists("docu.tif"));
    EXPECT_FALSE(exists("3.tif"));

    // Opening the documentation again and closing it unchanged leaves the record as it was, even when the
    // document came back with a new modification time.
    writeDocumentOnCapture = false;
    rewriteSameDocument = true;
    click("btDocumentacion");
    EXPECT_EQ(ped.state(), store::DatasetState::Browse);
    EXPECT_TRUE(ui.shownNothing());
    dm->Timer.stop();
}

TEST_F(OfficialWindowsTest, CapturesStartOnlyFromASavedRequestAndNeverForANominativeOne)
{
    enterRequest("PEREZ");
    ASSERT_TRUE(nav(Navigator::Edit));
    type("edX_APE2", "LOPEZ");
    click("btDactilares");
    click("btDocumentacion");
    EXPECT_EQ(cardCaptures + documentCaptures, 0);
    const QString unsaved = QStringLiteral("Se han modificado los datos de este registro.\rPresione en el navegador el "
                                           "tilde para grabar\ro la equis para cancelar.");
    EXPECT_TRUE(ui.shown({{unsaved, "Advertencia"}, {unsaved, "Advertencia"}}));
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Edit);
    ASSERT_TRUE(nav(Navigator::Cancel));

    setRequest("C_CARPED", "N");
    dm->Timer.start();
    ui.clearRecord();
    click("btDactilares");
    EXPECT_EQ(cardCaptures, 0);
    EXPECT_TRUE(ui.shown({{official::OfficialWindowRules::nominativeMessage(), kApp}}));
    EXPECT_TRUE(dm->Timer.isActive());
    click("btDocumentacion"); // a nominative request still takes documentation
    EXPECT_EQ(documentCaptures, 1);
    dm->Timer.stop();
}

TEST_F(OfficialWindowsTest, NavigatorRefusesDuringReceptionAndOnSentRequestsUnlessRejected)
{
    enterRequest("GOMEZ");
    dm->receptionIdle = false;
    EXPECT_FALSE(nav(Navigator::Insert));
    EXPECT_TRUE(ui.shown({{official::OfficialWindowRules::receivingMessage(), kApp}}));
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Browse);
    dm->receptionIdle = true;

    setRequest("M_ENVIADO", true);
    setRequest("C_EST", "E");
    ui.clearRecord();
    EXPECT_FALSE(nav(Navigator::Edit));
    EXPECT_TRUE(ui.shown({{"No se puede modificar un pedido que ya ha sido enviado", kApp}}));
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Browse);
    // The aliases of a sent request cannot be changed either.
    official::Fsup aliases(*dm, ui, window->rules());
    ui.clearRecord();
    EXPECT_FALSE(aliases.navigator()->trigger(Navigator::Insert));
    EXPECT_TRUE(ui.shown({{official::OfficialWindowRules::sentAliasMessage(), kApp}}));
    click("btDactilares");
    EXPECT_TRUE(lastCard.locked);

    setRequest("C_EST", "R"); // rejected: it can be changed and captured again
    ui.clearRecord();
    EXPECT_TRUE(nav(Navigator::Edit));
    EXPECT_TRUE(aliases.navigator()->isEnabled());
    type("edX_NOM2", "carlos");
    EXPECT_TRUE(nav(Navigator::Post));
    EXPECT_EQ(dm->ped->field("X_NOM2").asString(), "CARLOS");
    EXPECT_TRUE(ui.shownNothing());
}

TEST_F(OfficialWindowsTest, FinderLocatesByCodeCaseNumberAndSurname)
{
    enterRequest("GOMEZ", "A-77/2026");
    enterRequest("PEREZ", "B-12/2026");
    struct Case
    {
        const char *criterion;
        QString text;
        int expected; // request code, 0 when not found
    };
    const Case cases[] = {{"code", "1", 1},    {"code", "9", 0},        {"case", "a-77/2026", 1},
                          {"case", "A-77", 0}, {"surname", "perez", 2}, {"surname", "PERE", 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.criterion) + " " + c.text.toStdString());
        dm->ped->last();
        const int before = dm->ped->field("C_PED").asInteger();
        official::Fbped finder(*dm->ped, ui);
        ui.clearRecord();
        if (QLatin1String(c.criterion) == QLatin1String("code")) {
            finder.codeEdit()->setValue(c.text.toInt());
        } else if (QLatin1String(c.criterion) == QLatin1String("case")) {
            finder.byCase()->setChecked(true);
            EXPECT_FALSE(finder.codeEdit()->isEnabled());
            QTest::keyClicks(finder.caseEdit(), c.text);
        } else {
            finder.bySurname()->setChecked(true);
            QTest::keyClicks(finder.surnameEdit(), c.text);
            EXPECT_EQ(finder.surnameEdit()->text(), c.text.toUpper());
        }
        QTest::mouseClick(finder.searchButton(), Qt::LeftButton);
        if (c.expected) {
            EXPECT_EQ(finder.result(), QDialog::Accepted);
            EXPECT_EQ(dm->ped->field("C_PED").asInteger(), c.expected);
            EXPECT_TRUE(ui.shownNothing());
        } else {
            EXPECT_NE(finder.result(), QDialog::Accepted);
            EXPECT_EQ(dm->ped->field("C_PED").asInteger(), before);
            EXPECT_TRUE(ui.shown({{"Lo siento, no se ha encontrado el pedido", kApp}}));
        }
    }
    // Personal requests have no case number: never found.
    EXPECT_FALSE(official::findRequest(*dm->pedp, official::RequestCriterion::CaseNumber, "A-77/2026"));
}

TEST_F(OfficialWindowsTest, OffenceChooserFiltersAcceptsOffencesAndRefusesCategories)
{
    enterRequest("GOMEZ");
    window->chooseOffence(); // browsing
    EXPECT_TRUE(ui.shown({{"Antes de seleccionar el delito, debe cambiar al modo edición", kApp}}));

    ASSERT_TRUE(nav(Navigator::Edit));
    EXPECT_TRUE(window->offenceButton()->isEnabled());
    int runs = 0;
    window->beforeModal = [&](QWidget *dialog) {
        ++runs;
        auto *chooser = qobject_cast<official::FBusqDel *>(dialog);
        ASSERT_NE(chooser, nullptr);
        EXPECT_EQ(dm->tdel->field("C_TDEL").asInteger(), 101); // on the request's offence
        // The button beside an edit empties it.
        QTest::keyClicks(chooser->lawEdit(), "999");
        QTest::mouseClick(chooser->clearButton(1), Qt::LeftButton);
        EXPECT_TRUE(chooser->lawEdit()->text().isEmpty());

        // A category cannot be chosen.
        QTest::keyClicks(chooser->codeEdit(), "1");
        QTest::keyClick(chooser->codeEdit(), Qt::Key_Return);
        ASSERT_EQ(dm->tdel->recordCount(), 1);
        ui.clearRecord();
        QTest::mouseClick(chooser->findChild<QPushButton *>("btAceptar"), Qt::LeftButton);
        EXPECT_TRUE(ui.shown({{"Error: Debe elegir un delito y no una categoría", kApp}}));
        EXPECT_FALSE(chooser->result() == QDialog::Accepted);

        // A part of the description, in any case.
        QTest::mouseClick(chooser->clearButton(0), Qt::LeftButton);
        QTest::keyClicks(chooser->descriptionEdit(), "Lesiones");
        QTest::mouseClick(chooser->findChild<QPushButton *>("btBuscar"), Qt::LeftButton);
        ASSERT_GE(dm->tdel->recordCount(), 1);
        for (int i = 0; i < dm->tdel->recordCount(); ++i) {
            dm->tdel->moveTo(i);
            EXPECT_TRUE(dm->tdel->field("X_TDEL").asString().contains("LESIONES"));
        }
        dm->tdel->first();
        QTest::mouseClick(chooser->findChild<QPushButton *>("btAceptar"), Qt::LeftButton);
        EXPECT_EQ(chooser->result(), QDialog::Accepted);
    };
    QTest::mouseClick(window->offenceButton(), Qt::LeftButton);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(dm->ped->field("C_TDEL").asInteger(), 102);
    EXPECT_FALSE(dm->tdel->isFiltered());
    EXPECT_TRUE(dm->offenceFilter.isEmpty());
    EXPECT_EQ(child<QComboBox>("cbX_TDEL")->currentText(), "LESIONES LEVES");

    // A code no offence type has is emptied when the edit is left.
    QLineEdit *code = child<QLineEdit>("edC_TDEL");
    code->clear();
    type("edC_TDEL", "9999");
    emit code->editingFinished();
    EXPECT_TRUE(dm->ped->field("C_TDEL").isNull());
}

TEST_F(OfficialWindowsTest, ControlsFollowTheSettingsAndHooks)
{
    EXPECT_TRUE(child<QComboBox>("cbC_CARPED")->isHidden());
    EXPECT_TRUE(child<QCheckBox>("ckM_EXCART51")->isHidden());
    EXPECT_FALSE(window->button("btEnviar")->isEnabled());
    EXPECT_FALSE(window->button("btEnviar")->toolTip().isEmpty());
    EXPECT_FALSE(window->button("btKorvast")->isEnabled());
    EXPECT_TRUE(window->button("btKorvast")->isHidden()) << "only a branch office asks for it";
    dm->nominativeRequests = true;
    dm->writeSetting("m_es_suc", "S");
    window->hide();
    window->show();
    EXPECT_FALSE(child<QComboBox>("cbC_CARPED")->isHidden());
    EXPECT_FALSE(child<QCheckBox>("ckM_EXCART51")->isHidden());
    EXPECT_FALSE(window->button("btKorvast")->isHidden());

    enterRequest("GOMEZ");
    int letters = 0;
    window->previewLetter = [&] { ++letters; };
    window->updateHookButtons();
    click("btOficio");
    EXPECT_EQ(letters, 1);
    window->statusQuery();
    EXPECT_TRUE(ui.shown({{"Sin número de expte. no se puede consultar el estado", kApp}}));

    // The answer: a request not answered yet, then one whose answer is in its blob.
    ui.clearRecord();
    click("btContestacion");
    EXPECT_TRUE(ui.shown({{"El pedido no ha sido contestado", "Error"}}));
    setRequest("M_CONTESTA", true);
    setRequest("B_RESP", QByteArray("answer image"));
    click("btContestacion");
    ASSERT_EQ(shownAnswers.size(), 1);
    EXPECT_EQ(answerBytes.front(), "answer image");
    EXPECT_FALSE(QFileInfo::exists(shownAnswers.front())); // the copy goes once the viewer is closed
    // A rejected request shows the reason kept with it.
    setRequest("C_EST", "R");
    setRequest("X_RECHAZO", "FALTA FICHA");
    ui.clearRecord();
    click("btContestacion");
    EXPECT_TRUE(ui.shown({{"FALTA FICHA", "Motivo del Rechazo"}}));
}

TEST_F(OfficialWindowsTest, OrganisationWindowSavesThroughItsNavigator)
{
    official::TFOrg org(*dm, ui);
    org.show();
    EXPECT_EQ(org.windowTitle(), "TAV - Administración de Organismos");
    EXPECT_GE(org.minimumWidth(), 545);
    EXPECT_GE(org.minimumHeight(), 260);
    auto *name = org.findChild<QLineEdit *>("edX_ORG");
    EXPECT_TRUE(name->isReadOnly()); // no automatic edit
    ASSERT_TRUE(org.navigator()->trigger(Navigator::Insert));
    QTest::keyClicks(name, "camara federal");
    QTest::keyClicks(org.findChild<QLineEdit *>("edX_DOM"), "calle 1");
    QTest::keyClicks(org.findChild<QLineEdit *>("edX_LOC"), "rosario");
    auto *province = org.findChild<QComboBox *>("cbx_prov");
    province->setCurrentIndex(2);
    emit province->activated(2);
    ui.clearRecord();
    EXPECT_FALSE(org.navigator()->trigger(Navigator::Post));
    EXPECT_TRUE(ui.shown({{"Debe completar el campo \"Código Postal\"", "Advertencia"}}));
    QTest::keyClicks(org.findChild<QLineEdit *>("edC_CODPOS"), "2000");
    ASSERT_TRUE(org.navigator()->trigger(Navigator::Post));
    EXPECT_EQ(dm->org->field("C_ORG").asInteger(), 3);
    EXPECT_EQ(dm->org->field("X_ORG").asString(), "CAMARA FEDERAL");
    EXPECT_EQ(dm->org->field("C_PROV").asInteger(), 3);
}

TEST_F(OfficialWindowsTest, PendingEditsAreNeverLostWhenWindowsOrTheProgramClose)
{
    enterRequest("GOMEZ");
    ASSERT_TRUE(nav(Navigator::Edit));
    type("edX_NOM2", "carlos");

    // "Archivo › Salir" closes the request window first; it asks, and "Cancelar" keeps everything open.
    shell::FMenu menu(*dm, ui);
    menu.beforeClose = [this] { return window->close(); };
    menu.show();
    QAction *salir = menu.findChild<QAction *>("Salir1");
    ASSERT_NE(salir, nullptr);
    ui.clearRecord();
    ui.answerNext(ui::Ui::Cancel);
    salir->trigger();
    EXPECT_TRUE(ui.shown({{"El pedido tiene cambios sin grabar.\r¿Desea grabarlos?", "Confirmar"}}));
    EXPECT_TRUE(menu.isVisible());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Edit);
    EXPECT_EQ(child<QLineEdit>("edX_NOM2")->text(), "CARLOS");

    // "Sí" saves, then both windows close.
    ui.answerNext(ui::Ui::Yes);
    salir->trigger();
    EXPECT_FALSE(menu.isVisible());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Browse);
    EXPECT_EQ(dm->ped->field("X_NOM2").asString(), "CARLOS");

    // "No" drops the change; a save the rules refuse keeps the window open with the input.
    window->show();
    ASSERT_TRUE(nav(Navigator::Edit));
    type("edX_NOM3", "jose");
    ui.answerNext(ui::Ui::No);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Browse);
    EXPECT_TRUE(dm->ped->field("X_NOM3").isNull());
    window->show();
    ASSERT_TRUE(nav(Navigator::Edit));
    child<QLineEdit>("edX_APE1")->selectAll();
    QTest::keyClick(child<QLineEdit>("edX_APE1"), Qt::Key_Delete);
    ui.clearRecord();
    ui.answerNext(ui::Ui::Yes);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(ui.shown({{"El pedido tiene cambios sin grabar.\r¿Desea grabarlos?", "Confirmar"},
                          {"Debe completar el campo \"Apellido\"", "Advertencia"}}));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Edit);
    dm->ped->cancel();

    // A record opened and left untouched closes without a question.
    ASSERT_TRUE(nav(Navigator::Edit));
    ui.clearRecord();
    EXPECT_TRUE(window->close());
    EXPECT_TRUE(ui.shownNothing());

    // The organisation window asks the same way.
    official::TFOrg org(*dm, ui);
    org.show();
    ASSERT_TRUE(org.navigator()->trigger(Navigator::Edit));
    QTest::keyClicks(org.findChild<QLineEdit *>("edX_LOC"), " norte");
    ui.answerNext(ui::Ui::Cancel);
    EXPECT_FALSE(org.close());
    EXPECT_EQ(dm->org->state(), store::DatasetState::Edit);
    ui.answerNext(ui::Ui::Yes);
    EXPECT_TRUE(org.close());
    EXPECT_EQ(dm->org->field("X_LOC").asString(), "CORDOBA NORTE");
}

TEST_F(OfficialWindowsTest, TypedInputIsDiscardedOnlyWithConsent)
{
    // "−" on a request being entered.
    ASSERT_TRUE(nav(Navigator::Insert));
    type("edX_APE1", "gomez");
    ui.clearRecord();
    ui.answerNext(ui::Ui::No);
    EXPECT_FALSE(nav(Navigator::Delete));
    EXPECT_TRUE(ui.shown({{"¿Desea descartar el pedido que está ingresando?", "Confirmar"}}));
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Insert);
    EXPECT_EQ(child<QLineEdit>("edX_APE1")->text(), "GOMEZ");
    ui.answerNext(ui::Ui::Yes);
    EXPECT_TRUE(nav(Navigator::Delete));
    EXPECT_EQ(dm->ped->state(), store::DatasetState::Browse);

    // The aliases window: "−" on an alias being entered, deletion of a saved one, and the alias just
    // saved stays on screen.
    enterRequest("GOMEZ");
    official::Fsup aliases(*dm, ui, window->rules());
    aliases.show();
    Navigator *nv = aliases.navigator();
    auto addAlias = [&](const QString &surname) {
        ASSERT_TRUE(nv->trigger(Navigator::Insert));
        QTest::keyClicks(aliases.findChild<QLineEdit *>("edX_APE1"), surname);
        QTest::keyClicks(aliases.findChild<QLineEdit *>("edX_NOM1"), "juan");
        ASSERT_TRUE(nv->trigger(Navigator::Post)) << ui.messageTexts().join('|').toStdString();
    };
    addAlias("lopez");
    addAlias("perez");
    EXPECT_EQ(aliases.findChild<QLineEdit *>("edX_APE1")->text(), "PEREZ") << "the new alias stays on screen";
    ASSERT_TRUE(nv->trigger(Navigator::First));
    ASSERT_TRUE(nv->trigger(Navigator::Next));
    ASSERT_TRUE(nv->trigger(Navigator::Edit));
    QTest::keyClicks(aliases.findChild<QLineEdit *>("edX_NOM2"), "pablo");
    ASSERT_TRUE(nv->trigger(Navigator::Post));
    EXPECT_EQ(aliases.findChild<QLineEdit *>("edX_APE1")->text(), "PEREZ") << "the edited alias stays on screen";
    EXPECT_EQ(aliases.findChild<QLineEdit *>("edX_NOM2")->text(), "PABLO");

    ASSERT_TRUE(nv->trigger(Navigator::Insert));
    QTest::keyClicks(aliases.findChild<QLineEdit *>("edX_APE1"), "ruiz");
    ui.clearRecord();
    ui.answerNext(ui::Ui::No);
    EXPECT_FALSE(nv->trigger(Navigator::Delete));
    EXPECT_TRUE(ui.shown({{"¿Desea descartar el supuesto que está ingresando?", "Confirmar"}}));
    EXPECT_EQ(dm->sup->state(), store::DatasetState::Insert);
    ui.answerNext(ui::Ui::Yes);
    EXPECT_TRUE(nv->trigger(Navigator::Delete));
    EXPECT_EQ(dm->sup->recordCount(), 2);

    ui.clearRecord();
    ui.answerNext(ui::Ui::No);
    EXPECT_FALSE(nv->trigger(Navigator::Delete));
    EXPECT_TRUE(ui.shown({{"¿Está seguro que desea eliminar este supuesto?", "Confirmar"}}));
    EXPECT_EQ(dm->sup->recordCount(), 2);

    // Closing the aliases window with an alias in edit asks too.
    ASSERT_TRUE(nv->trigger(Navigator::Edit));
    QTest::keyClicks(aliases.findChild<QLineEdit *>("edX_NOM3"), "x");
    ui.answerNext(ui::Ui::Cancel);
    aliases.reject();
    EXPECT_TRUE(aliases.isVisible());
    ui.answerNext(ui::Ui::No);
    aliases.reject();
    EXPECT_FALSE(aliases.isVisible());
    EXPECT_EQ(dm->sup->state(), store::DatasetState::Browse);
}

TEST_F(OfficialWindowsTest, RendersEachWindow)
{
    enterRequest("GOMEZ", "A-77/2026");
    const QString out = QStringLiteral(TAV_BINARY_DIR) + "/screenshots";
    QDir().mkpath(out);
    official::Fsup aliases(*dm, ui, window->rules());
    official::Fbped finder(*dm->ped, ui);
    official::FBusqDel chooser(*dm, ui);
    official::TFOrg org(*dm, ui);
    window->resize(window->minimumSize());
    const std::pair<QWidget *, QString> shots[] = {
        {window.get(), "Fped"}, {&aliases, "Fsup"}, {&finder, "Fbped"}, {&chooser, "FBusqDel"}, {&org, "FOrg"}};
    for (const auto &[w, name] : shots) {
        w->show();
        EXPECT_TRUE(w->grab().save(out + "/" + name + ".png")) << name.toStdString();
    }
    EXPECT_GE(aliases.minimumWidth(), 463);
    EXPECT_GE(aliases.minimumHeight(), 161);
}

} // namespace
