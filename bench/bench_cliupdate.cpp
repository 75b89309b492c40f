// `quorlink update` against `quorlink simulate --pty --instant`: two updates
// of one card over a real serial device path, with a 2,000-record file and a
// 200-record file, in one run. The cards answer at once, so the difference
// of the two elapsed times over the difference of the record counts is what
// the PC's side (the tool, with the simulator's own share) spends per
// record; the fixed waits of an update (pauses, programming wait, version
// queries) are the same for both files and drop out. Prints that time as a
// fraction of the 19200-baud wire time of one record (77 characters of 11
// bits, 44.1 ms). Target: below 0.01.
//
//   bench_cliupdate [records]   (default 2000)

#include "firmwaremaker.h"
#include "link/protocol.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace quorlink;
namespace protocol = link::protocol;
namespace maker = firmware::maker;

namespace {

constexpr int SmallRecordCount = 200;
constexpr int Card = 7;

QString toolPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quorlink"));
}

// A remote card file of about `records` records; returns how many it holds.
qsizetype writeFile(const QString& path, int records)
{
    const QStringList texts = maker::FirmwareMaker(1).remoteRecordTexts(
        maker::makeImage(0x0000, (records - 1) * 32, QStringLiteral("QLREM ver1.08 US"), 1));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write(maker::FirmwareMaker(1).fileContents(texts));
    return texts.size();
}

// Elapsed milliseconds of one `quorlink update`; exits on a failed update.
double timedUpdate(const QString& file, const QString& device)
{
    QProcess update;
    QElapsedTimer elapsed;
    elapsed.start();
    update.start(toolPath(), {"update", file, "--device", device, "--cards",
                              QString::number(Card), "--yes", "--json"});
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
    const int records = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("qdx_rem108_e.hex"));
    const QString small = dir.filePath(QStringLiteral("qdx_rem109_e.hex"));
    const qsizetype largeCount = writeFile(large, records);
    const qsizetype smallCount = writeFile(small, SmallRecordCount);

    QProcess simulator;
    simulator.start(toolPath(), {"simulate", "--pty", "--instant"});
    const QDeadlineTimer deadline(10000);
    while (!simulator.canReadLine() && !deadline.hasExpired())
        simulator.waitForReadyRead(100);
    const QString device = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    if (!device.startsWith(u'/'))
        qFatal("the simulator gave no device");

    const double largeMs = timedUpdate(large, device);
    const double smallMs = timedUpdate(small, device);
    simulator.terminate();
    simulator.waitForFinished();

    const double perRecordMs = (largeMs - smallMs) / static_cast<double>(largeCount - smallCount);
    const double wireMs = protocol::RecordLength * protocol::CharacterTimeMicroseconds / 1000;
    std::printf("quorlink update of one card over %s, cards answering at once\n",
                qPrintable(device));
    std::printf("  %lld records: %.0f ms; %lld records: %.0f ms\n",
                static_cast<long long>(largeCount), largeMs, static_cast<long long>(smallCount),
                smallMs);
    std::printf("  added per record: %.3f ms; wire time of one record: %.1f ms\n", perRecordMs,
                wireMs);
    std::printf("  fraction: %.4f (target below 0.01)\n", perRecordMs / wireMs);
    return 0;
}
