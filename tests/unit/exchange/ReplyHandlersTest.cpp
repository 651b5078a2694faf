#include "unit/store/OfficeFixture.h"

#include "exchange/ReplyData.h"
#include "exchange/ReplyHandlers.h"
#include "queries/CentralStatusLists.h"
#include "reports/ActivityReport.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace tav;
using store::Dataset;

namespace {

struct Request
{
    bool personal = false;
    int c_ped = 0;
    int c_reg = 7;
    const char *c_est = "E";
};

// One reply written to disk, handed to the dispatcher, and what it must leave behind.
struct Case
{
    const char *name;
    const char *subject;
    const char *respDat; // null: no resp.dat
    bool image;          // a resp.tif comes with it
    Request request;
    bool applied;
    const char *error;      // the dispatcher's error text when not applied
    const char *state;      // C_EST afterwards
    int n_expe;             // N_EXPE afterwards
    const char *activity;   // the activity line after the time stamp, empty for none
    const char *answerFile; // the answer file that must exist afterwards ("" for none)
};

const char *const kOfficialFailed = "ERROR ProcesaMsgIndyToTAV: Error al procesar pedido oficial contestado";
const char *const kConfirmFailed = "ERROR ProcesaMsgIndyToTAV: Error al confirmar pedido oficial";
const char *const kRejectFailed = "ERROR ProcesaMsgIndyToTAV: ERROR: No se pudo procesar un rechazo de pedido oficial";

const Case kCases[] = {
    {"OfficialAnswer",
     "CONTESTACION OFICIAL",
     "[data]\nc_ped=5\nc_reg=7\nn_expe=0x10\n",
     true,
     {false, 5},
     true,
     "",
     "C",
     16,
     "",
     "c5.7"},
    {"OfficialAnswerWithoutImage",
     "CONTESTACION OFICIAL",
     "[DATA]\nc_ped=5\nc_reg=7\n",
     false,
     {false, 5},
     false,
     kOfficialFailed,
     "E",
     0,
     "",
     ""},
    {"OfficialAnswerOtherOffice",
     "CONTESTACION OFICIAL",
     "[DATA]\nc_ped=5\nc_reg=8\n",
     true,
     {false, 5},
     false,
     kOfficialFailed,
     "E",
     0,
     "",
     ""},
    {"OfficialAnswerMissingRequest",
     "CONTESTACION OFICIAL",
     "[DATA]\nc_ped=6\nc_reg=7\n",
     true,
     {false, 5},
     false,
     kOfficialFailed,
     "E",
     0,
     "",
     ""},
    {"OfficialAnswerMalformedNumber",
     "CONTESTACION OFICIAL",
     "[DATA]\nc_ped=5x\nc_reg=7\n",
     true,
     {false, 5},
     false,
     kOfficialFailed,
     "E",
     0,
     "",
     ""},
    {"Confirmation",
     "CONFIRMO",
     "[Data]\nC_PED=5\nC_REG=7\nN_EXPE=4321\nC_EST=T\n",
     false,
     {false, 5},
     true,
     "",
     "T",
     4321,
     "  Pedido Oficial 5 Recibido y en Trámite",
     ""},
    {"ConfirmationAfterAnswer",
     "CONFIRMO",
     "[DATA]\nc_ped=5\nc_reg=7\nn_expe=9\nc_est=T\n",
     false,
     {false, 5, 7, "C"},
     true,
     "",
     "T",
     9,
     "  Pedido Oficial 5 Recibido y en Trámite",
     ""},
    {"ConfirmationWrongLetter",
     "CONFIRMO",
     "[DATA]\nc_ped=5\nc_reg=7\nn_expe=9\nc_est=C\n",
     false,
     {false, 5},
     false,
     kConfirmFailed,
     "E",
     0,
     "",
     ""},
    {"ConfirmationNoFile", "CONFIRMO", nullptr, false, {false, 5}, false, kConfirmFailed, "E", 0, "", ""},
    {"OfficialRejection",
     "RECHAZO",
     "[DATA]\nc_ped=5\nc_reg=7\nn_expe=12\nc_est=R\nx_obs=FALTA OFICIO\n",
     false,
     {false, 5},
     true,
     "",
     "R",
     12,
     "  Pedido Oficial 5 Rechazado. Observaciones:FALTA OFICIO",
     ""},
    {"OfficialRejectionWrongLetter",
     "RECHAZO",
     "[DATA]\nc_ped=5\nc_reg=7\nc_est=T\nx_obs=X\n",
     false,
     {false, 5},
     false,
     kRejectFailed,
     "E",
     0,
     "",
     ""},
    {"PersonalRejection",
     "RECHAZOP",
     "[DATA]\nc_ped=3\nc_reg=7\nn_expe=2\nc_est=R\nx_obs=SIN PAGO\n",
     false,
     {true, 3},
     true,
     "",
     "R",
     2,
     "  Pedido Privado 3 Rechazado. Observaciones:SIN PAGO",
     ""},
    {"PersonalAnswer",
     "CONTESTACION PERSONAL",
     "[DATA]\nc_ped=3\nc_reg=7\nn_expe=44\nc_est=C\nn_cert=A-1\nc_res=N\n",
     true,
     {true, 3},
     true,
     "",
     "C",
     44,
     "  Pedido Personal 3 Contestado",
     "cp3.7"},
    {"PersonalAnswerByPost",
     "CONTESTACION PERSONAL",
     "[DATA]\nc_ped=3\nc_reg=7\nn_expe=44\nc_est=C\nn_cert=RR123\nc_res=R\n",
     false,
     {true, 3},
     true,
     "",
     "C",
     44,
     "  Pedido Personal 3 Contestado por vía postal, carta certificada número RR123",
     ""},
    {"PersonalConfirmation",
     "CONFIRMACION PERSONAL",
     "[DATA]\nc_ped=3\nc_reg=7\nn_expe=45\nc_est=T\nn_cert=Z\n",
     false,
     {true, 3},
     true,
     "",
     "T",
     45,
     "  Pedido Personal 3 Recibido y en Trámite",
     ""},
    {"PersonalRejectedByAnswer",
     "CONTESTACION PERSONAL",
     "[DATA]\nc_ped=3\nc_reg=7\nc_est=R\nc_rechazo=07\n",
     false,
     {true, 3},
     true,
     "",
     "R",
     0,
     "  Pedido Personal 3 Rechazado",
     ""},
    {"PersonalAnswerOtherOffice",
     "CONTESTACION PERSONAL",
     "[DATA]\nc_ped=3\nc_reg=70\nc_est=C\n",
     true,
     {true, 3},
     false,
     "ERROR ProcesaMsgIndyToTAV: Error al procesar confirmo/contestación de pedido privado",
     "E",
     0,
     "",
     ""},
    {"UnknownSubject",
     "confirmo",
     "[DATA]\nc_ped=5\nc_reg=7\nc_est=T\n",
     false,
     {false, 5},
     false,
     "ERROR ProcesaMsgIndyToTAV: No se puede procesar pedido. Asunto desconocido",
     "E",
     0,
     "",
     ""},
};

// Cases are named by their name only in test output.
[[maybe_unused]] void PrintTo(const Case &c, std::ostream *os)
{
    *os << c.name;
}

class ReplyTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        dm->programVersion = "2.32";
        dm->automaticPrinting = true;
        activity = std::make_unique<reports::ActivityReport>(qs(dir / "logp.txt"));
        lists = std::make_unique<queries::CentralStatusLists>(*dm);
        handlers = std::make_unique<exchange::ReplyHandlers>(*dm, *activity, *lists);
        handlers->printImage = [this](const QString &path) { printed.append(QFileInfo(path).fileName()); };
        QObject::connect(activity.get(), &reports::ActivityReport::showRequested, [this] { ++shows; });
    }

    static QString qs(const std::filesystem::path &p) { return QString::fromStdString(p.string()); }

    void write(const std::string &name, const QByteArray &bytes)
    {
        QFile f(qs(dir / name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void addRequest(const Request &r)
    {
        Dataset &t = r.personal ? *dm->pedp : *dm->ped;
        t.insert();
        t["C_PED"].setValue(r.c_ped);
        t["C_REG"].setValue(r.c_reg);
        t["C_EST"].setValue(QString::fromLatin1(r.c_est));
        t["X_OBS"].setValue("NOTA PREVIA");
        t["F_CON"].setValue(QDate(2026, 1, 2));
        if (r.personal)
            t["N_CERT"].setValue("VIEJO");
        ASSERT_TRUE(t.post());
    }

    QStringList activityTexts() const
    {
        QStringList out;
        for (const QString &l : activity->lines())
            out.append(l.mid(19)); // after "dd/MM/yyyy hh:mm:ss"
        return out;
    }

    std::unique_ptr<reports::ActivityReport> activity;
    std::unique_ptr<queries::CentralStatusLists> lists;
    std::unique_ptr<exchange::ReplyHandlers> handlers;
    QStringList printed;
    int shows = 0;
};

class ReplyCaseTest : public ReplyTest, public ::testing::WithParamInterface<Case>
{};

TEST_P(ReplyCaseTest, AppliesOnlyMatchingReplies)
{
    const Case &c = GetParam();
    addRequest(c.request);
    if (c.respDat)
        write("resp.dat", QByteArray(c.respDat).replace("\n", "\r\n"));
    const QByteArray image("II*\0fake-tiff-bytes", 19);
    if (c.image)
        write("resp.tif", image);

    QString error;
    EXPECT_EQ(handlers->ProcesaMsgIndyToTAV(QString::fromUtf8(c.subject), error), c.applied);
    EXPECT_EQ(error, QString::fromUtf8(c.error));

    Dataset &t = c.request.personal ? *dm->pedp : *dm->ped;
    ASSERT_TRUE(t.findKey(c.request.c_ped));
    EXPECT_EQ(t["C_EST"].asString(), QString::fromLatin1(c.state));
    EXPECT_EQ(t["N_EXPE"].asInteger(), c.n_expe);
    EXPECT_EQ(activityTexts(), c.activity[0] ? QStringList{QString::fromUtf8(c.activity)} : QStringList{});
    EXPECT_EQ(shows > 0, c.applied && c.activity[0]);
    if (c.answerFile[0]) {
        QFile answer(qs(dir / c.answerFile));
        ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
        EXPECT_EQ(answer.readAll(), image);
        EXPECT_EQ(printed, QStringList{QString::fromLatin1(c.answerFile)});
    } else {
        EXPECT_TRUE(printed.isEmpty());
    }
    // The reply files are gone, except the data file of an answer that came without its image.
    const bool keepsData = c.respDat && ((!c.image && QByteArray(c.subject) == "CONTESTACION OFICIAL") ||
                                         QByteArray(c.name) == "UnknownSubject");
    EXPECT_EQ(exists("resp.dat"), keepsData);
    EXPECT_FALSE(exists("resp.tif"));
    if (c.applied) {
        EXPECT_EQ(t["C_VERSION"].asString(), "2.32");
        if (QByteArray(c.state) == "T") { // a confirmation changes nothing else
            EXPECT_EQ(t["F_CON"].asDate(), QDate(2026, 1, 2));
        }
    } else {
        EXPECT_EQ(t["X_OBS"].asString(), "NOTA PREVIA");
    }
    EXPECT_TRUE(ui.shownNothing());
}

INSTANTIATE_TEST_SUITE_P(Replies, ReplyCaseTest, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ReplyTest, OfficialAnswerMarksAnsweredAndReplacesTheEarlierImage)
{
    addRequest({false, 5});
    write("c5.7", "old answer");
    write("resp.dat", "[DATA]\r\nc_ped=5\r\nc_reg=7\r\nn_expe=77\r\n");
    write("resp.tif", "new answer");
    EXPECT_TRUE(handlers->ProcesarContestacionOficial());
    Dataset &ped = *dm->ped;
    ASSERT_TRUE(ped.findKey(5));
    EXPECT_TRUE(ped["M_CONTESTA"].asBoolean());
    EXPECT_EQ(ped["F_CON"].asDate(), QDate(2026, 12, 10));
    QFile answer(qs(dir / "c5.7"));
    ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
    EXPECT_EQ(answer.readAll(), "new answer");
    EXPECT_TRUE(activity->lines().isEmpty()); // an official answer writes no activity line
}

TEST_F(ReplyTest, PersonalAnswerByPostDropsTheEarlierImageAndKeepsTheFieldsOfTheReply)
{
    addRequest({true, 3});
    write("cp3.7", "earlier image");
    write("resp.dat", "[DATA]\r\nc_ped=3\r\nc_reg=7\r\nn_expe=8\r\nc_est=C\r\nn_cert=RR9\r\nx_obs=POR CORREO\r\n"
                      "c_rechazo=\r\nc_res=R\r\n");
    EXPECT_TRUE(handlers->ProcesarContestacionPersonal());
    EXPECT_FALSE(exists("cp3.7"));
    Dataset &pedp = *dm->pedp;
    ASSERT_TRUE(pedp.findKey(3));
    EXPECT_EQ(pedp["N_CERT"].asString(), "RR9");
    EXPECT_EQ(pedp["X_OBS"].asString(), "POR CORREO");
    EXPECT_EQ(pedp["C_RES"].asString(), "R");
    EXPECT_EQ(pedp["F_CON"].asDate(), QDate(2026, 12, 10));
    EXPECT_TRUE(printed.isEmpty());
}

TEST_F(ReplyTest, PersonalInProcessChangesOnlyStateAndFileNumber)
{
    addRequest({true, 3, 7, "C"});
    write("resp.dat", "[DATA]\r\nc_ped=3\r\nc_reg=7\r\nn_expe=8\r\nc_est=T\r\nn_cert=NUEVO\r\nx_obs=X\r\nc_res=R\r\n");
    write("cp3.7", "answer kept");
    EXPECT_FALSE(exists("resp.tif"));
    EXPECT_TRUE(handlers->ProcesarContestacionPersonal());
    Dataset &pedp = *dm->pedp;
    ASSERT_TRUE(pedp.findKey(3));
    EXPECT_EQ(pedp["C_EST"].asString(), "T");
    EXPECT_EQ(pedp["N_EXPE"].asInteger(), 8);
    EXPECT_EQ(pedp["N_CERT"].asString(), "VIEJO");
    EXPECT_EQ(pedp["X_OBS"].asString(), "NOTA PREVIA");
    EXPECT_TRUE(pedp["C_RES"].isNull());
    EXPECT_EQ(pedp["F_CON"].asDate(), QDate(2026, 1, 2));
    // "R" as result code still drops an earlier answer image, whatever the state letter.
    EXPECT_FALSE(exists("cp3.7"));
}

TEST_F(ReplyTest, OutlookNamesCarryTheAnswerCounter)
{
    addRequest({false, 5});
    handlers->outlookNames = true;
    handlers->answerCounter = 12;
    write("resp.dat", "[DATA]\r\nc_ped=5\r\nc_reg=7\r\n");
    write("resp.tif", "not this one");
    write("12resp.dat", "[DATA]\r\nc_ped=5\r\nc_reg=7\r\nn_expe=3\r\n");
    write("12resp.tif", "answer 12");
    EXPECT_TRUE(handlers->ProcesarContestacionOficial());
    EXPECT_FALSE(exists("12resp.dat"));
    EXPECT_FALSE(exists("12resp.tif"));
    EXPECT_TRUE(exists("resp.dat"));
    QFile answer(qs(dir / "c5.7"));
    ASSERT_TRUE(answer.open(QIODevice::ReadOnly));
    EXPECT_EQ(answer.readAll(), "answer 12");
}

TEST_F(ReplyTest, HandlersDoNotMoveTheRecordShownInAWindow)
{
    addRequest({false, 5});
    addRequest({false, 6});
    Dataset &ped = *dm->ped;
    ASSERT_TRUE(ped.findKey(6));
    write("resp.dat", "[DATA]\r\nc_ped=5\r\nc_reg=7\r\nn_expe=3\r\nc_est=T\r\n");
    EXPECT_TRUE(handlers->ProcesarConfirmacionOficial());
    EXPECT_EQ(ped["C_PED"].asInteger(), 6);
    ASSERT_TRUE(ped.findKey(5));
    EXPECT_EQ(ped["C_EST"].asString(), "T"); // the window's dataset sees the change
}

TEST_F(ReplyTest, StateListsApplyForwardMovesAndGoToTheActivityReport)
{
    addRequest({false, 1234, 7, "E"});
    addRequest({false, 1235, 7, "C"});
    addRequest({true, 40, 7, "T"});
    write("EstOfi.DAT", "1234;T|5678\r\n\r\n1235;R|1\r\n1236;X|2\r\nabc;T|3\r\n");
    write("EstPriv.DAT", "40;C|900\r\n");
    QString error;
    EXPECT_TRUE(handlers->ProcesaMsgIndyToTAV("SETESTADO", error)) << error.toStdString();
    EXPECT_FALSE(exists("EstOfi.DAT"));
    EXPECT_FALSE(exists("EstPriv.DAT"));
    Dataset &ped = *dm->ped;
    ASSERT_TRUE(ped.findKey(1234));
    EXPECT_EQ(ped["C_EST"].asString(), "T");
    EXPECT_EQ(ped["N_EXPE"].asInteger(), 5678);
    ASSERT_TRUE(ped.findKey(1235));
    EXPECT_EQ(ped["C_EST"].asString(), "C"); // answered requests do not move back
    Dataset &pedp = *dm->pedp;
    ASSERT_TRUE(pedp.findKey(40));
    EXPECT_EQ(pedp["C_EST"].asString(), "C");
    EXPECT_EQ(pedp["N_EXPE"].asInteger(), 900);

    const QStringList &lines = activity->lines();
    ASSERT_GE(lines.size(), 12);
    EXPECT_EQ(lines[0], "Estado de pedidos oficiales en TAV Central al 10/12/2026 10:00:00");
    EXPECT_EQ(lines[1], QString(72, u'='));
    EXPECT_EQ(lines[3],
              QStringLiteral("%1 %2 %3").arg("Pedido", -10).arg("Estado", -30).arg(QStringLiteral("Trámite"), -10));
    EXPECT_TRUE(lines[5].startsWith("1234       ")) << lines[5].toStdString();
    EXPECT_TRUE(lines[5].endsWith("U5678     ")) << lines[5].toStdString();
    EXPECT_TRUE(lines.filter("abc").isEmpty());
    EXPECT_EQ(lines.filter(QRegularExpression("^1236 ")).size(), 1); // shown, not applied
    EXPECT_TRUE(lines.filter("Estado de pedidos personales en TAV Central al ").size() == 1);
    EXPECT_TRUE(lines.last().endsWith("W900      ")) << lines.last().toStdString();
    EXPECT_EQ(shows, 2);
}

TEST_F(ReplyTest, StateListsWithoutRequestsOrService)
{
    write("EstOfi.DAT", "NO_HAY_PEDIDOS\r\n");
    write("EstPriv.DAT", "<html>Error 404</html>");
    EXPECT_TRUE(handlers->ProcesarEstados());
    EXPECT_TRUE(activity->lines().contains(QStringLiteral("No existe ningún pedido en trámite de esta regional.")));
    EXPECT_TRUE(activity->lines().contains(QStringLiteral("Servicio no disponible.")));
    EXPECT_FALSE(handlers->ProcesarEstados()); // neither file any more
}

TEST(ReplyDataTest, ReadsTextsAndIntegersAsTheIniFileHoldsThem)
{
    test::TestDir dir;
    const QString path = QString::fromStdString((dir / "resp.dat").string());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[data]\r\nC_PED=0x1F\r\nc_reg= 7 \r\nn_expe=-\r\nx_obs=" + QByteArray(3000, 'A') +
            "\r\nn_cert=\xd1"
            "1\r\n");
    f.close();
    const auto d = exchange::ReplyData::read(path);
    EXPECT_EQ(d.c_ped, 31);
    EXPECT_EQ(d.c_reg, 7);
    EXPECT_EQ(d.n_expe, 0);
    EXPECT_EQ(d.x_obs.size(), 2047);
    EXPECT_EQ(d.n_cert, QStringLiteral("Ñ1"));
    EXPECT_TRUE(d.c_est.isEmpty());
    EXPECT_EQ(exchange::ReplyData::read(path + "missing").c_ped, 0);
}

TEST(ActivityReportTest, KeepsItsLinesInLogpTxt)
{
    test::TestDir dir;
    const QString path = QString::fromStdString((dir / "logp.txt").string());
    {
        reports::ActivityReport report(path);
        EXPECT_TRUE(report.load()); // no file yet: nothing to read
        report.addLine(QStringLiteral("10/12/2026 10:00:00  Pedido Oficial 5 Recibido y en Trámite"));
        report.addLine("segunda");
        ASSERT_TRUE(report.save());
    }
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "10/12/2026 10:00:00  Pedido Oficial 5 Recibido y en Tr\xe1mite\r\nsegunda\r\n");
    f.close();
    reports::ActivityReport again(path);
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.lines().size(), 2);
    EXPECT_EQ(again.lines()[1], "segunda");
    again.clear();
    ASSERT_TRUE(again.save());
    EXPECT_EQ(QFileInfo(path).size(), 0);
}

} // namespace

TEST_F(ReplyTest, TablesHeldForACycleSeeRequestsSavedMeanwhileAndCloseAtItsEnd)
{
    addRequest({false, 1});
    {
        const auto held = handlers->holdTables();
        int offThread = 0;
        handlers->openTables([&](const std::function<void()> &step) {
            ++offThread;
            step();
        });
        EXPECT_EQ(offThread, 2); // ped and pedp, each opened once
        write("resp.dat", "[DATA]\nc_ped=1\nc_reg=7\nn_expe=10\nc_est=T\n");
        QString error;
        ASSERT_TRUE(handlers->ProcesaMsgIndyToTAV("CONFIRMO", error)) << error.toStdString();
        // Saved by a window (or another station) while the cycle holds its own table open.
        addRequest({false, 2});
        write("resp.dat", "[DATA]\nc_ped=2\nc_reg=7\nn_expe=20\nc_est=T\n");
        ASSERT_TRUE(handlers->ProcesaMsgIndyToTAV("CONFIRMO", error)) << error.toStdString();
        handlers->openTables([&](const std::function<void()> &) { ++offThread; });
        EXPECT_EQ(offThread, 2); // already open
    }
    // Closed with the cycle: with the data module's tables closed too, the table can be taken alone.
    dm->closeTables();
    auto exclusive = dbf::Table::open(file("ped.dbf"), dbf::OpenMode::Exclusive);
    exclusive.close();
    dm->openTables();
    ASSERT_TRUE(dm->ped->findKey(2));
    EXPECT_EQ(dm->ped->field("C_EST").asString(), "T");
    EXPECT_EQ(dm->ped->field("N_EXPE").asInteger(), 20);
}
