// `quorlink update` of three switches at once against each switch alone:
// three `quorlink simulate --pty` at the wire's own pace, one card of each
// updated with the same file, first one switch at a time, then all three
// with one command. Prints the elapsed time of the three at once against
// the slowest alone. Target: at most 1.10.
//
//   bench_switches [records]   (default 300)

#include "toolbench.h"

#include <QCoreApplication>
#include <QDir>
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
        devices << startSimulator(*simulator, {"--cards", "2-8"});
    }

    std::printf("quorlink update of card %d with %lld records, switches at the wire's pace\n", Card,
                static_cast<long long>(count));
    double slowestMs = 0;
    for (const QString& device : devices) {
        const double aloneMs = timedUpdate(file, {device}, Card);
        std::printf("  %s alone: %.0f ms\n", qPrintable(device), aloneMs);
        slowestMs = std::max(slowestMs, aloneMs);
    }
    const double togetherMs = timedUpdate(file, devices, Card);
    for (auto& simulator : simulators) {
        simulator->terminate();
        simulator->waitForFinished();
    }
    std::printf("  all %d at once: %.0f ms\n", SwitchCount, togetherMs);
    std::printf("  ratio against the slowest alone: %.4f (target at most 1.10)\n",
                togetherMs / slowestMs);
    return 0;
}
