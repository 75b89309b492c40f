// `quorlink update` against `quorlink simulate --pty --instant`: two updates
// of one card over a real serial device path, with a 2,000-record file and a
// 200-record file, in one run. The cards answer at once, so the difference
// of the two elapsed times over the difference of the record counts is what
// the PC's side (the tool, with the simulator's own share) spends per
// record; the fixed waits of an update (pauses, programming wait, version
// queries) are the same for both files and drop out. A minimal sender (one
// write per record, a blocking read of its acknowledgement, nothing else)
// takes the same two downloads against the same simulator; what the tool
// spends per record beyond it is printed as a fraction of the 19200-baud
// wire time of one record (77 characters of 11 bits, 44.1 ms). Target: at
// most 0.005.
//
//   bench_cliupdate [records]   (default 2000)

#include "toolbench.h"
#include "link/protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace quorlink;
namespace protocol = link::protocol;
namespace maker = firmware::maker;

namespace {

constexpr int SmallRecordCount = 200;
constexpr int Card = 7;

// One byte from `fd` within a second, else -1.
int readByte(int fd)
{
    pollfd readable{fd, POLLIN, 0};
    unsigned char byte = 0;
    if (::poll(&readable, 1, 1000) != 1 || ::read(fd, &byte, 1) != 1)
        return -1;
    return byte;
}

void writeAll(int fd, const QByteArray& bytes)
{
    if (::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        qFatal("write failed");
}

// Elapsed milliseconds of the least a sender can do for a download of
// `texts` to the card: the address phase, then each record in one write and
// its acknowledgement read, the end record last.
double minimalDownload(const QString& device, const QStringList& texts)
{
    const int fd = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    termios raw = {};
    if (fd < 0 || ::tcgetattr(fd, &raw) != 0)
        qFatal("cannot open %s", qPrintable(device));
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);
    QElapsedTimer elapsed;
    elapsed.start();
    const char addressPhase[] = {char(protocol::addressByte(Card)), char(protocol::DownloadCommand),
                                 char(protocol::EndOfAddressPhase)};
    writeAll(fd, QByteArray(addressPhase, sizeof addressPhase));
    if (readByte(fd) != protocol::Ready)
        qFatal("the card is not ready");
    for (const QString& text : texts) {
        const QString record = text.startsWith(protocol::EndRecord) ? QString(protocol::EndRecord)
                                                                    : text.left(protocol::RecordLength);
        writeAll(fd, record.toLatin1());
        if (readByte(fd) != protocol::RecordAccepted)
            qFatal("a record was not accepted");
        if (record == protocol::EndRecord)
            break;
    }
    const double ms = static_cast<double>(elapsed.nsecsElapsed()) / 1e6;
    ::close(fd);
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 2000;
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("qdx_rem108_e.hex"));
    const QString small = dir.filePath(QStringLiteral("qdx_rem109_e.hex"));
    const QStringList largeTexts = writeRemoteFile(large, records);
    const QStringList smallTexts = writeRemoteFile(small, SmallRecordCount);
    const qsizetype largeCount = largeTexts.size();
    const qsizetype smallCount = smallTexts.size();

    QProcess simulator;
    const QString device = startSimulator(simulator, {"--instant"});

    const double largeMs = timedUpdate(large, {device}, Card);
    const double smallMs = timedUpdate(small, {device}, Card);
    const double minimalLargeMs = minimalDownload(device, largeTexts);
    const double minimalSmallMs = minimalDownload(device, smallTexts);
    simulator.terminate();
    simulator.waitForFinished();

    const double recordDifference = static_cast<double>(largeCount - smallCount);
    const double perRecordMs = (largeMs - smallMs) / recordDifference;
    const double minimalPerRecordMs = (minimalLargeMs - minimalSmallMs) / recordDifference;
    const double wireMs = protocol::RecordLength * protocol::CharacterTimeMicroseconds / 1000;
    std::printf("quorlink update of one card over %s, cards answering at once\n",
                qPrintable(device));
    std::printf("  %lld records: %.0f ms; %lld records: %.0f ms\n",
                static_cast<long long>(largeCount), largeMs, static_cast<long long>(smallCount),
                smallMs);
    std::printf("  per record: %.3f ms; a minimal sender: %.3f ms; wire time of one record: "
                "%.1f ms\n",
                perRecordMs, minimalPerRecordMs, wireMs);
    std::printf("  added over the minimal sender: %.4f of the wire time (target at most 0.005)\n",
                (perRecordMs - minimalPerRecordMs) / wireMs);
    return 0;
}
