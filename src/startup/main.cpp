#include "platform/ProgramPaths.h"
#include "startup/Program.h"
#include "startup/frmSplash.h"

#include <QApplication>
#include <cstdio>
#include <cstring>

namespace {

void printHelp() {
    std::puts("Usage: znr-extractor [--help] [--version]\n"
              "\n"
              "Collects measurement batches from ZNR instruments over TCP or serial lines and\n"
              "writes them as data files. Everything is configured by ZNRExtractor.ini in the\n"
              "program's folder; no arguments are needed.");
}

} // namespace

int main(int argc, char** argv) {
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
        std::fprintf(stderr, "znr-extractor: unknown argument '%s' (see --help)\n", argv[i]);
        return 2;
    }
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false); // the run ends only through the main window's close
    znr::Program program(znr::programFolder());
    program.start();
    return app.exec();
}
