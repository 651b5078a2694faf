// A station working on an office directory, for tests with several real processes: it saves new
// organisations (each drawing its number) and draws request numbers, printing every number it got.

#include "official/OfficialRules.h"
#include "port/ConsoleUi.h"
#include "store/Tdm.h"

#include <QCoreApplication>

#include <cstdio>
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
        dm.openTables();
        const int rounds = std::atoi(argv[2]);
        for (int i = 0; i < rounds; ++i) {
            auto &org = *dm.org;
            org.insert();
            org.field("X_ORG").setValue(
                QStringLiteral("ORGANISMO %1 %2").arg(QCoreApplication::applicationPid()).arg(i));
            org.field("X_DOM").setValue("CALLE 1");
            org.field("X_LOC").setValue("SALTA");
            org.field("C_PROV").setValue(17);
            org.field("C_CODPOS").setValue(4400);
            dm.postConfirmed = true;
            if (!org.post())
                return 3;
            std::cout << "org " << org.field("C_ORG").asInteger() << "\n";
            std::cout << "ped " << dm.drawNumber("ped") << "\n";
        }
    } catch (const std::exception &e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    return 0;
}
