// Plays one copy of the program: `single_instance_probe DIR [STAY_MS]` claims the instance of DIR,
// prints "first" or "second", and as the first copy stays up to STAY_MS milliseconds (default 0),
// ending early and printing "activated" when another copy asks it to come to the front.

#include "platform/instance/SingleInstance.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    tav::instance::SingleInstance instance(QString::fromLocal8Bit(argv[1]));
    if (!instance.claim()) {
        std::puts("second");
        return 1;
    }
    std::puts(instance.errorString().isEmpty() ? "first" : "first-degraded");
    std::fflush(stdout);
    const int stayMs = argc > 2 ? QByteArray(argv[2]).toInt() : 0;
    if (stayMs <= 0)
        return 0;
    QObject::connect(&instance, &tav::instance::SingleInstance::activationRequested, &app, [] {
        std::puts("activated");
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(stayMs, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
