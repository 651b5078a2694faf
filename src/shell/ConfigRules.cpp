#include "shell/ConfigRules.h"

#include "platform/crypto/ProxyPassword.h"
#include "shell/LoginRules.h"
#include "store/Tdm.h"

namespace tav::shell {

namespace {

const QString kYes = QStringLiteral("S");
const QString kNo = QStringLiteral("N");

} // namespace

ConfigRules::ConfigRules(store::Tdm &dm) : m_dm(dm) {}

ConfigValues ConfigRules::load()
{
    auto read = [this](const char *key) { return m_dm.readSetting(QString::fromLatin1(key)); };
    ConfigValues v;
    v.privateCode = read("c_regp");
    v.officeName = read("x_reg");
    v.officialCode = read("c_reg");
    v.nominative = read("m_nomi") == kYes;
    v.homeDelivery = read("m_domic") == kYes;
    v.checkSlipData = read("m_chkdatbol") != kNo;
    v.centralAccount = read("x_toregp");
    v.receptionMinutes = read("frec_recep");
    v.keepAnswersDays = read("dur_guarda");
    v.maxAnswers = read("max_contes");
    v.certificateUrl = read("url_cert");
    v.automaticPrinting = read("m_impauto") != kNo;
    v.proxyUser = read("proxy_user");
    v.proxyHost = read("http_proxy");
    v.proxyPort = read("http_port");
    v.paymentDateRequired = read("m_fecpago") == kYes;
    v.paymentDays = read("dias_fpago");

    // Deciphered under another user name the stored password is noise; the password edit takes only
    // lower-case letters and digits, so such a text never reaches it and the edit stays empty.
    const QString stored = read("proxy_pass");
    if (!stored.trimmed().isEmpty()) {
        const auto plain = crypto::decryptProxyPassword(stored, v.proxyUser);
        if (plain && isPasswordText(*plain))
            v.proxyPassword = *plain;
    }
    return v;
}

bool ConfigRules::adviseProxyReentry(const ConfigValues &shown)
{
    if (!shown.proxyPassword.isEmpty() || shown.proxyUser.isEmpty())
        return false;
    m_dm.ui().warning(QStringLiteral("Por favor vuelva a poner el usuario y contraseña del proxy."));
    return true;
}

bool ConfigRules::write(const QString &key, const QString &value)
{
    if (m_dm.writeSetting(key, value))
        return true;
    m_failedKey = key;
    return false;
}

bool ConfigRules::writeFlag(const QString &key, bool value)
{
    return write(key, value ? kYes : kNo);
}

ConfigRules::AcceptResult ConfigRules::accept(const ConfigValues &v)
{
    auto &ui = m_dm.ui();
    if (!v.proxyUser.isEmpty() && v.proxyPassword.isEmpty()) {
        ui.warning(QStringLiteral("Por favor introduzca la contraseña del proxy"));
        return AcceptResult::MissingProxyPassword;
    }
    if (v.proxyUser.size() > kMaxProxyUser) {
        ui.warning(QStringLiteral("El usuario del proxy no puede tener más de 30 letras"));
        return AcceptResult::ProxyUserTooLong;
    }

    const QString cipher =
        v.proxyPassword.isEmpty() ? QString() : crypto::encryptProxyPassword(v.proxyPassword, v.proxyUser);
    m_failedKey.clear();
    // The order of the writes is the office's documented order; a failure stops at that key.
    const bool written =
        writeFlag(QStringLiteral("m_fecpago"), v.paymentDateRequired) &&
        write(QStringLiteral("dias_fpago"), v.paymentDays) && write(QStringLiteral("x_toregp"), v.centralAccount) &&
        write(QStringLiteral("x_toreg"), v.centralAccount) && write(QStringLiteral("x_reg"), v.officeName) &&
        write(QStringLiteral("url_cert"), v.certificateUrl) &&
        write(QStringLiteral("frec_recep"), v.receptionMinutes) &&
        write(QStringLiteral("dur_guarda"), v.keepAnswersDays) && write(QStringLiteral("c_regp"), v.privateCode) &&
        write(QStringLiteral("c_reg"), v.officialCode) && write(QStringLiteral("max_contes"), v.maxAnswers) &&
        write(QStringLiteral("http_proxy"), v.proxyHost) && write(QStringLiteral("http_port"), v.proxyPort) &&
        write(QStringLiteral("proxy_user"), v.proxyUser) && write(QStringLiteral("proxy_pass"), cipher);
    if (written && onSettingsWritten)
        onSettingsWritten();

    const bool flagsWritten = written && writeFlag(QStringLiteral("m_nomi"), v.nominative) &&
                              writeFlag(QStringLiteral("m_domic"), v.homeDelivery) &&
                              writeFlag(QStringLiteral("m_chkdatbol"), v.checkSlipData) &&
                              writeFlag(QStringLiteral("m_impauto"), v.automaticPrinting);
    if (!flagsWritten) {
        ui.error(QStringLiteral("No se pudo guardar el parámetro \"%1\" de la configuración.").arg(m_failedKey));
        return AcceptResult::WriteFailed;
    }
    m_dm.nominativeRequests = v.nominative;
    m_dm.homeDelivery = v.homeDelivery;
    m_dm.checkSlipData = v.checkSlipData;
    m_dm.automaticPrinting = v.automaticPrinting;
    return AcceptResult::Saved;
}

} // namespace tav::shell
