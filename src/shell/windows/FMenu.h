#pragma once

#include "shell/MainMenuRules.h"

#include <QMainWindow>

#include <functional>
#include <map>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;

namespace tav::store {
class Tdm;
}
namespace tav::ui {
class Ui;
}

namespace tav::shell {

// The main window: the title screen, the row of buttons and the menus that open the other windows,
// the automatic-reception switch and the status bar. The windows it opens are handed in as commands;
// a command that is not handed in belongs to a part of the program still to come, and its button or
// item stays disabled with a tooltip saying so.
class FMenu : public QMainWindow
{
    Q_OBJECT

public:
    enum class Command {
        OfficialRequests,
        PersonalRequests,
        Search,
        Organisations,
        CentralStatus,
        Internet,
        OfficialList,
        UnsentPersonal,
        OrganisationList,
        MonthlyReport,
        Reindex,
        ActivityReport,
        Configuration,
        LiveScanConfiguration,
        ChangePassword,
        UserAdministration,
        MailConfiguration,
        TransportLog,
        MailTest,
        Inbox,
        About,
    };

    FMenu(store::Tdm &dm, ui::Ui &ui, QWidget *parent = nullptr);

    void setCommand(Command command, std::function<void()> action);

    // "Versión 2.32", the text the program version is read from.
    QString versionText() const;
    // Shows a text in the status bar at once; nothing while the window is hidden.
    void setStatusText(const QString &text);
    // Settings-dependent captions and visibility (office name, monthly report, mail items).
    void refreshFromSettings();
    // After a login: the user menu shows, and its administration item to "admin" only.
    void setLoggedUser(const QString &loginName);
    // After a biometric identification.
    void setBiometricUser(const QString &user, qint64 verificationId);

    QCheckBox *receptionSwitch() const { return m_cbDesRecibir; }

    // Asked before the main window closes (the program ends): false keeps it open. The program
    // closes its other windows here, each asking about a pending edit.
    std::function<bool()> beforeClose;
    // The reception trigger (timer tick and button).
    void TimerTick();
    bool runReceptionNow();

signals:
    void closing();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QPushButton *addButton(const QString &caption, Command command);
    QAction *addItem(QMenu *menu, const QString &caption, Command command);
    void run(Command command);
    void updateEnabled();

    store::Tdm &m_dm;
    ui::Ui &m_ui;
    MainMenuRules m_rules;
    std::map<Command, std::function<void()>> m_commands;
    std::multimap<Command, QWidget *> m_buttons;
    std::multimap<Command, QAction *> m_items;

    QLabel *m_lbReg = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_lblBio = nullptr;
    QLabel *m_status = nullptr;
    QCheckBox *m_cbDesRecibir = nullptr;
    QMenu *m_miUsuario = nullptr;
    QAction *m_miUsuarioAction = nullptr;
    QAction *m_administrarUsu = nullptr;
    QAction *m_informeMensual = nullptr;
    QAction *m_probarCuenta = nullptr;
    QAction *m_bandeja = nullptr;
    QPushButton *m_btRecibir = nullptr;
    QAction *m_recibirItem = nullptr;
};

} // namespace tav::shell
