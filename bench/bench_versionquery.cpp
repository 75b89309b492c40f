// A firmware version query of all 63 remote cards in real time, against the
// simulated switch with the wire modelled. Prints the elapsed time against
// the protocol's own minimum (its sleeps and pauses, the modelled wire and
// the cards' reply delays) and the process CPU time against the elapsed
// time; asserts nothing. Targets: below 1.05 and below 0.05.
//
//   bench_versionquery [--coarse]   (the window timer of Tamber instead of
//                                     the precise timer of Update)

#include "link/protocol.h"
#include "link/versionrun.h"
#include "sim/serialwire.h"

#include "benchsupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace quorlink;
namespace protocol = link::protocol;

namespace {

// Counts the answers; shows nothing.
class CountingView final : public SilentView
{
public:
    int answers = 0;
    int notResponding = 0;

    void cardAnswered(int, link::Answer answer, const QString&) override
    {
        ++answers;
        if (answer == link::Answer::NotResponding)
            ++notResponding;
    }
};

// What the run cannot go below, in microseconds: per card its two 10 ms
// sleeps, the closing 0x00 on the wire (the earlier bytes leave during the
// sleeps), the card's reply delay, its reply on the wire and the pause after
// the answer; for the run its first pause and the two pauses at its end.
std::int64_t protocolMinimumMicroseconds(const sim::SimulatedSwitch& switchBox,
                                         const QList<int>& cards)
{
    constexpr std::int64_t pause = link::Link::PauseMs * 1000;
    std::int64_t total = 3 * pause;
    for (const int card : cards) {
        const sim::SimulatedCard& simulated = switchBox.card(card);
        const int replyBytes =
            static_cast<int>(simulated.versionReply(protocol::FirmwareVersionCommand).size());
        total += 2 * link::Link::PacingMs * 1000 + sim::linkWireMicroseconds(1) +
                 simulated.replyDelayMilliseconds() * 1000 + sim::linkWireMicroseconds(replyBytes) +
                 pause;
    }
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const bool coarse = application.arguments().contains(QStringLiteral("--coarse"));

    BenchLink bench(coarse);
    link::Link& link = bench.link;
    const CountingPrompts& prompts = bench.prompts;
    CountingView view;

    QList<int> cards;
    for (int card = protocol::FirstRemoteCard; card <= protocol::LastRemoteCard; ++card)
        cards << card;
    const double minimumMs = protocolMinimumMicroseconds(*bench.switchBox, cards) / 1000.0;

    const double cpuBefore = processCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    link::VersionRun(link, view, {}).getVersions(link::Scope::RemoteCards, cards);
    const double elapsedMs = elapsed.nsecsElapsed() / 1e6;
    const double cpuMs = (processCpuSeconds() - cpuBefore) * 1000;

    std::printf("version query of %d remote cards (%s timer): %d answers, %d messages\n",
                static_cast<int>(cards.size()), coarse ? "coarse" : "precise", view.answers,
                prompts.messages);
    std::printf("elapsed %.1f ms, protocol minimum %.1f ms: ratio %.4f (target < 1.05)\n",
                elapsedMs, minimumMs, elapsedMs / minimumMs);
    std::printf("process CPU %.1f ms: CPU / elapsed %.4f (target < 0.05)\n", cpuMs,
                cpuMs / elapsedMs);
    return view.answers == cards.size() && prompts.messages == 0 ? 0 : 1;
}
