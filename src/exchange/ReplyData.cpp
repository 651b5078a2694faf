#include "exchange/ReplyData.h"

#include "platform/ini/IniFile.h"

namespace tav::exchange {

ReplyData ReplyData::read(const QString &path)
{
    const ini::IniFile file(path);
    const QString section = QStringLiteral("DATA");
    auto integer = [&](const char *key) { return file.readInteger(section, QString::fromLatin1(key), 0); };
    auto text = [&](const char *key) { return file.readString(section, QString::fromLatin1(key)).left(2047); };
    ReplyData d;
    d.c_ped = integer("c_ped");
    d.c_reg = integer("c_reg");
    d.n_expe = integer("n_expe");
    d.c_est = text("c_est");
    d.x_obs = text("x_obs");
    d.n_cert = text("n_cert");
    d.c_rechazo = text("c_rechazo");
    d.c_res = text("c_res");
    return d;
}

} // namespace tav::exchange
