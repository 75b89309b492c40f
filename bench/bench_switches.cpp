// `quorlink update` of three switches at once against each switch alone:
// three `quorlink simulate --pty` at the wire's own pace, one card of each
// updated with the same file, first one switch at a time, then all three
// with one command. Prints the elapsed time of the three at once against
// the slowest alone. Target: at most 1.10.
//
//   bench_switches [records]   (default 300)

#include "toolbench.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>

using namespace quorlink;
namespace maker = firmware::maker;

namespace {

constexpr int SwitchCount = 3;
constexpr int Card = 7;

// A simulated switch behind a pseudo-terminal; returns its device path.
QString startSimulator(QProcess& simulator)
{
    simulator.start(toolPath(), {"simulate", "--pty", "--cards", "2-8"});
    const QDeadlineTimer deadline(10000);
    while (!simulator.canReadLine() && !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    if (!device.startsWith(u'/'))
        qFatal("the simulator gave no device");
    return device;
}

// Elapsed milliseconds of one `quorlink update` on `devices`; exits on a
// failed update.
double timedUpdate(const QString& file, const QStringList& devices)
{
    QStringList arguments{"update", file, "--cards", QString::number(Card), "--yes", "--json"};
    for (const QString& device : devices)
        arguments << "--device" << device;
    QProcess update;
    QElapsedTimer elapsed;
    elapsed.start();
    update.start(toolPath(), arguments);
    if (!update.waitForFinished(600000) || update.exitCode() != 0) {
        std::fprintf(stderr, "update failed: %s\n%s\n", update.readAllStandardOutput().constData(),
                     update.readAllStandardError().constData());
        std::exit(1);
    }
    return static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 300;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("qdx_rem108_e.hex"));
    const qsizetype count = writeRemoteFile(file, records).size();

    std::array<std::unique_ptr<QProcess>, SwitchCount> simulators;
    QStringList devices;
    for (auto& simulator : simulators) {
        simulator = std::make_unique<QProcess>();
        devices << startSimulator(*simulator);
    }

    std::printf("quorlink update of card %d with %lld records, switches at the wire's pace\n", Card,
                static_cast<long long>(count));
    double slowestMs = 0;
    for (const QString& device : devices) {
        const double aloneMs = timedUpdate(file, {device});
        std::printf("  %s alone: %.0f ms\n", qPrintable(device), aloneMs);
        slowestMs = std::max(slowestMs, aloneMs);
    }
    const double togetherMs = timedUpdate(file, devices);
    for (auto& simulator : simulators) {
        simulator->terminate();
        simulator->waitForFinished();
    }
    std::printf("  all %d at once: %.0f ms\n", SwitchCount, togetherMs);
    std::printf("  ratio against the slowest alone: %.4f (target at most 1.10)\n",
                togetherMs / slowestMs);
    return 0;
}
