// A remote update of a 2,000-record firmware file in real time, against the
// simulated switch with the wire modelled: the download to one card, the
// programming wait and the version read-back. Prints the elapsed time
// against the protocol's own minimum (the modelled wire and card time plus
// the fixed waits and pauses) and the process CPU time against the elapsed
// time; asserts nothing but that the card stored the file's records.
// Targets: below 1.02 and below 0.05.
//
//   bench_update [--coarse]   (the window timer of Tamber instead of the
//                               precise timer of Update)

#include "firmwaremaker.h"
#include "link/protocol.h"
#include "link/updaterun.h"
#include "link/versionrun.h"
#include "sim/serialwire.h"

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace quorlink;
namespace protocol = link::protocol;
namespace maker = firmware::maker;

namespace {

constexpr int RecordCount = 2000;
constexpr int Card = 7;

// 1,999 records as a file holds them (each followed by CR LF), then the
// end record; the version record is among them.
QStringList fileRecords()
{
    const maker::Image image =
        maker::makeImage(0x0000, RecordCount * 32, QStringLiteral("QLREM ver1.08 US"), 1);
    QStringList records = maker::FirmwareMaker(1).imageRecordTexts(image).mid(0, RecordCount - 1);
    for (QString& record : records)
        record += QStringLiteral("\r\n");
    records << QStringLiteral(":00000001FF\r\n");
    return records;
}

std::int64_t pauseMicroseconds()
{
    return link::Link::PauseMs * 1000;
}

// The download: three 10 ms sleeps of the address phase and the 0x00 on the
// wire (the earlier bytes leave during the sleeps), the card's delay and its
// ready byte; per record its characters on the wire, the card's delay and
// the acknowledgement; the pause after the last.
std::int64_t downloadMinimum(const QStringList& records, int cardDelayMs)
{
    const std::int64_t answer = cardDelayMs * 1000 + sim::linkWireMicroseconds(1);
    std::int64_t total = 3 * link::Link::PacingMs * 1000 + sim::linkWireMicroseconds(1) + answer;
    for (qsizetype i = 0; i + 1 < records.size(); ++i)
        total += sim::linkWireMicroseconds(protocol::RecordLength) + answer;
    total += sim::linkWireMicroseconds(static_cast<int>(protocol::EndRecord.size())) + answer;
    return total + pauseMicroseconds();
}

// 101 steps of the red bar and the pause after them.
std::int64_t programmingWaitMinimum()
{
    return 101 * link::UpdateRun::RemoteProgrammingStepMs * 1000 + pauseMicroseconds();
}

// The version query of one card: its first pause, two sleeps, the 0x00, the
// card's delay and reply, the pause after the answer and the two at the end.
std::int64_t readBackMinimum(const sim::SimulatedCard& card, const QString& version)
{
    const int replyBytes = static_cast<int>(version.size()) + 1;
    return 4 * pauseMicroseconds() + 2 * link::Link::PacingMs * 1000 +
           sim::linkWireMicroseconds(1) + card.replyDelayMilliseconds() * 1000 +
           sim::linkWireMicroseconds(replyBytes);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const bool coarse = application.arguments().contains(QStringLiteral("--coarse"));

    BenchLink bench(coarse);
    link::Link& link = bench.link;
    const CountingPrompts& prompts = bench.prompts;
    SilentView view;

    link::UpdatePlan plan;
    plan.scope = link::Scope::RemoteCards;
    plan.records = fileRecords();
    for (const QString& record : plan.records)
        plan.fileLength += record.size();
    plan.remoteCards = {Card};
    plan.remoteCardCount = 63;

    const sim::SimulatedCard& card = bench.switchBox->card(Card);
    const double downloadMs = downloadMinimum(plan.records, card.replyDelayMilliseconds()) / 1000.0;
    const double minimumMs = downloadMs + programmingWaitMinimum() / 1000.0 +
                             readBackMinimum(card, QStringLiteral("QLREM ver1.08 US")) / 1000.0;

    link::RemoteCardFlags flags{};
    link::UpdateRun run(link, view, [&](link::Scope scope) {
        link::VersionRun(link, view, {}).getVersions(scope, plan.remoteCards);
    });
    const double cpuBefore = processCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    run.run(plan, flags);
    const double elapsedMs = elapsed.nsecsElapsed() / 1e6;
    const double cpuMs = (processCpuSeconds() - cpuBefore) * 1000;

    QStringList expected;
    for (qsizetype i = 0; i + 1 < plan.records.size(); ++i)
        expected << plan.records.at(i).left(protocol::RecordLength);
    expected << QString(protocol::EndRecord);
    const bool stored = card.images() == QList<QStringList>{expected};

    std::printf("remote update of card %d with %d records (%s timer): %s, %d messages\n", Card,
                static_cast<int>(plan.records.size()), coarse ? "coarse" : "precise",
                stored ? "image stored" : "IMAGE NOT STORED", prompts.messages);
    std::printf("elapsed %.1f ms, protocol minimum %.1f ms (download %.1f ms): ratio %.4f "
                "(target < 1.02)\n",
                elapsedMs, minimumMs, downloadMs, elapsedMs / minimumMs);
    std::printf("process CPU %.1f ms: CPU / elapsed %.4f (target < 0.05)\n", cpuMs,
                cpuMs / elapsedMs);
    return stored && prompts.messages == 0 ? 0 : 1;
}
