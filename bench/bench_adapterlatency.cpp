// What a USB adapter's latency timer costs an update, and what the port's
// low-latency request wins back: `quorlink update` of one card against
// `quorlink simulate --pty --adapter-latency MS` with the wire modelled and
// the cards answering at once, for no adapter, a 16 ms timer (the common
// default) and a 1 ms timer (what low-latency mode gives). Each is timed
// with a large and a small file; the difference over the difference of the
// record counts is the time of one record, printed against the protocol's
// minimum for it: the record's 77 characters on the wire at 19200 baud.
//
//   bench_adapterlatency [records]   (default 400; 2000 takes several minutes)

#include "toolbench.h"
#include "link/protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorlink;
namespace protocol = link::protocol;
namespace maker = firmware::maker;

namespace {

constexpr int SmallRecordCount = 100;
constexpr int Card = 7;

// Milliseconds per record behind an adapter of `latencyMs` (0: none).
double perRecordMs(int latencyMs, const QString& large, qsizetype largeCount, const QString& small,
                   qsizetype smallCount)
{
    QProcess simulator;
    const QString device =
        startSimulator(simulator, {"--delay", "0", "--adapter-latency", QString::number(latencyMs)});
    const double largeMs = timedUpdate(large, {device}, Card);
    const double smallMs = timedUpdate(small, {device}, Card);
    simulator.terminate();
    simulator.waitForFinished();
    return (largeMs - smallMs) / static_cast<double>(largeCount - smallCount);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 400;
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("qdx_rem108_e.hex"));
    const QString small = dir.filePath(QStringLiteral("qdx_rem109_e.hex"));
    const qsizetype largeCount = writeRemoteFile(large, records).size();
    const qsizetype smallCount = writeRemoteFile(small, SmallRecordCount).size();

    const double minimumMs = protocol::RecordLength * protocol::CharacterTimeMicroseconds / 1000;
    std::printf("quorlink update of one card, %lld and %lld records; protocol minimum per record "
                "%.1f ms\n",
                static_cast<long long>(largeCount), static_cast<long long>(smallCount), minimumMs);
    for (const int latencyMs : {0, 16, 1}) {
        const double ms = perRecordMs(latencyMs, large, largeCount, small, smallCount);
        std::printf("  adapter latency %2d ms: %.1f ms per record, ratio %.3f; 2,000 records "
                    "take %.0f s more than the minimum\n",
                    latencyMs, ms, ms / minimumMs, 2000 * (ms - minimumMs) / 1000);
    }
    return 0;
}
