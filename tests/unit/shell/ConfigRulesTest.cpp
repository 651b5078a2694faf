#include "shell/ConfigRules.h"

#include "platform/crypto/ProxyPassword.h"
#include "unit/store/OfficeFixture.h"

using namespace tav;
using shell::ConfigRules;
using shell::ConfigValues;

namespace {

class ConfigRulesTest : public test::OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        ui.clearRecord();
    }

    ConfigValues edited()
    {
        ConfigValues v;
        v.privateCode = "21";
        v.officeName = "OFICINA NORTE";
        v.officialCode = "0";
        v.nominative = true;
        v.homeDelivery = true;
        v.checkSlipData = false;
        v.centralAccount = "pedidos@central.example";
        v.receptionMinutes = "abc"; // written as typed: the window checks no number
        v.keepAnswersDays = "45";
        v.maxAnswers = "3";
        v.certificateUrl = "https://certificados.example/ver";
        v.automaticPrinting = false;
        v.proxyUser = "juan";
        v.proxyPassword = "secreto1";
        v.proxyHost = "proxy.example";
        v.proxyPort = "3128";
        v.paymentDateRequired = false;
        v.paymentDays = "90";
        return v;
    }
};

} // namespace

TEST_F(ConfigRulesTest, ShowsTheSettingsOfANewOffice)
{
    const ConfigValues v = ConfigRules(*dm).load();
    EXPECT_EQ(v.privateCode, "7");
    EXPECT_EQ(v.officialCode, "7");
    EXPECT_EQ(v.officeName, "OFICINA REGIONAL DEMO");
    EXPECT_EQ(v.centralAccount, "central@tav-central.example");
    EXPECT_EQ(v.receptionMinutes, "5");
    EXPECT_EQ(v.keepAnswersDays, "30");
    EXPECT_EQ(v.maxAnswers, "1");
    EXPECT_EQ(v.paymentDays, "365");
    EXPECT_FALSE(v.nominative);
    EXPECT_FALSE(v.homeDelivery);
    EXPECT_TRUE(v.checkSlipData);
    EXPECT_FALSE(v.automaticPrinting);
    EXPECT_TRUE(v.paymentDateRequired);
    EXPECT_TRUE(v.proxyUser.isEmpty());
    EXPECT_TRUE(v.proxyPassword.isEmpty());
    EXPECT_FALSE(ConfigRules(*dm).adviseProxyReentry(v));
    EXPECT_TRUE(ui.shownNothing());
}

TEST_F(ConfigRulesTest, AcceptWritesEveryKeyInOrderAndUpdatesTheDataModule)
{
    QStringList order;
    store::Subscription ambAfterPost =
        dm->amb->afterPost.subscribe([&order](store::Dataset &amb) { order << amb.field("C_AMB").asString(); });
    ConfigRules rules(*dm);
    rules.onSettingsWritten = [&order] { order << "<status window>"; };
    const ConfigValues v = edited();
    ASSERT_EQ(rules.accept(v), ConfigRules::AcceptResult::Saved);
    EXPECT_TRUE(ui.shownNothing());
    EXPECT_EQ(order, QStringList({"m_fecpago",       "dias_fpago", "x_toregp",   "x_toreg",     "x_reg",
                                  "url_cert",        "frec_recep", "dur_guarda", "c_regp",      "c_reg",
                                  "max_contes",      "http_proxy", "http_port",  "proxy_user",  "proxy_pass",
                                  "<status window>", "m_nomi",     "m_domic",    "m_chkdatbol", "m_impauto"}));
    EXPECT_EQ(dm->readSetting("x_toreg"), "pedidos@central.example");
    EXPECT_EQ(dm->readSetting("x_toregp"), "pedidos@central.example");
    EXPECT_EQ(dm->readSetting("frec_recep"), "abc");
    EXPECT_EQ(dm->readSetting("m_fecpago"), "N");
    EXPECT_EQ(dm->readSetting("m_chkdatbol"), "N");
    EXPECT_EQ(dm->readSetting("m_nomi"), "S");
    EXPECT_EQ(dm->readSetting("proxy_pass"), crypto::encryptProxyPassword("secreto1", "juan"));
    EXPECT_TRUE(dm->nominativeRequests);
    EXPECT_TRUE(dm->homeDelivery);
    EXPECT_FALSE(dm->checkSlipData);
    EXPECT_FALSE(dm->automaticPrinting);

    // Another station reads back what was typed, the proxy password deciphered.
    test::TestUi otherUi;
    store::Tdm other(dir.path(), otherUi, clock);
    other.openTables();
    EXPECT_EQ(ConfigRules(other).load(), v);
}

TEST_F(ConfigRulesTest, ProxyUserNeedsAPasswordAndAtMostThirtyLetters)
{
    ConfigRules rules(*dm);
    ConfigValues v = edited();
    v.proxyPassword.clear();
    EXPECT_EQ(rules.accept(v), ConfigRules::AcceptResult::MissingProxyPassword);
    v.proxyPassword = "x1";
    v.proxyUser = QString(31, u'u');
    EXPECT_EQ(rules.accept(v), ConfigRules::AcceptResult::ProxyUserTooLong);
    EXPECT_TRUE(ui.shown({{"Por favor introduzca la contraseña del proxy", "Advertencia"},
                          {"El usuario del proxy no puede tener más de 30 letras", "Advertencia"}}));
    EXPECT_EQ(dm->readSetting("x_reg"), "OFICINA REGIONAL DEMO") << "nothing written";

    v.proxyUser = QString(30, u'u');
    EXPECT_EQ(rules.accept(v), ConfigRules::AcceptResult::Saved);
    // Without a proxy user the password may stay empty, and an empty password is stored empty.
    v.proxyUser.clear();
    v.proxyPassword.clear();
    EXPECT_EQ(rules.accept(v), ConfigRules::AcceptResult::Saved);
    EXPECT_EQ(dm->readSetting("proxy_pass", "<none>"), "<none>");
}

TEST_F(ConfigRulesTest, ChangedProxyUserAsksForUserAndPasswordAgain)
{
    ConfigRules rules(*dm);
    ASSERT_EQ(rules.accept(edited()), ConfigRules::AcceptResult::Saved);
    ASSERT_TRUE(dm->writeSetting("proxy_user", "pedro"));
    const ConfigValues v = rules.load();
    EXPECT_EQ(v.proxyUser, "pedro");
    EXPECT_TRUE(v.proxyPassword.isEmpty());
    EXPECT_TRUE(rules.adviseProxyReentry(v));
    EXPECT_TRUE(ui.shown({{"Por favor vuelva a poner el usuario y contraseña del proxy.", "Advertencia"}}));

    // Text that is no Base64 at all shows the same way.
    ASSERT_TRUE(dm->writeSetting("proxy_pass", "¡no es base64!"));
    EXPECT_TRUE(rules.load().proxyPassword.isEmpty());
}

TEST_F(ConfigRulesTest, AbsentCheckSlipSettingShowsCheckedAndIsSavedAsYes)
{
    ASSERT_TRUE(dm->amb->findKey("m_chkdatbol"));
    ASSERT_TRUE(dm->amb->remove());
    ASSERT_TRUE(dm->amb->findKey("m_impauto"));
    ASSERT_TRUE(dm->amb->remove());
    ConfigRules rules(*dm);
    const ConfigValues v = rules.load();
    EXPECT_TRUE(v.checkSlipData);
    EXPECT_TRUE(v.automaticPrinting);
    ASSERT_EQ(rules.accept(v), ConfigRules::AcceptResult::Saved);
    EXPECT_EQ(dm->readSetting("m_chkdatbol"), "S");
    EXPECT_EQ(dm->readSetting("m_impauto"), "S");
}

TEST_F(ConfigRulesTest, FailedWriteIsReportedAndLeavesTheFlagsAlone)
{
    store::Subscription ambBeforePost = dm->amb->beforePost.subscribe([](store::Dataset &amb) {
        if (amb.field("C_AMB").asString() == "c_reg")
            throw store::Abort{};
    });
    ConfigRules rules(*dm);
    int reloaded = 0;
    rules.onSettingsWritten = [&reloaded] { ++reloaded; };
    EXPECT_EQ(rules.accept(edited()), ConfigRules::AcceptResult::WriteFailed);
    EXPECT_TRUE(ui.shown({{"No se pudo guardar el parámetro \"c_reg\" de la configuración.", "Error"}}));
    EXPECT_EQ(reloaded, 0);
    EXPECT_FALSE(dm->nominativeRequests);
    EXPECT_EQ(dm->readSetting("max_contes"), "1") << "writing stops at the failed key";
}
