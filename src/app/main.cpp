#include "core/ProgramPaths.h"
#include "station/HeadlessRun.h"
#include "ui/Program.h"

#include <QApplication>
#include <QCoreApplication>
#include <cstdio>
#include <cstring>

namespace {

void printHelp() {
    std::puts(
        "Usage: znr-extractor [--headless] [--help] [--version]\n"
        "\n"
        "Collects measurement batches from ZNR instruments over TCP or serial lines and writes\n"
        "them as data files. Everything is configured by ZNRExtractor.ini in the program's\n"
        "folder; no arguments are needed.\n"
        "\n"
        "  --headless  run without any window (for a service): the same configuration,\n"
        "              connections, files and logs; each data file written is announced on\n"
        "              standard output as \"date-time, connection, path\"; SIGTERM or SIGINT\n"
        "              closes every connection and exits with 0.\n"
        "  --version   print the version and exit.\n"
        "  --help      print this text and exit.\n"
        "\n"
        "Optional INI key [RECONNECT] SECONDS=n retries a connection that dropped by itself\n"
        "every n seconds (missing or 0: never).");
}

int runHeadless(int argc, char** argv) {
    if (!znr::HeadlessRun::blockStopSignals()) {
        std::fputs("znr-extractor: cannot set up the stop signals\n", stderr);
        return 1;
    }
    QCoreApplication app(argc, argv);
    znr::HeadlessRun run(znr::programFolder(), stdout);
    if (!run.start()) {
        std::fputs("znr-extractor: cannot set up the stop signals\n", stderr);
        return 1;
    }
    return app.exec();
}

int runWithWindows(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the run ends only through the main window's close
    znr::Program program(znr::programFolder());
    program.start();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    bool headless = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            printHelp();
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("znr-extractor %d.%d.%d\n", ZNR_VERSION_MAJOR, ZNR_VERSION_MINOR,
                        ZNR_VERSION_PATCH);
            return 0;
        }
        if (std::strcmp(argv[i], "--headless") == 0) {
            headless = true;
            continue;
        }
        std::fprintf(stderr, "znr-extractor: unknown argument '%s' (see --help)\n", argv[i]);
        return 2;
    }
    return headless ? runHeadless(argc, argv) : runWithWindows(argc, argv);
}
