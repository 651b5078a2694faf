#pragma once

#include <QString>

namespace tav::exchange {

// The data file "resp.dat" of a central-office reply: an INI file with one section DATA. Section and key
// names match without regard to case; integers are decimal or "0x" hexadecimal, and a missing or malformed
// one reads as 0; a missing text reads as empty and texts are cut at 2047 characters.
struct ReplyData
{
    int c_ped = 0;
    int c_reg = 0;
    int n_expe = 0;
    QString c_est;
    QString x_obs;
    QString n_cert;
    QString c_rechazo;
    QString c_res;

    static ReplyData read(const QString &path);
};

} // namespace tav::exchange
