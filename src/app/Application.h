#pragma once

#include "shell/Session.h"
#include "store/Clock.h"
#include "store/Event.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class QtUi;
}
namespace tav::shell {
class FMenu;
class AboutBox;
class InfoWnd;
} // namespace tav::shell
namespace tav::official {
class OfficialRules;
class TFped;
class TFOrg;
struct CaptureServices;
} // namespace tav::official
namespace tav::personal {
class SlipLookup;
class PersonalRules;
struct PersonalHooks;
class TFPedP;
class TFCompPedBol;
} // namespace tav::personal
namespace tav::capture {
class TTwainForm;
class TFDigFich;
class TFImgDig;
class TFVerImg;
} // namespace tav::capture
namespace tav::exchange {
class SendLog;
class TSMime;
class RequestSender;
class TFLogEnvio;
class TdmMail;
class ReplyHandlers;
class TFBandeja;
class TFProgresoCorreo;
class MailReception;
} // namespace tav::exchange
namespace tav::reports {
class TFListado;
class ActivityReport;
class TFreporte;
class TFInfMensual;
} // namespace tav::reports
namespace tav::queries {
class CentralStatusLists;
}

namespace tav::app {

// The program's windows and data module, created in the start-up order and freed at the end.
class Application : public QObject
{
    Q_OBJECT

public:
    explicit Application(std::filesystem::path programDir);
    ~Application() override;

    // Creates the main window and the data module (which prepares the storage), then every other window.
    // False when the program must end right away.
    bool create();
    // Shows the main window and asks for the login; false when the program must end.
    bool showMain();

    shell::FMenu &mainWindow() const { return *m_menu; }
    store::Tdm &dm() const { return *m_dm; }

    // The listing of unsent personal requests.
    void showUnsentPersonal();
    void runReindexFromMenu();

private:
    void onClosing();
    void wireCommands();
    void createOfficialWindows();
    void createPersonalWindows();
    void createExchange();
    // Runs a send with the window that started it refusing input, so the request it sends stays the one
    // on screen until it is marked as sent.
    void sendFrom(QWidget *window, const std::function<void()> &send);

    std::filesystem::path m_dir;
    store::Clock m_clock;
    shell::SessionUser m_session;
    std::unique_ptr<ui::QtUi> m_ui;
    std::unique_ptr<shell::FMenu> m_menu;
    std::unique_ptr<store::Tdm> m_dm;
    std::unique_ptr<official::OfficialRules> m_officialRules;
    std::unique_ptr<personal::SlipLookup> m_slips;
    std::unique_ptr<personal::PersonalRules> m_personalRules;
    std::unique_ptr<personal::PersonalHooks> m_personalHooks;
    std::unique_ptr<personal::TFPedP> m_fpedp;
    std::unique_ptr<personal::TFCompPedBol> m_compPedBol;
    store::Subscriptions m_userRules; // the users' table rules, bound for the run
    std::unique_ptr<shell::AboutBox> m_about;
    std::unique_ptr<shell::InfoWnd> m_info;
    std::unique_ptr<reports::TFListado> m_listado;
    std::unique_ptr<capture::TTwainForm> m_twain;
    // Created once: the scan counter, fit mode, zoom and "Mostrar interface" last the whole run.
    std::unique_ptr<capture::TFDigFich> m_card;
    std::unique_ptr<capture::TFImgDig> m_documents;
    std::unique_ptr<capture::TFVerImg> m_answerViewer;
    std::unique_ptr<official::CaptureServices> m_captures;
    std::unique_ptr<official::TFped> m_fped;
    std::unique_ptr<official::TFOrg> m_forg;
    std::unique_ptr<exchange::SendLog> m_sendLog;
    std::unique_ptr<exchange::TSMime> m_transport;
    std::unique_ptr<exchange::RequestSender> m_sender;
    std::unique_ptr<exchange::TFLogEnvio> m_logWindow;
    std::unique_ptr<exchange::TdmMail> m_mail;
    std::unique_ptr<exchange::TFProgresoCorreo> m_mailProgress;
    std::unique_ptr<exchange::TFBandeja> m_inbox;
    std::unique_ptr<reports::ActivityReport> m_activity;
    std::unique_ptr<reports::TFreporte> m_activityWindow;
    std::unique_ptr<reports::TFInfMensual> m_monthly;
    std::unique_ptr<queries::CentralStatusLists> m_stateLists;
    std::unique_ptr<exchange::ReplyHandlers> m_replies;
    std::unique_ptr<exchange::MailReception> m_reception;
};

} // namespace tav::app
