// znr-sim: plays a ZNR instrument for the ZNR Data Extractor (see --help).

#include "Link.h"
#include "Player.h"
#include "SimOptions.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

void print(FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
    std::fflush(to);
}

// SIGINT, SIGTERM and SIGHUP arrive as readable bytes on a descriptor, handled by the event loop.
int blockStopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    return signalfd(-1, &set, SFD_CLOEXEC);
}

} // namespace

int main(int argc, char** argv) {
    const int signalFd = blockStopSignals();
    QCoreApplication app(argc, argv);
    const sim::ParseResult parsed = sim::parseArguments(app.arguments());
    if (parsed.help) {
        print(stdout, parsed.helpText);
        return 0;
    }
    if (!parsed.error.isEmpty()) {
        print(stderr, QStringLiteral("znr-sim: %1\nTry 'znr-sim --help'.\n").arg(parsed.error));
        return 2;
    }
    const sim::SimOptions& options = parsed.options;

    std::unique_ptr<sim::Link> link = sim::makeLink(options);
    sim::Player player(options, *link);
    const auto note = [](const QString& line) {
        print(stdout, QStringLiteral("znr-sim: ") + line + QLatin1Char('\n'));
    };
    QObject::connect(link.get(), &sim::Link::note, note);
    QObject::connect(&player, &sim::Player::log, [](const QString& line) {
        print(stderr, QStringLiteral("znr-sim: ") + line + QLatin1Char('\n'));
    });
    QObject::connect(&player, &sim::Player::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);

    QSocketNotifier stopSignals(signalFd, QSocketNotifier::Read);
    QObject::connect(&stopSignals, &QSocketNotifier::activated, [&] {
        signalfd_siginfo info;
        if (::read(signalFd, &info, sizeof info) <= 0)
            return;
        const bool complete = options.batches == 0 || player.stats().batches >= options.batches;
        player.stop(complete ? 0 : 1);
    });

    QString error;
    if (!link->start(&error)) {
        print(stderr, QStringLiteral("znr-sim: %1\n").arg(error));
        return 1;
    }
    const int code = app.exec();
    if (options.stats)
        print(stdout, player.stats().report());
    return code;
}
