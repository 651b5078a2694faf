#include "platform/crypto/ProxyPassword.h"

#include <gtest/gtest.h>

using namespace tav::crypto;

// Known answers computed independently (SHA-1 of the Windows-1252 user name as RC4 key, Base64).
TEST(ProxyPassword, KnownAnswersAndRoundTrip)
{
    struct Case
    {
        QString user;
        QString password;
        QString stored;
    };
    const Case cases[] = {
        {"proxyuser", "clave123", "RNexYMgNV1g="},
        {QString::fromUtf8("Muñoz"), QString::fromUtf8("ñandú1"), "iTGZIeEM"},
        {"proxyuser", "", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        EXPECT_EQ(encryptProxyPassword(c.password, c.user), c.stored);
        EXPECT_EQ(decryptProxyPassword(c.stored, c.user), c.password);
    }
}

TEST(ProxyPassword, OtherUserOrDamagedTextDoesNotGiveThePassword)
{
    const QString stored = encryptProxyPassword("clave123", "proxyuser");
    const auto other = decryptProxyPassword(stored, "otheruser");
    ASSERT_TRUE(other.has_value());
    EXPECT_NE(*other, "clave123");

    EXPECT_EQ(decryptProxyPassword("not base64!", "proxyuser"), std::nullopt);
    EXPECT_EQ(decryptProxyPassword(QString::fromUtf8("RNexYMgNV1g\xC3\xB1"), "proxyuser"), std::nullopt);
}
