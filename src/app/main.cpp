// TAV Regional: the program entry. Command-line jobs for administrators run without a display;
// otherwise the program makes its directory current, lets a running copy take over, and starts.

#include "app/Application.h"
#include "app/Jobs.h"
#include "app/Screenshots.h"
#include "capture/ImageChecks.h"
#include "platform/os/StationScratch.h"
#include "shell/windows/FMenu.h"

#include "platform/instance/SingleInstance.h"
#include "platform/os/NoCasePath.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTextStream>
#include <QTimer>
#include <QTranslator>

#include <cstdio>
#include <filesystem>

namespace {

void usage(QTextStream &out)
{
    out << "Uso: tavregional [--dir DIRECTORIO]\n"
           "       tavregional --init-office DIRECTORIO\n"
           "       tavregional [--dir DIRECTORIO] --reindex | --purge | --check\n"
           "       tavregional [--dir DIRECTORIO] --screenshots CARPETA\n"
           "       tavregional --check-image card|doc ARCHIVO\n"
        << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);

    QString dirArg, job, jobArg, jobKind;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args.at(i);
        auto next = [&]() -> QString { return i + 1 < args.size() ? args.at(++i) : QString(); };
        if (a == QLatin1String("--dir"))
            dirArg = next();
        else if (a == QLatin1String("--init-office") || a == QLatin1String("--screenshots")) {
            job = a;
            jobArg = next();
        } else if (a == QLatin1String("--check-image")) {
            job = a;
            jobKind = next();
            jobArg = next();
        } else if (a == QLatin1String("--reindex") || a == QLatin1String("--purge") || a == QLatin1String("--check"))
            job = a;
        else if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            job = QStringLiteral("--help");
        else {
            QTextStream err(stderr);
            err << "Argumento desconocido: " << a << Qt::endl;
            usage(err);
            return 2;
        }
    }

    // Jobs without a display work offscreen; the screenshots job draws on the display when there is one, so
    // the windows are pictured as a person sees them.
    if (!job.isEmpty() && !(job == QLatin1String("--screenshots") && qEnvironmentVariableIsSet("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window title, message boxes included.
    QApplication::setApplicationName(QStringLiteral("TAV - Regional"));
    // Qt's own dialogs and buttons (print, preview, file chooser, "Close") speak Spanish like the rest.
    QTranslator qtSpanish;
    if (qtSpanish.load(QLocale(QLocale::Spanish, QLocale::Argentina), QStringLiteral("qt"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtSpanish);
    // Dates and numbers are written with explicit formats ("dd/MM/yyyy"); the rest follows no workstation locale.
    QLocale::setDefault(QLocale::c());

    QTextStream out(stdout);
    const std::filesystem::path exeDir = QCoreApplication::applicationDirPath().toStdString();
    std::filesystem::path programDir = dirArg.isEmpty() ? exeDir : std::filesystem::path(dirArg.toStdString());
    std::error_code ec;
    programDir = std::filesystem::absolute(programDir, ec);

    if (job == QLatin1String("--help")) {
        usage(out);
        return 0;
    }
    if (job == QLatin1String("--check-image"))
        return tav::capture::checkImageCommand(jobKind, jobArg, out);
    if (job == QLatin1String("--init-office")) {
        if (jobArg.isEmpty()) {
            usage(out);
            return 2;
        }
        return tav::app::initOfficeJob(jobArg.toStdString(), exeDir, out);
    }
    // A folder given to a job is where the person typed the command, not the office directory.
    if (job == QLatin1String("--screenshots") && !jobArg.isEmpty())
        jobArg = QFileInfo(jobArg).absoluteFilePath();
    if (!std::filesystem::is_directory(programDir, ec)) {
        out << "No existe el directorio del programa: " << QString::fromStdString(programDir.string()) << Qt::endl;
        return 2;
    }
    QDir::setCurrent(QString::fromStdString(programDir.string()));
    if (job == QLatin1String("--reindex"))
        return tav::app::reindexJob(programDir, out);
    if (job == QLatin1String("--purge"))
        return tav::app::purgeJob(programDir, out);
    if (job == QLatin1String("--check"))
        return tav::app::checkJob(programDir, out);
    if (job == QLatin1String("--screenshots")) {
        if (jobArg.isEmpty()) {
            usage(out);
            return 2;
        }
        const int rc = tav::app::screenshotsJob(programDir, jobArg.toStdString(), out);
        // The windows photographed leave their scratch folder behind, as a station does when it ends.
        tav::os::StationScratch::remove(QString::fromStdString(programDir.string()));
        return rc;
    }

    if (!tav::os::findFileNoCase(programDir, "PED.DBF")) {
        const QString text = QStringLiteral("No se encuentran las tablas de la oficina en %1.\n"
                                            "Cree una oficina nueva con: tavregional --init-office DIRECTORIO")
                                 .arg(QString::fromStdString(programDir.string()));
        QMessageBox::critical(nullptr, QStringLiteral("Error"), text);
        return 1;
    }

    // A second copy brings the first to the front and ends before touching any table.
    tav::instance::SingleInstance instance(QString::fromStdString(programDir.string()));
    if (!instance.claim())
        return 0;

    tav::app::Application program(programDir);
    QObject::connect(&instance, &tav::instance::SingleInstance::activationRequested, &program, [&program] {
        auto &w = program.mainWindow();
        w.setWindowState((w.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        w.raise();
        w.activateWindow();
    });
    // A start that cannot work (tables that will not open, a failed re-index) ends after its message,
    // without asking for a login.
    const bool ready = program.create();
    if (!ready || !program.showMain()) {
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    return QApplication::exec();
}
