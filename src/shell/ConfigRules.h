#pragma once

#include <QString>

#include <functional>

namespace tav::store {
class Tdm;
}

namespace tav::shell {

// What the configuration window shows and edits, as plain values (texts as typed, flags checked or
// not). Keys of the settings table in brackets.
struct ConfigValues
{
    // " Regional "
    QString privateCode;       // c_regp
    QString officeName;        // x_reg
    QString officialCode;      // c_reg
    bool nominative = false;   // m_nomi, yes only when "S"
    bool homeDelivery = false; // m_domic, yes only when "S"
    bool checkSlipData = true; // m_chkdatbol, yes unless "N"
    // " Correo electrónico y contestaciones "
    QString centralAccount;        // x_toregp (written to x_toreg too)
    QString receptionMinutes;      // frec_recep
    QString keepAnswersDays;       // dur_guarda
    QString maxAnswers;            // max_contes
    QString certificateUrl;        // url_cert
    bool automaticPrinting = true; // m_impauto, yes unless "N"
    // "Proxy"
    QString proxyUser;     // proxy_user
    QString proxyPassword; // proxy_pass, plain here, enciphered in the table
    QString proxyHost;     // http_proxy
    QString proxyPort;     // http_port
    // "Fecha de pago"
    bool paymentDateRequired = true; // m_fecpago, yes only when "S"
    QString paymentDays;             // dias_fpago

    bool operator==(const ConfigValues &) const = default;
};

// The configuration window's logic without its widgets: reads the settings into ConfigValues when
// the window is shown and writes them back, in a fixed order, when the person accepts.
class ConfigRules
{
public:
    // A proxy user name longer than this cannot be saved.
    static constexpr int kMaxProxyUser = 30;

    enum class AcceptResult {
        Saved,
        MissingProxyPassword, // the window puts the focus on the password edit
        ProxyUserTooLong,
        WriteFailed,
    };

    explicit ConfigRules(store::Tdm &dm);

    // The values to show. The proxy password is the stored one deciphered with the stored user name;
    // it stays empty when it does not decipher to a text the password edit could hold.
    ConfigValues load();

    // After the window is filled: when a proxy user is set but the password did not come back, asks
    // the person to type both again. True when the message was shown.
    bool adviseProxyReentry(const ConfigValues &shown);

    // "&Aceptar": checks, then writes every setting. Messages go through the Ui port.
    AcceptResult accept(const ConfigValues &values);

    // Called after the settings were written, before the flags of the data module are updated: the
    // central-status window reloads its settings here.
    std::function<void()> onSettingsWritten;

private:
    bool write(const QString &key, const QString &value);
    bool writeFlag(const QString &key, bool value);

    store::Tdm &m_dm;
    QString m_failedKey;
};

} // namespace tav::shell
