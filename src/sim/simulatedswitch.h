#pragma once

#include "faultinjector.h"
#include "platform/serialdevice.h"
#include "platform/timesource.h"
#include "serialwire.h"
#include "simulatedcard.h"
#include "switchtrace.h"

#include <QByteArray>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace quorlink::sim {

// A whole switch behind one serial line: the management card (1) and remote
// cards 2..64, which hear every byte the PC writes together with its parity
// bit and answer as the real cards do. Time comes from a TimeSource: the
// PC's bytes cross the wire one character time (11 bits at 19200 baud) after
// another, and every reply byte has the time at which it reaches the PC.
//
// Each reply byte wakes a blocked TimeSource::waitForEvent() when it
// arrives; the trace holds every byte's arrival time. Reply bytes keep
// arriving whatever the PC does
// with its port: a byte still on its way when the port is reopened arrives
// afterwards. Bytes the PC has written are on their way too and are not
// taken back by a reopen.
//
// How the cards listen: a mark-parity byte always (re)starts the address
// phase, in which "address, command" pairs select cards (a reset command
// counts only when the reset signature came right before its address); the
// space-parity 0x00 ends the phase, and the last command heard decides what
// it was. Several selected cards answer as one: when the slowest is ready,
// with the first answer in card order that is not the normal one. Bytes sent
// at another speed or without a parity bit, and bytes that fit no state, are
// ignored as line noise.
class SimulatedSwitch
{
public:
    // Every card present, with empty version texts and no faults.
    explicit SimulatedSwitch(TimeSource& time);
    ~SimulatedSwitch();
    SimulatedSwitch(const SimulatedSwitch&) = delete;
    SimulatedSwitch& operator=(const SimulatedSwitch&) = delete;

    // The switch used by --simulate: every card present, with version texts
    // such as "QLMGR ver2.31 US" and "QLREM ver1.07 US" and short reply delays.
    static std::unique_ptr<SimulatedSwitch> standard(TimeSource& time);

    TimeSource& time() const { return m_time; }

    // Card 1 is the management card, 2..64 the remote cards; throws
    // std::out_of_range for other numbers.
    SimulatedCard& card(int number);
    const SimulatedCard& card(int number) const;
    // Makes only the listed remote cards present (the management card stays).
    void setRemoteCardsPresent(const QList<int>& cards);

    // Off: bytes cross the wire in no time, so that a benchmark measures the
    // PC's side alone. On by default.
    void setWireTimeModelled(bool modelled) { m_wireTimeModelled = modelled; }

    // Random faults from `faults` (not owned; nullptr: none). What the cards
    // hold stays their own: a card that acknowledges a record it did not store
    // keeps the image it really received.
    void setFaultInjector(FaultInjector* faults) { m_faults = faults; }
    // The cards whose answers since the last clear may not be their own
    // words: a fault changed the bytes, another card answered for them, a
    // card claimed records it did not store, or bytes were still on their way
    // to the PC when they were asked. What the PC shows for them cannot be
    // held against what they hold.
    const std::set<int>& doubtfulCards() const { return m_doubtful; }
    void clearDoubtfulCards() { m_doubtful.clear(); }

    SwitchTrace& trace() { return m_trace; }
    const SwitchTrace& trace() const { return m_trace; }

    // The PC's side, used by the port: the bytes written with the port's
    // current line settings.
    void receive(const QByteArray& bytes, const LineSettings& settings);
    // Reply bytes that have arrived by now and not been taken.
    int arrivedCount() const;
    QByteArray takeArrived();
    void discardArrived();
    // When the first reply byte not yet taken arrives: ahead while it is on its
    // way, past when it arrived after the last take (time moves on between a
    // take and this question, and such a byte must not be forgotten). Empty
    // when every byte has been taken.
    std::optional<std::int64_t> firstUntakenArrivalMicroseconds() const;

private:
    enum class Stage
    {
        Idle,
        Addressing,
        Download
    };
    struct Selection
    {
        std::uint8_t address;
        std::uint8_t command;
    };
    struct PendingByte
    {
        std::uint8_t value;
        std::int64_t arrival;
    };

    void onAddressByte(std::uint8_t value, std::int64_t now);
    void onDataByte(std::uint8_t value, std::int64_t time, std::int64_t now);
    void endAddressPhase(std::int64_t time);
    void answerVersionQuery(const Selection& selection, std::int64_t time);
    void resetCards(const std::vector<int>& cards, std::int64_t time);
    void startDownload(const std::vector<int>& cards, std::int64_t time);
    void onRecord(const QString& record, std::int64_t time);
    void storeImage(SimulatedCard& member);
    std::vector<int> cardsAddressedBy(const std::vector<Selection>& selections) const;
    std::vector<SimulatedCard*> groupOf(const std::vector<int>& cards);
    std::int64_t groupReplyTime(const std::vector<SimulatedCard*>& group, std::int64_t time) const;
    // Reply bytes of the cards in `answering`, ready to leave at `readyAt`.
    void send(QByteArray bytes, std::int64_t readyAt, const std::vector<int>& answering,
              int splitAfter = 0, int gapMilliseconds = 0);
    // The line faults that may strike one reply; whether its bytes changed.
    bool tamper(QByteArray& bytes, std::int64_t& readyAt, int& splitAfter, int& gapMilliseconds);
    // Bytes that reached the PC since the current request (address phase or
    // record) began, or are still on their way, mingle with the answer of
    // `cards`.
    void doubtIfLineBusy(const std::vector<int>& cards);
    bool strikes(Fault fault) { return m_faults && m_faults->strikes(fault); }
    int someOtherCard(int number);
    void answerInTheirPlace(const std::vector<int>& cards, std::int64_t time);

    TimeSource& m_time;
    std::array<std::unique_ptr<SimulatedCard>, 64> m_cards;
    SwitchTrace m_trace;
    SerialWire m_toSwitch;
    SerialWire m_toPc;
    std::deque<PendingByte> m_replies;
    bool m_wireTimeModelled = true;
    FaultInjector* m_faults = nullptr;
    std::set<int> m_doubtful;

    Stage m_stage = Stage::Idle;
    // Address phase: how much of the reset signature has just been heard, an
    // address waiting for its command, and the complete selections so far.
    int m_signatureHeard = 0;
    bool m_addressSigned = false;
    std::optional<std::uint8_t> m_pendingAddress;
    std::vector<Selection> m_selections;
    // Download: the cards receiving, the record being assembled, the records
    // accepted so far.
    std::vector<int> m_downloadCards;
    QString m_recordText;
    QStringList m_acceptedRecords;
    // When the PC began writing the current address phase or record.
    std::int64_t m_requestStart = 0;
    // Per card, the records it acknowledged without storing them.
    std::map<int, std::set<int>> m_unstored;
};

} // namespace quorlink::sim
