// libFuzzer target: any bytes as what the cards send back while the link runs
// one operation, on the virtual clock, so every run is deterministic.
//
// Input: byte 0 chooses the operation (low three bits: a version run or a
// reset, or with bit 5 a download and its target), a device that vanishes
// (bit 3) or a Cancel (bit 4); byte 1 chooses the remote cards and when the
// device vanishes or Cancel comes. The rest is a list of chunks, each a
// delay in milliseconds after the previous one, a length and that many
// bytes, handed to the port at that virtual time.
//
// Whatever arrives, the operation must end (a wait that would block for
// ever throws from the clock), an answer shown carries no terminator, a
// download reported done had a ready byte and an acknowledgement per
// record, the error is told at most once, and the link is left at rest.

#include "link/download.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/resetrun.h"
#include "link/versionrun.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "recordingevents.h"
#include "recordingprompts.h"
#include "sim/virtualclock.h"

#include <array>
#include <cstdio>

namespace {

using namespace quorlink;
namespace protocol = link::protocol;

#define require(condition)                                                                  \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__);            \
            __builtin_trap();                                                               \
        }                                                                                   \
    } while (false)

// The cards' side of the wire. It outlives each opened device, so a reopened
// port sees only what arrives after the reopen; every operation on it counts
// down to the device vanishing.
struct Line final : DeviceProvider
{
    QByteArray received;
    int operationsLeft = -1; // -1: never vanishes
    bool vanished = false;

    void operate()
    {
        vanished = vanished || (operationsLeft > 0 && --operationsLeft == 0);
        if (vanished)
            throw RuntimeError(RuntimeError::DeviceIo, QStringLiteral("fuzz device gone"));
    }

    struct Device final : SerialDevice
    {
        Line& line;
        explicit Device(Line& l) : line(l) { line.received.clear(); }
        void apply(const LineSettings&) override { line.operate(); }
        void write(const QByteArray&) override { line.operate(); }
        int bytesWaiting() override { return line.operate(), int(line.received.size()); }
        QByteArray readAll() override { return line.operate(), std::exchange(line.received, {}); }
        void discardInput() override { line.operate(), line.received.clear(); }
    };

    std::unique_ptr<SerialDevice> open(int, const LineSettings&) override
    {
        if (vanished)
            throw RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("fuzz device gone"));
        return std::make_unique<Device>(*this);
    }
    QString deviceName(int) const override { return QStringLiteral("fuzz"); }
};

// Schedules the chunks; returns the virtual time of the last one.
std::int64_t scheduleChunks(sim::VirtualClock& clock, Line& line, const std::uint8_t* data,
                            std::size_t size)
{
    std::int64_t at = 0;
    for (std::size_t i = 0; i + 2 <= size;) {
        at += std::int64_t(data[i]) * 1000;
        const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 2);
        const QByteArray chunk(reinterpret_cast<const char*>(data + i + 2), qsizetype(length));
        clock.post(at, [&line, chunk] {
            if (!line.vanished)
                line.received += chunk;
        });
        i += 2 + length;
    }
    return at;
}

// One to four records (scrambled text is all the same to the link) to the
// management card, one remote card, all of them or the flagged group.
void runDownload(link::Link& link, test::RecordingEvents& view, int targetChoice,
                 const QList<int>& cards, const QByteArray& replies)
{
    QStringList records(1 + cards.size() % 4, QStringLiteral(":") + QString(76, u'A'));
    records << QString(protocol::EndRecord);
    link::RemoteCardFlags flags{};
    for (const int card : cards)
        flags[card - 2] = true;
    const int targets[4] = {link::DownloadTarget::ManagementCard, cards.front(),
                            link::DownloadTarget::AllRemoteCards,
                            link::DownloadTarget::FlaggedGroup};
    link::DownloadProgress progress;
    const bool done = link::FirmwareDownload(link, view)
                          .downloadToCard(targets[targetChoice], records, flags, progress);
    require(!done || (replies.contains(char(protocol::Ready)) &&
                      replies.count(char(protocol::RecordAccepted)) >= records.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const int operation = data[0] & 0x07;
    const std::uint8_t choice = data[1];

    sim::VirtualClock clock;
    Line line;
    CommPort port(line);
    port.setSettings(protocol::DataSettings);
    port.setCommPort(1);
    port.setPortOpen(true);
    auto timer1 = clock.createTimer();
    auto timer2 = clock.createTimer();
    test::RecordingPrompts prompts;
    test::RecordingEvents view;
    link::Link link(port, *timer1, *timer2, clock, prompts);

    if (data[0] & 0x08)
        line.operationsLeft = 1 + choice;
    if (data[0] & 0x10)
        clock.post(std::int64_t(choice) * 4000, [&link] { link.cancelRequested = true; });
    const std::int64_t lastChunk = scheduleChunks(clock, line, data + 2, size - 2);

    // Some of the remote cards, across both halves of the group flags.
    QList<int> cards;
    for (int bit = 0; bit < 8; ++bit) {
        if (choice & (1 << bit))
            cards << std::array{2, 3, 4, 17, 32, 33, 40, 64}[bit];
    }
    if (cards.isEmpty())
        cards << 2;
    {
        link::Link::Operation running(link);
        if (data[0] & 0x20) {
            runDownload(link, view, operation & 0x03, cards,
                        QByteArray(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2)));
        } else if (operation < 4) {
            // Management card firmware or hardware, remote cards, update mode.
            link::VersionRun(link, view, {operation == 1, operation == 3})
                .getVersions(operation < 2 ? link::Scope::ManagementCard : link::Scope::RemoteCards,
                             cards);
            for (const QString& answer : view.of(QStringLiteral("answer:")))
                require(!answer.contains(QChar(protocol::ReplyTerminator)));
        } else {
            // The management card, one remote card, some, all of the listed.
            const QList<int> chosen = operation == 5 ? cards.mid(0, 1) : cards;
            link::ResetRun(link, view).resetCards(operation == 4 ? link::ResetMode::ManagementCard
                                                                 : link::ResetMode::RemoteCards,
                                                  chosen, operation == 7 ? int(chosen.size()) : 63);
        }
    }
    require((data[0] & 0x20) || view.lines.constLast() == QStringLiteral("end"));

    // Every wait is bounded: nothing runs on much past the last byte sent.
    // (A download: a ready wait restarted ten times, five attempts for each of
    // five records, the creeps and pauses.)
    require(clock.nowMicroseconds() <= lastChunk + 60'000'000);
    require(!timer1->isEnabled() && !timer2->isEnabled());
    require(timer1->interval() == 1000 && timer2->interval() == 1000);
    // A device that has gone cannot be set to anything; the next operation
    // sets the parity it needs before writing.
    require(!port.portOpen() || line.vanished || port.settings() == protocol::DataSettings);
    require(prompts.messageCount() <= 1);
    return 0;
}
