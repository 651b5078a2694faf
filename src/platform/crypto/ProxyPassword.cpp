#include "platform/crypto/ProxyPassword.h"

#include "platform/crypto/Rc4.h"
#include "platform/text/Cp1252Qt.h"

#include <QByteArray>
#include <QCryptographicHash>

namespace tav::crypto {

namespace {

QByteArray cipher(const QByteArray &data, const QString &user)
{
    const QByteArray key = QCryptographicHash::hash(tav::text::toCp1252(user), QCryptographicHash::Sha1);
    const std::string out = Rc4::crypt(key.toStdString(), data.toStdString());
    return QByteArray::fromStdString(out);
}

} // namespace

QString encryptProxyPassword(const QString &password, const QString &user)
{
    return QString::fromLatin1(cipher(tav::text::toCp1252(password), user).toBase64());
}

std::optional<QString> decryptProxyPassword(const QString &stored, const QString &user)
{
    const QString trimmed = stored.trimmed();
    for (const QChar c : trimmed) {
        if (c.unicode() > 0x7F)
            return std::nullopt;
    }
    const auto decoded = QByteArray::fromBase64Encoding(trimmed.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return std::nullopt;
    return tav::text::fromCp1252(cipher(*decoded, user));
}

} // namespace tav::crypto
