#include "app/Application.h"

#include "capture/windows/TFDigFich.h"
#include "capture/windows/TFImgDig.h"
#include "capture/windows/TFVerImg.h"
#include "capture/windows/TTwainForm.h"
#include "exchange/MailReception.h"
#include "exchange/ReplyHandlers.h"
#include "exchange/RequestSender.h"
#include "exchange/SendLog.h"
#include "exchange/TSMime.h"
#include "exchange/TdmMail.h"
#include "exchange/windows/AnswerPrinter.h"
#include "exchange/windows/TFBandeja.h"
#include "exchange/windows/TFChequeoCorreo.h"
#include "exchange/windows/TFConfigEnvio.h"
#include "exchange/windows/TFLogEnvio.h"
#include "exchange/windows/TFProgresoCorreo.h"
#include "official/CaptureServices.h"
#include "official/OfficialRules.h"
#include "official/windows/FOrg.h"
#include "official/windows/TFped.h"
#include "personal/PersonalRules.h"
#include "personal/PersonalWindowRules.h"
#include "personal/SlipLookup.h"
#include "personal/windows/TFCompPedBol.h"
#include "personal/windows/TFPedP.h"
#include "platform/os/StationScratch.h"
#include "queries/CentralStatusLists.h"
#include "queries/Purge.h"
#include "queries/windows/ProgressWindow.h"
#include "reports/ActivityReport.h"
#include "reports/TrpCompr.h"
#include "reports/TrpOficio.h"
#include "reports/windows/ReportPrinting.h"
#include "reports/windows/TFInfMensual.h"
#include "reports/windows/TFListado.h"
#include "reports/windows/TFreporte.h"
#include "shell/LoginRules.h"
#include "shell/MainMenuRules.h"
#include "shell/windows/AboutBox.h"
#include "shell/windows/CambClave.h"
#include "shell/windows/FAdminUsu.h"
#include "shell/windows/FConfig.h"
#include "shell/windows/FMenu.h"
#include "shell/windows/InfoWnd.h"
#include "shell/windows/PedirClave.h"
#include "store/Tdm.h"
#include "ui/QtUi.h"

#include <QApplication>
#include <QDebug>
#include <QPrinter>
#include <QStatusBar>
#include <QTimer>

namespace tav::app {

Application::Application(std::filesystem::path programDir) : m_dir(std::move(programDir)) {}

Application::~Application()
{
    // Lines the replies added since the activity window last closed are kept for the next run too.
    if (m_activity)
        m_activity->save();
    // Windows bound to the data module go before it.
    m_fped.reset();
    m_fpedp.reset();
    m_compPedBol.reset();
    m_forg.reset();
    m_logWindow.reset();
    m_inbox.reset();
    if (m_dm)
        m_dm->receptionCycle = nullptr;
    m_reception.reset();
    m_replies.reset();
    m_stateLists.reset();
    m_monthly.reset();
    m_activityWindow.reset();
    m_activity.reset();
    m_sender.reset();
    m_transport.reset();
    m_mailProgress.reset();
    m_mail.reset();
    m_sendLog.reset();
    m_card.reset();
    m_documents.reset();
    m_answerViewer.reset();
    m_twain.reset();
    m_listado.reset();
    m_info.reset();
    m_about.reset();
    m_menu.reset();
    m_officialRules.reset();
    m_personalRules.reset();
    m_slips.reset();
    m_dm.reset();
}

bool Application::create()
{
    m_ui = std::make_unique<ui::QtUi>();
    m_dm = std::make_unique<store::Tdm>(m_dir, *m_ui, m_clock);
    // The record rules hold whichever window saves a record.
    m_officialRules = std::make_unique<official::OfficialRules>(*m_dm);
    m_slips = std::make_unique<personal::SlipLookup>(*m_dm);
    m_personalRules = std::make_unique<personal::PersonalRules>(*m_dm, m_session, *m_slips);
    m_userRules = shell::UserAdmin::bindEvents(*m_dm);
    m_menu = std::make_unique<shell::FMenu>(*m_dm, *m_ui);
    m_ui->setStatusBar(m_menu->statusBar());
    m_dm->deleteFile(QStringLiteral("edit.tif"));
    m_dm->deleteFile(QStringLiteral("edit.zip"));
    // Scratch images this station left behind when it last ended without closing.
    os::StationScratch::remove(QString::fromStdString(m_dir.string()));

    store::Tdm::StartResult result;
    {
        queries::TFReindex reindexWindow;
        reindexWindow.show();
        result = m_dm->startUp([&](int percent) { reindexWindow.setProgress(percent); });
        reindexWindow.close();
    }

    m_about = std::make_unique<shell::AboutBox>(m_menu.get());
    m_info = std::make_unique<shell::InfoWnd>();
    m_listado = std::make_unique<reports::TFListado>(m_menu.get());
    createExchange();
    createOfficialWindows();
    createPersonalWindows();
    wireCommands();
    // Ending the program closes the request and organisation windows first (they are windows of their
    // own, so Qt would wait for them); each asks about a pending edit and may keep the program running.
    m_menu->beforeClose = [this] { return m_fped->close() && m_fpedp->leaveEdit() && m_forg->close(); };
    connect(m_menu.get(), &shell::FMenu::closing, this, &Application::onClosing);
    return result == store::Tdm::StartResult::Ready;
}

void Application::createOfficialWindows()
{
    const QString dir = QString::fromStdString(m_dir.string());
    m_twain = std::make_unique<capture::TTwainForm>(dir, *m_ui, m_menu.get());
    m_card = std::make_unique<capture::TFDigFich>(dir, *m_ui, *m_twain, m_menu.get());
    m_documents = std::make_unique<capture::TFImgDig>(dir, *m_ui, *m_twain, m_menu.get());
    m_answerViewer = std::make_unique<capture::TFVerImg>(*m_ui, m_menu.get());
    m_captures = std::make_unique<official::CaptureServices>();
    m_captures->captureCard = [this](const official::CardCaptureRequest &request) {
        capture::TFDigFich &window = *m_card;
        window.prepare(request.locked, request.rightClass, request.leftClass);
        if (!request.loadedImage.isEmpty())
            window.loadImage(request.loadedImage, false);
        window.exec();
        official::CardCaptureResult result;
        result.resultFile = window.resultFile();
        result.changed = window.isModified();
        result.rightClass = window.clasDer();
        result.leftClass = window.clasIzq();
        return result;
    };
    m_captures->captureDocuments = [this](const QString &workFile) {
        m_documents->setDocumentFile(workFile);
        m_documents->exec();
    };
    m_captures->showAnswer = [this](const QString &imageFile) {
        m_answerViewer->setImageFile(imageFile);
        m_answerViewer->exec();
    };
    m_fped = std::make_unique<official::TFped>(*m_dm, *m_ui, *m_captures);
    m_fped->previewLetter = [this] {
        reports::TrpOficio letter(reports::OficioData::fromDm(*m_dm));
        reports::previewReport(letter, m_fped.get());
    };
    m_fped->sendRequest = [this] { sendFrom(m_fped.get(), [this] { m_sender->EnviarPedido(); }); };
    m_fped->updateHookButtons();
    m_forg = std::make_unique<official::TFOrg>(*m_dm, *m_ui);
}

void Application::createPersonalWindows()
{
    m_compPedBol = std::make_unique<personal::TFCompPedBol>(*m_dm, *m_ui, m_menu.get());
    m_personalRules->MostrarComparacion = [this](const QString &slip, int office, int request) {
        return m_compPedBol->MostrarComparacion(slip, office, request);
    };
    m_personalHooks = std::make_unique<personal::PersonalHooks>();
    m_personalHooks->send = [this](bool correction) {
        sendFrom(m_fpedp.get(), [this, correction] {
            if (correction)
                m_sender->EnviarCorreccionP();
            else
                m_sender->EnviarPedidoP();
        });
    };
    m_personalHooks->sendMail = [this](const exchange::OutgoingMessage &mail) { return m_transport->Send(mail); };
    m_personalHooks->printReceipt = [this] {
        reports::TrpCompr receipt(reports::ComprData::fromDm(*m_dm));
        QPrinter printer(QPrinter::HighResolution);
        reports::printReportWithProgress(receipt, printer, m_fpedp.get());
    };
    // The central-status window and the biometric confirmation are connected here when they are installed;
    // until then the window keeps their commands disabled.
    m_fpedp =
        std::make_unique<personal::TFPedP>(*m_dm, *m_ui, *m_personalRules, *m_slips, *m_captures, *m_personalHooks);
    m_fpedp->updateHookButtons();
}

void Application::createExchange()
{
    m_sendLog = std::make_unique<exchange::SendLog>();
    m_transport = std::make_unique<exchange::TSMime>(*m_dm, *m_sendLog);
    m_mail = std::make_unique<exchange::TdmMail>(*m_dm);
    if (m_dm->initialized)
        m_mail->loadSettings();
    m_transport->setMail(m_mail.get());
    // The small stay-on-top window that shows a mail transfer.
    m_mailProgress = std::make_unique<exchange::TFProgresoCorreo>(m_menu.get());
    m_mailProgress->follow(*m_mail);
    m_sender = std::make_unique<exchange::RequestSender>(
        *m_dm, [this](const exchange::OutgoingMessage &message) { return m_transport->Send(message); });
    m_logWindow = std::make_unique<exchange::TFLogEnvio>(*m_dm, *m_sendLog, *m_transport, m_menu.get());
    m_activity = std::make_unique<reports::ActivityReport>(m_dm->filePath(QStringLiteral("logp.txt")));
    m_activityWindow = std::make_unique<reports::TFreporte>(*m_activity, *m_ui, m_menu.get());
    m_monthly = std::make_unique<reports::TFInfMensual>(*m_dm, m_menu.get());
    m_stateLists = std::make_unique<queries::CentralStatusLists>(*m_dm);
    m_replies = std::make_unique<exchange::ReplyHandlers>(*m_dm, *m_activity, *m_stateLists);
    m_replies->printImage = exchange::answerPrinter(m_menu.get());
    m_replies->printPersonalAnswer = exchange::personalAnswerPrinter(*m_dm);
    m_inbox = std::make_unique<exchange::TFBandeja>(*m_dm, *m_mail, *m_transport, m_menu.get());
    // The main window's timer, button and menu item run this cycle (they hold the reception guard).
    m_reception = std::make_unique<exchange::MailReception>(*m_dm, *m_mail, *m_replies, *m_activity, *m_transport);
    m_dm->receptionCycle = [this] { m_reception->runCycle(); };
    // The mailbox window's "Procesar" handles a message exactly as the cycle does (log lines, reply files only).
    m_inbox->rules().processMessage = [this](int n, QString &error) {
        return m_reception->RecibirMsgIndyToTav(n, error);
    };
}

void Application::sendFrom(QWidget *window, const std::function<void()> &send)
{
    // A send and a reception cycle never run at the same time: no send while a cycle runs, and no cycle
    // starts while a send is under way (the cycle checks the same flag).
    if (!m_dm->receptionIdle) {
        m_ui->message(shell::MainMenuRules::receptionBusyMessage(), ui::Ui::warningTitle());
        return;
    }
    const bool wasIdle = m_dm->receptionIdle;
    m_dm->receptionIdle = false;
    window->setEnabled(false);
    struct Restore
    {
        Application *app;
        QWidget *window;
        bool wasIdle;
        ~Restore()
        {
            window->setEnabled(true);
            app->m_dm->receptionIdle = wasIdle;
        }
    } restore{this, window, wasIdle};
    send();
}

void Application::wireCommands()
{
    using C = shell::FMenu::Command;
    m_menu->setCommand(C::About, [this] {
        m_about->setVersionText(m_menu->versionText());
        m_about->exec();
    });
    m_menu->setCommand(C::UnsentPersonal, [this] { showUnsentPersonal(); });
    m_menu->setCommand(C::OfficialRequests, [this] {
        m_fped->show();
        m_fped->raise();
        m_fped->activateWindow();
    });
    m_menu->setCommand(C::PersonalRequests, [this] {
        m_fpedp->show();
        m_fpedp->raise();
        m_fpedp->activateWindow();
    });
    m_menu->setCommand(C::Organisations, [this] {
        m_forg->show();
        m_forg->raise();
        m_forg->activateWindow();
    });
    m_menu->setCommand(C::TransportLog, [this] { m_logWindow->exec(); });
    m_menu->setCommand(C::MailConfiguration, [this] {
        exchange::TFConfigEnvio window(*m_dm, *m_transport, *m_mail, m_menu.get());
        window.exec();
    });
    m_menu->setCommand(C::MailTest, [this] {
        exchange::TFChequeoCorreo window(*m_mail, m_menu.get());
        window.show();
        window.check();
        window.exec();
    });
    m_menu->setCommand(C::Inbox, [this] { m_inbox->openMailbox(); });
    m_menu->setCommand(C::ActivityReport, [this] {
        m_activityWindow->show();
        m_activityWindow->raise();
    });
    m_menu->setCommand(C::MonthlyReport, [this] { m_monthly->exec(); });
    m_menu->setCommand(C::Reindex, [this] { runReindexFromMenu(); });
    m_menu->setCommand(C::Configuration, [this] { shell::FConfig::configure(*m_dm, m_menu.get()); });
    m_menu->setCommand(C::ChangePassword, [this] { shell::CambClave::changePassword(*m_dm, m_session, m_menu.get()); });
    m_menu->setCommand(C::UserAdministration, [this] { shell::FAdminUsu::administer(*m_dm, m_menu.get()); });
}

bool Application::showMain()
{
    m_menu->showMaximized();
    if (!m_dm->maintenanceNote.isEmpty()) {
        m_ui->setStatusText(m_dm->maintenanceNote);
        qInfo().noquote() << m_dm->maintenanceNote;
    }
    m_dm->programVersion = shell::MainMenuRules::versionFromLabel(m_menu->versionText());
    if (m_dm->loginRequired) {
        if (!shell::PedirClave::login(*m_dm, m_session, QStringLiteral("TAV Regional"), m_menu.get()))
            return false;
        m_menu->setLoggedUser(m_session.user);
    }
    if (m_dm->initialized && m_dm->timerIntervalMs > 0)
        m_dm->Timer.start();
    return true;
}

void Application::showUnsentPersonal()
{
    m_listado->fillUnsentPersonal(*m_dm->pedp);
}

void Application::runReindexFromMenu()
{
    using R = store::Tdm::ReindexResult;
    R result = R::Done;
    {
        queries::TFReindex window(m_menu.get());
        window.show();
        result = m_dm->reindex([&](int percent) { window.setProgress(percent); });
        window.close();
    }
    if (result == R::Done)
        m_ui->information(QStringLiteral("Finalizó el ordenamiento exitosamente"));
    else if (result == R::Failed)
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    // A table in use elsewhere: its message was shown, nothing was changed and work goes on.
}

void Application::onClosing()
{
    m_dm->Timer.stop();
    for (const char *f : {"huella.tif", "ped.dat", "edit.tif", "edit.zip"})
        m_dm->deleteFile(QString::fromLatin1(f));
    // Every scratch image of this station (scanned pages, loaded cards, copies shown in a viewer).
    os::StationScratch::remove(QString::fromStdString(m_dir.string()));
    queries::TFPurgReg purgeWindow;
    purgeWindow.show();
    try {
        queries::Purge(*m_dm).run([&](int percent) { purgeWindow.setProgress(percent); });
    } catch (const std::exception &e) {
        m_ui->error(QString::fromUtf8(e.what()));
    }
    purgeWindow.close();
    // Nothing else keeps the program: dialogs or tool windows still around end with it.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace tav::app
