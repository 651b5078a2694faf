#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace tav::store {
class Tdm;
}

namespace tav::shell {

// The decisions of the main window that do not need a widget: which commands are open to this office,
// the reception guard and the reception trigger.
class MainMenuRules
{
public:
    explicit MainMenuRules(store::Tdm &dm);

    // The message that refuses official requests ("c_reg" is "0"), or nothing when they are open.
    std::optional<QString> officialRequestsRefusal();
    // The same for personal requests ("c_regp" is "0").
    std::optional<QString> personalRequestsRefusal();
    // The internet procedures need a non-empty "c_regp" row.
    std::optional<QString> internetRefusal();
    // The monthly report item shows when "c_regp" as a number is above 0.
    bool monthlyReportVisible();
    // The mail inbox and account-test items show unless the office sends through the mail client.
    bool mailItemsVisible();
    // "Regional: " + the office name.
    QString officeCaption();
    // The administration item shows to the user "admin" (any case) only.
    static bool adminVisible(const QString &loginName);
    // The program version read from the version label ("Versión 2.32" → "2.32").
    static QString versionFromLabel(const QString &label);

    // Runs `operation` when reception is idle, with reception marked busy meanwhile (also when the operation
    // throws). When busy, shows `busyMessage` (if any) and returns false.
    bool underReceptionGuard(const std::function<void()> &operation, const QString &busyMessage);

    // The reception trigger of the timer and the button: runs one cycle when reception is idle and no request
    // is being edited. Returns true when the cycle ran.
    bool runReceptionTrigger(const std::function<void()> &cycle);

    static QString receptionBusyMessage()
    {
        return QStringLiteral("Advertencia: El proceso de recepción esta en curso..");
    }
    static QString mailBusyMessage()
    {
        return QStringLiteral("Advertencia: Se están recibiendo mensajes. \rVuelva a intentar en unos instantes.");
    }
    static QString inboxBusyMessage()
    {
        return QStringLiteral("Advertencia: No se puede abrir la bandeja \rporque se están recibiendo mensajes. "
                              "\rVuelva a intentar en unos instantes.");
    }

private:
    store::Tdm &m_dm;
};

} // namespace tav::shell
