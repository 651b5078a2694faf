// A station as a separate program for the multi-station tests: it goes through the data module's whole
// start (the same steps the program runs before its main window shows) and then saves new official
// requests through their save rules, printing one line per save that returned ("ped <number>"), so a
// test knows which saves were committed before it killed the station.
//
//   tav_station_process DIRECTORY SAVES
// Exit 0 after the saves; 3 when the start would not let the program work; 4 when a save was refused.

#include "official/OfficialRules.h"
#include "port/ConsoleUi.h"
#include "store/Tdm.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    tav::ui::ConsoleUi ui;
    tav::store::Clock clock;
    try {
        tav::store::Tdm dm(argv[1], ui, clock);
        tav::official::OfficialRules rules(dm);
        dm.programVersion = QStringLiteral("2.32");
        if (dm.startUp() != tav::store::Tdm::StartResult::Ready || !dm.initialized)
            return 3;
        // What the main window does next: the login, when the settings ask for it.
        std::cout << "start login=" << (dm.loginRequired ? 1 : 0) << std::endl;
        const int saves = std::atoi(argv[2]);
        auto &ped = *dm.ped;
        for (int i = 0; i < saves; ++i) {
            ped.insert();
            ped.field("C_ORG").setValue(1);
            ped.field("X_DOM").setValue("CALLE 1");
            ped.field("X_LOC").setValue("SALTA");
            ped.field("C_PROV").setValue(17);
            ped.field("C_NAC").setValue(1);
            ped.field("C_SEXO").setValue("M");
            ped.field("C_CODPOS").setValue(4400);
            ped.field("X_APE1").setValue("ESTACION");
            ped.field("X_NOM1").setValue("JUAN");
            ped.field("C_PRIOR").setValue(1);
            ped.field("C_TDEL").setValue(1);
            ped.field("X_OBS").setValue(QStringLiteral("Pedido %1 de la estación %2, con su memo.")
                                            .arg(i)
                                            .arg(QCoreApplication::applicationPid()));
            // A card kept in the memo file (not a scanned one, which the save would check as an image).
            ped.field("C_CARPED").setValue("L");
            ped.field("B_HUELLA").setValue(QByteArray(3000, static_cast<char>('a' + i % 26)));
            dm.postConfirmed = true;
            if (!ped.post())
                return 4;
            std::cout << "ped " << ped.field("C_PED").asInteger() << std::endl;
        }
    } catch (const std::exception &e) {
        std::cerr << e.what() << std::endl;
        return 1;
    }
    return 0;
}
