#include "platform/crypto/Rc4.h"

#include <QByteArray>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using tav::crypto::Rc4;

namespace {

std::string hex(const std::string &bytes)
{
    return QByteArray::fromStdString(bytes).toHex().toUpper().toStdString();
}

std::string unhex(const char *text)
{
    return QByteArray::fromHex(text).toStdString();
}

} // namespace

TEST(Rc4, PublishedVectors)
{
    struct Case
    {
        std::string key;
        std::string plain;
        const char *cipherHex;
    };
    const Case cases[] = {
        {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
        {"Wiki", "pedia", "1021BF0420"},
        {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
        // RFC 6229, 40-bit key: the first 16 bytes of key stream.
        {unhex("0102030405"), std::string(16, '\0'), "B2396305F03DC027CCC3524A0A1118A8"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.cipherHex);
        const std::string cipher = Rc4::crypt(c.key, c.plain);
        EXPECT_EQ(hex(cipher), c.cipherHex);
        EXPECT_EQ(Rc4::crypt(c.key, cipher), c.plain);
    }
}

TEST(Rc4, StreamContinuesAcrossCallsAndKeyLengthIsChecked)
{
    Rc4 rc4("Key");
    std::string out = rc4.apply("Plain");
    out += rc4.apply("text");
    EXPECT_EQ(hex(out), "BBF316E8D940AF0AD3");

    EXPECT_THROW(Rc4(""), std::invalid_argument);
    EXPECT_THROW(Rc4(std::string(257, 'k')), std::invalid_argument);
    EXPECT_NO_THROW(Rc4(std::string(256, 'k')));
}
