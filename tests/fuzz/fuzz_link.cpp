// libFuzzer target: any bytes as what the cards send back while the link runs
// one exchange, on the virtual clock, so every run is deterministic.
//
// Input: byte 0 chooses the exchange (low three bits, or with bit 5 a
// firmware download and its target) and a device that vanishes (bit 3) or a
// Cancel (bit 4); byte 1 chooses the remote cards, the number of records and
// when the device vanishes or Cancel comes. The rest is a list of chunks,
// each a delay in milliseconds after the previous chunk, a length and that
// many bytes, handed to the port at that virtual time.
//
// Whatever arrives, the exchange must end (a wait that would block for ever
// throws from the clock), every answer shown must be a terminated reply
// without its terminator, a download reported as done must have had an
// acknowledgement for each record, and the link must be left at rest: the port (when
// open on a device that still exists) at "19200,s,8,1", both timers disabled
// at 1000 ms.

#include "link/download.h"
#include "link/link.h"
#include "link/protocol.h"
#include "link/resetrun.h"
#include "link/versionrun.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "recordingprompts.h"
#include "recordingevents.h"
#include "sim/virtualclock.h"

#include <QByteArray>
#include <QLoggingCategory>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

namespace {

using namespace quorlink;
namespace protocol = link::protocol;

// A broken invariant names itself before the fuzzer reports the crash.
#define require(condition)                                                                  \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "broken: %s (line %d)\n", #condition, __LINE__);            \
            __builtin_trap();                                                               \
        }                                                                                   \
    } while (false)

// The wire as the cards' side fills it; it outlives each opened device, so a
// reopened port sees only what arrives after the reopen.
struct Line
{
    QByteArray received;
    int operationsLeft = -1; // the device vanishes when it reaches 0; -1 never
    bool vanished = false;

    void operate()
    {
        if (operationsLeft > 0 && --operationsLeft == 0)
            vanished = true;
        if (vanished)
            throw RuntimeError(RuntimeError::DeviceIo, QStringLiteral("fuzz device gone"));
    }
};

class FuzzDevice final : public SerialDevice
{
public:
    explicit FuzzDevice(Line& line) : m_line(line) { m_line.received.clear(); }

    void apply(const LineSettings&) override { m_line.operate(); }
    void write(const QByteArray&) override { m_line.operate(); }
    int bytesWaiting() override
    {
        m_line.operate();
        return int(m_line.received.size());
    }
    QByteArray readAll() override
    {
        m_line.operate();
        return std::exchange(m_line.received, QByteArray());
    }
    void discardInput() override
    {
        m_line.operate();
        m_line.received.clear();
    }

private:
    Line& m_line;
};

class FuzzProvider final : public DeviceProvider
{
public:
    explicit FuzzProvider(Line& line) : m_line(line) {}
    std::unique_ptr<SerialDevice> open(int, const LineSettings&) override
    {
        if (m_line.vanished)
            throw RuntimeError(RuntimeError::DeviceUnavailable, QStringLiteral("fuzz device gone"));
        return std::make_unique<FuzzDevice>(m_line);
    }
    QString deviceName(int) const override { return QStringLiteral("fuzz"); }

private:
    Line& m_line;
};

enum Exchange : std::uint8_t {
    ManagerFirmware,
    ManagerHardware,
    RemoteVersions,
    UpdateModeVersions,
    ManagerReset,
    OneRemoteReset,
    SomeRemoteResets,
    AllRemoteResets,
};

QList<int> remoteCardsOf(std::uint8_t mask)
{
    static constexpr int choices[8] = {2, 3, 4, 17, 32, 33, 40, 64};
    QList<int> cards;
    for (int bit = 0; bit < 8; ++bit) {
        if (mask & (1 << bit))
            cards << choices[bit];
    }
    if (cards.isEmpty())
        cards << 2;
    return cards;
}

// Schedules the chunks; returns the virtual time of the last one.
std::int64_t scheduleChunks(sim::VirtualClock& clock, Line& line, const std::uint8_t* data,
                            std::size_t size)
{
    std::int64_t at = 0;
    std::size_t i = 0;
    while (i + 2 <= size) {
        at += std::int64_t(data[i]) * 1000;
        const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 2);
        QByteArray chunk(reinterpret_cast<const char*>(data + i + 2), qsizetype(length));
        clock.post(at, [&line, chunk] {
            if (!line.vanished)
                line.received += chunk;
        });
        i += 2 + length;
    }
    return at;
}

// A download of 1 to 4 records (as stored, scrambled text is all the same
// to the link) to the management card, one remote card, all remote cards or
// the flagged group of the chosen cards.
void runDownload(link::Link& link, test::RecordingEvents& view, std::uint8_t targetChoice,
                 const QList<int>& cards, const std::uint8_t* data, std::size_t size)
{
    const QString record = QStringLiteral(":") + QString(76, u'A');
    QStringList records(1 + cards.size() % 4, record);
    records << QString(protocol::EndRecord);
    link::RemoteCardFlags flags{};
    for (const int card : cards)
        flags[card - 2] = true;
    const int targets[4] = {link::DownloadTarget::ManagementCard, cards.front(),
                            link::DownloadTarget::AllRemoteCards,
                            link::DownloadTarget::FlaggedGroup};
    link::DownloadProgress progress;
    link::FirmwareDownload download(link, view);
    const bool done = download.downloadToCard(targets[targetChoice % 4], records, flags, progress);
    // Done means the card was ready and took every record and the end record.
    const QByteArray replies(reinterpret_cast<const char*>(data), qsizetype(size));
    require(!done || (replies.contains(char(protocol::Ready)) &&
                      replies.count(char(protocol::RecordAccepted)) >= records.size()));
}

// A shown answer is a terminated reply without its terminator.
void checkAnswers(const test::RecordingEvents& view)
{
    for (const QString& answer : view.of(QStringLiteral("answer:")))
        require(!answer.contains(QChar(protocol::ReplyTerminator)));
}

} // namespace

// The link's notes of every ended exchange would only slow the fuzzer.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("quorlink.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const auto exchange = Exchange(data[0] & 0x07);
    const bool vanishes = data[0] & 0x08;
    const bool cancels = data[0] & 0x10;
    const bool downloads = data[0] & 0x20;
    const std::uint8_t choice = data[1];

    sim::VirtualClock clock;
    Line line;
    FuzzProvider provider(line);
    CommPort port(provider);
    port.setSettings(protocol::DataSettings);
    port.setCommPort(1);
    port.setPortOpen(true);
    auto timer1 = clock.createTimer();
    auto timer2 = clock.createTimer();
    test::RecordingPrompts prompts;
    test::RecordingEvents view;
    link::Link link(port, *timer1, *timer2, clock, prompts);

    if (vanishes)
        line.operationsLeft = 1 + choice;
    if (cancels)
        clock.post(std::int64_t(choice) * 4000, [&link] { link.cancelRequested = true; });
    const std::int64_t lastChunk = scheduleChunks(clock, line, data + 2, size - 2);

    const QList<int> cards = remoteCardsOf(choice);
    {
        link::Link::Operation operation(link);
        if (downloads) {
            runDownload(link, view, data[0] & 0x03, cards, data + 2, size - 2);
        } else if (exchange <= UpdateModeVersions) {
            link::VersionRun run(link, view,
                                 {exchange == ManagerHardware, exchange == UpdateModeVersions});
            const bool manager = exchange == ManagerFirmware || exchange == ManagerHardware;
            run.getVersions(manager ? link::Scope::ManagementCard : link::Scope::RemoteCards,
                            cards);
            require(view.lines.constLast() == QStringLiteral("end"));
            checkAnswers(view);
        } else {
            link::ResetRun run(link, view);
            const int mode = exchange == ManagerReset ? link::ResetMode::ManagementCard
                                                      : link::ResetMode::RemoteCards;
            const QList<int> chosen = exchange == OneRemoteReset ? cards.mid(0, 1) : cards;
            const int listed = exchange == AllRemoteResets ? int(chosen.size()) : 63;
            run.resetCards(mode, chosen, listed);
            require(view.lines.constLast() == QStringLiteral("end"));
        }
    }

    // Every wait is bounded: nothing runs on much past the last byte sent.
    // (A download: a ready wait restarted ten times, five attempts for each of
    // five records, the creeps and pauses.)
    const std::int64_t longestRun = 60'000'000;
    require(clock.nowMicroseconds() <= lastChunk + longestRun);
    require(!timer1->isEnabled() && !timer2->isEnabled());
    require(timer1->interval() == 1000 && timer2->interval() == 1000);
    // A device that has gone cannot be set to anything; the next operation
    // sets the parity it needs before writing.
    if (port.portOpen() && !line.vanished)
        require(port.settings() == protocol::DataSettings);
    // The communication error is told at most once per run.
    require(prompts.messageCount() <= 1);
    return 0;
}
