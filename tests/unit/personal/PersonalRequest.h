#pragma once

#include "store/Dataset.h"
#include "store/Tdm.h"

#include <QDate>

namespace tav::test {

// Inserts a personal request that passes every check before sending on the test offices (request date
// 10/12/2026, paid on 5/12/2026, procedure type 1) and leaves it in insert state.
inline store::Dataset &enterPersonalRequest(store::Tdm &dm)
{
    store::Dataset &pedp = *dm.pedp;
    pedp.insert();
    pedp["C_TDOC"].setValue("DU");
    pedp["C_SEXO"].setValue("M");
    pedp["C_NAC"].setValue(1);
    pedp["X_APE1"].setValue("PEREZ");
    pedp["X_NOM1"].setValue("JUAN");
    pedp["N_DOC"].setValue(20123456);
    pedp["F_NAC"].setValue(QDate(1980, 3, 15));
    pedp["C_TRAM"].setValue("1");
    pedp["F_PAGO"].setValue(QDate(2026, 12, 5));
    return pedp;
}

} // namespace tav::test
