// znr-soak: the real znr-extractor under load and faults for a given time (see --help).

#include "SoakRun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Runs two headless znr-extractor instances: one with 50 znr-sim instruments over TCP, "
        "one with 4 on ptys, archiving on and [RECONNECT] SECONDS=1. Instruments are killed at "
        "random and come back on the same port or pty link. At the end every acknowledged batch "
        "must have its expected data file and one raw file, the error log only the lines the "
        "faults explain, and the memory must be flat. Exit code 0 when all holds."));
    p.addHelpOption();
    p.addOption({QStringLiteral("minutes"), QStringLiteral("How long (default 30)."),
                 QStringLiteral("M"), QStringLiteral("30")});
    p.addOption({QStringLiteral("seed"), QStringLiteral("Seed of the fault schedule (default 1)."),
                 QStringLiteral("N"), QStringLiteral("1")});
    p.addOption({QStringLiteral("work"),
                 QStringLiteral("Work folder (default: a new one under the temp folder)."),
                 QStringLiteral("DIR")});
    p.process(app);

    soak::SoakOptions o;
    bool ok = false;
    o.minutes = p.value(QStringLiteral("minutes")).toDouble(&ok);
    if (!ok || o.minutes <= 0) {
        std::fputs("znr-soak: --minutes needs a positive number\n", stderr);
        return 2;
    }
    o.seed = p.value(QStringLiteral("seed")).toULongLong(&ok);
    if (!ok) {
        std::fputs("znr-soak: --seed needs a whole number\n", stderr);
        return 2;
    }
    if (p.isSet(QStringLiteral("work"))) {
        o.workFolder = QDir(p.value(QStringLiteral("work"))).absolutePath();
    } else {
        QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/znr-soak.XXXXXX"));
        dir.setAutoRemove(false);
        o.workFolder = dir.path();
    }
    QDir().mkpath(o.workFolder);
    o.binFolder = QCoreApplication::applicationDirPath();
    soak::SoakRun run(o);
    return run.run();
}
