#include "shell/MainMenuRules.h"

#include "store/StorageLifecycle.h"
#include "store/Tdm.h"

namespace tav::shell {

MainMenuRules::MainMenuRules(store::Tdm &dm) : m_dm(dm) {}

std::optional<QString> MainMenuRules::officialRequestsRefusal()
{
    if (m_dm.readSetting(QStringLiteral("c_reg")) == QLatin1String("0"))
        return QStringLiteral("El sistema no está configurado para gestionar pedidos oficiales");
    return std::nullopt;
}

std::optional<QString> MainMenuRules::personalRequestsRefusal()
{
    if (m_dm.readSetting(QStringLiteral("c_regp")) == QLatin1String("0"))
        return QStringLiteral(
                   "El sistema no está configurado para gestionar pedidos personales\rPongase en contacto con: ") +
               store::supportContact();
    return std::nullopt;
}

std::optional<QString> MainMenuRules::internetRefusal()
{
    if (m_dm.readSetting(QStringLiteral("c_regp")).isEmpty())
        return QStringLiteral(
                   "El sistema no está configurado para gestionar pedidos personales\rPongase en contacto con: ") +
               store::supportContact();
    return std::nullopt;
}

bool MainMenuRules::monthlyReportVisible()
{
    bool ok = false;
    const int n = m_dm.readSetting(QStringLiteral("c_regp")).trimmed().toInt(&ok);
    return ok && n > 0;
}

bool MainMenuRules::mailItemsVisible()
{
    return m_dm.readSetting(QStringLiteral("usaOutlook")) != QLatin1String("S");
}

QString MainMenuRules::officeCaption()
{
    return QStringLiteral("Regional: ") + m_dm.readSetting(QStringLiteral("x_reg"));
}

bool MainMenuRules::adminVisible(const QString &loginName)
{
    return loginName.toLower() == QLatin1String("admin");
}

QString MainMenuRules::versionFromLabel(const QString &label)
{
    QString v = label;
    const auto at = v.indexOf(QStringLiteral("Versión"));
    if (at >= 0)
        v.remove(at, 7);
    return v.trimmed();
}

bool MainMenuRules::underReceptionGuard(const std::function<void()> &operation, const QString &busyMessage)
{
    if (!m_dm.receptionIdle) {
        if (!busyMessage.isEmpty())
            m_dm.ui().message(busyMessage, ui::Ui::warningTitle());
        return false;
    }
    m_dm.receptionIdle = false;
    try {
        operation();
    } catch (...) {
        m_dm.receptionIdle = true;
        throw;
    }
    m_dm.receptionIdle = true;
    return true;
}

bool MainMenuRules::runReceptionTrigger(const std::function<void()> &cycle)
{
    if (!m_dm.receptionIdle || m_dm.isEditing())
        return false;
    return underReceptionGuard(cycle, {});
}

} // namespace tav::shell
