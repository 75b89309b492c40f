#include "simulatedswitch.h"

#include "link/protocol.h"
#include "simlogging.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace quorlink::sim {

namespace protocol = link::protocol;

namespace {

// The cards receive nine bits per character at the link's speed; a byte sent
// at another speed or without a parity bit reaches them as noise.
std::optional<bool> ninthBit(std::uint8_t value, const LineSettings& settings)
{
    if (settings.baud != protocol::BaudRate || settings.dataBits != 8)
        return std::nullopt;
    const bool oddOnes = std::popcount(value) % 2 == 1;
    switch (settings.parity) {
    case Parity::Mark:
        return true;
    case Parity::Space:
        return false;
    case Parity::Even:
        return oddOnes;
    case Parity::Odd:
        return !oddOnes;
    case Parity::None:
        return std::nullopt;
    }
    return std::nullopt;
}

bool isAddress(std::uint8_t value)
{
    return value == protocol::AllRemoteCardsAddress ||
           (value > protocol::AddressBase &&
            value <= protocol::addressByte(protocol::LastRemoteCard));
}

bool isCommand(std::uint8_t value)
{
    return value == protocol::FirmwareVersionCommand || value == protocol::HardwareVersionCommand ||
           value == protocol::DownloadCommand || value == protocol::ResetCommand;
}

// A group answers as one card: with the first answer in card order that
// differs from the normal one, so that one troubled card is enough to show.
template <typename Value> Value groupAnswer(const std::vector<Value>& answers, const Value& normal)
{
    const auto odd = std::find_if(answers.begin(), answers.end(),
                                  [&normal](const Value& answer) { return answer != normal; });
    return odd == answers.end() ? normal : *odd;
}

const QByteArray readyByte(1, static_cast<char>(protocol::Ready));

} // namespace

SimulatedSwitch::SimulatedSwitch(TimeSource& time) : m_time(time)
{
    for (int number = protocol::ManagementCard; number <= protocol::LastRemoteCard; ++number)
        m_cards[number - 1] = std::make_unique<SimulatedCard>(number);
}

SimulatedSwitch::~SimulatedSwitch() = default;

std::unique_ptr<SimulatedSwitch> SimulatedSwitch::standard(TimeSource& time)
{
    auto result = std::make_unique<SimulatedSwitch>(time);
    result->card(protocol::ManagementCard)
        .setFirmwareVersion(QStringLiteral("QLMGR ver2.31 US"))
        .setHardwareVersion(QStringLiteral("HW rev C"))
        .setReplyDelay(3);
    for (int number = protocol::FirstRemoteCard; number <= protocol::LastRemoteCard; ++number) {
        result->card(number)
            .setFirmwareVersion(QStringLiteral("QLREM ver1.07 US"))
            .setHardwareVersion(QStringLiteral("HW rev B"))
            .setReplyDelay(2);
    }
    return result;
}

SimulatedCard& SimulatedSwitch::card(int number)
{
    if (number < protocol::ManagementCard || number > protocol::LastRemoteCard)
        throw std::out_of_range("no such card in the switch");
    return *m_cards[number - 1];
}

const SimulatedCard& SimulatedSwitch::card(int number) const
{
    return const_cast<SimulatedSwitch*>(this)->card(number);
}

void SimulatedSwitch::setRemoteCardsPresent(const QList<int>& cards)
{
    for (int number = protocol::FirstRemoteCard; number <= protocol::LastRemoteCard; ++number)
        card(number).setPresent(cards.contains(number));
}

void SimulatedSwitch::receive(const QByteArray& bytes, const LineSettings& settings)
{
    const std::int64_t now = m_time.nowMicroseconds();
    const int bits = bitsPerCharacter(settings);
    for (const char byte : bytes) {
        const auto value = static_cast<std::uint8_t>(byte);
        const std::int64_t crossed =
            m_wireTimeModelled ? m_toSwitch.send(now, settings.baud, bits) : now;
        m_trace.add({Direction::PcToSwitch, value, settings.parity, crossed});
        const std::optional<bool> addressing = ninthBit(value, settings);
        if (!addressing)
            continue;
        if (*addressing)
            onAddressByte(value, now);
        else
            onDataByte(value, crossed, now);
        if (strikes(Fault::DeviceVanished)) {
            // The rest of the write never reaches the cards.
            m_faults->vanish();
            return;
        }
    }
}

int SimulatedSwitch::arrivedCount() const
{
    const std::int64_t now = m_time.nowMicroseconds();
    const auto firstPending =
        std::find_if(m_replies.begin(), m_replies.end(),
                     [now](const PendingByte& byte) { return byte.arrival > now; });
    return static_cast<int>(firstPending - m_replies.begin());
}

QByteArray SimulatedSwitch::takeArrived()
{
    QByteArray result;
    for (int count = arrivedCount(); count > 0; --count) {
        result.append(static_cast<char>(m_replies.front().value));
        m_replies.pop_front();
    }
    return result;
}

std::optional<std::int64_t> SimulatedSwitch::firstUntakenArrivalMicroseconds() const
{
    if (m_replies.empty())
        return std::nullopt;
    return m_replies.front().arrival;
}

void SimulatedSwitch::discardArrived()
{
    m_replies.erase(m_replies.begin(), m_replies.begin() + arrivedCount());
}

// Under mark parity the cards follow the address phase: an optional reset
// signature, an address byte, a command byte, possibly several such
// selections. Whatever a card was doing before, a mark byte starts anew.
void SimulatedSwitch::onAddressByte(std::uint8_t value, std::int64_t now)
{
    if (m_stage != Stage::Addressing) {
        m_stage = Stage::Addressing;
        m_requestStart = now;
        m_selections.clear();
        m_pendingAddress.reset();
        m_signatureHeard = 0;
        m_recordText.clear();
    }
    const QLatin1String signature = protocol::ResetSignature;
    if (isAddress(value)) {
        m_pendingAddress = value;
        m_addressSigned = m_signatureHeard == signature.size();
        m_signatureHeard = 0;
    } else if (isCommand(value) && m_pendingAddress) {
        // Without its signature a reset command is taken as line noise.
        if (value != protocol::ResetCommand || m_addressSigned)
            m_selections.push_back({*m_pendingAddress, value});
        m_pendingAddress.reset();
        m_signatureHeard = 0;
    } else if (m_signatureHeard < signature.size() &&
               value == static_cast<std::uint8_t>(signature[m_signatureHeard].toLatin1())) {
        ++m_signatureHeard;
    } else {
        m_signatureHeard = value == static_cast<std::uint8_t>(signature[0].toLatin1()) ? 1 : 0;
    }
}

void SimulatedSwitch::onDataByte(std::uint8_t value, std::int64_t time, std::int64_t now)
{
    if (m_stage == Stage::Addressing) {
        if (value == protocol::EndOfAddressPhase)
            endAddressPhase(time);
        return;
    }
    if (m_stage != Stage::Download)
        return;
    if (m_recordText.isEmpty())
        m_requestStart = now;
    m_recordText.append(QChar(static_cast<char16_t>(value)));
    if (m_recordText == protocol::EndRecord || m_recordText.size() == protocol::RecordLength) {
        const QString record = m_recordText;
        m_recordText.clear();
        onRecord(record, time);
    }
}

// The space-parity 0x00 hands the line to the cards selected. When a phase
// mixes commands, the last one decides what the phase is.
void SimulatedSwitch::endAddressPhase(std::int64_t time)
{
    m_stage = Stage::Idle;
    std::vector<Selection> selections;
    selections.swap(m_selections);
    m_pendingAddress.reset();
    if (selections.empty())
        return;
    const std::uint8_t command = selections.back().command;
    std::erase_if(selections,
                  [command](const Selection& selection) { return selection.command != command; });
    switch (command) {
    case protocol::FirmwareVersionCommand:
    case protocol::HardwareVersionCommand:
        answerVersionQuery(selections.back(), time);
        break;
    case protocol::ResetCommand:
        resetCards(cardsAddressedBy(selections), time);
        break;
    case protocol::DownloadCommand:
        startDownload(cardsAddressedBy(selections), time);
        break;
    default:
        break;
    }
}

// Only one card can answer a version query; the all-cards address gets none.
void SimulatedSwitch::answerVersionQuery(const Selection& selection, std::int64_t time)
{
    if (selection.address == protocol::AllRemoteCardsAddress)
        return;
    const int asked = selection.address - protocol::AddressBase;
    doubtIfLineBusy({asked});
    SimulatedCard* answering = &card(asked);
    if (strikes(Fault::AnswerForAnother)) {
        answering = &card(someOtherCard(asked));
        m_doubtful.insert(asked);
    }
    if (!answering->answersQueries()) {
        qCDebug(lcSim) << "card" << answering->number() << "does not answer the version query";
        return;
    }
    send(answering->versionReply(selection.command),
         time + std::int64_t{answering->replyDelayMilliseconds()} * 1000, {asked},
         answering->splitAfterBytes(), answering->splitGapMilliseconds());
}

void SimulatedSwitch::resetCards(const std::vector<int>& cards, std::int64_t time)
{
    doubtIfLineBusy(cards);
    const std::vector<SimulatedCard*> group = groupOf(cards);
    if (group.empty()) {
        answerInTheirPlace(cards, time);
        return;
    }
    std::vector<QByteArray> replies;
    for (SimulatedCard* member : group) {
        member->noteReset(time);
        replies.push_back(member->nextResetReply());
    }
    qCDebug(lcSim) << "reset of" << group.size() << "card(s)";
    send(groupAnswer(replies, readyByte), groupReplyTime(group, time), cards);
}

void SimulatedSwitch::startDownload(const std::vector<int>& cards, std::int64_t time)
{
    doubtIfLineBusy(cards);
    const std::vector<SimulatedCard*> group = groupOf(cards);
    if (group.empty()) {
        answerInTheirPlace(cards, time); // and then takes no records
        return;
    }
    m_stage = Stage::Download;
    m_downloadCards = cards;
    m_recordText.clear();
    m_acceptedRecords.clear();
    m_unstored.clear();
    std::vector<QByteArray> replies;
    for (SimulatedCard* member : group)
        replies.push_back(member->nextReadyReply());
    qCDebug(lcSim) << "download to" << group.size() << "card(s)";
    send(groupAnswer(replies, readyByte), groupReplyTime(group, time), cards);
}

// A refused or unanswered record is expected again; an accepted one moves
// the cards on to the next, and the accepted end record completes the image.
// The record just accepted, sent again because its acknowledgement came too
// late, writes the same bytes to the same addresses: it is acknowledged and
// changes nothing.
void SimulatedSwitch::onRecord(const QString& record, std::int64_t time)
{
    const std::vector<SimulatedCard*> group = groupOf(m_downloadCards);
    if (group.empty())
        return;
    doubtIfLineBusy(m_downloadCards);
    if (!m_acceptedRecords.isEmpty() && record == m_acceptedRecords.last()) {
        send(QByteArray(1, static_cast<char>(protocol::RecordAccepted)),
             groupReplyTime(group, time), m_downloadCards);
        return;
    }
    // Noise on the way to the cards spoils the record's checksum.
    if (strikes(Fault::Noise)) {
        send(QByteArray(1, static_cast<char>(protocol::RecordRefused)), groupReplyTime(group, time),
             m_downloadCards);
        return;
    }
    const int index = static_cast<int>(m_acceptedRecords.size());
    std::vector<Answer> answers;
    int extraDelayMs = 0;
    for (SimulatedCard* member : group) {
        answers.push_back(member->answerRecord(index));
        extraDelayMs = std::max(extraDelayMs, member->recordAnswerDelayMilliseconds(index));
    }
    const Answer answer = groupAnswer(answers, Answer{protocol::RecordAccepted});
    if (!answer)
        return;
    send(QByteArray(1, static_cast<char>(*answer)),
         groupReplyTime(group, time) + std::int64_t{extraDelayMs} * 1000, m_downloadCards);
    if (*answer == protocol::DownloadAborted) {
        m_stage = Stage::Idle;
    } else if (*answer == protocol::RecordAccepted) {
        m_acceptedRecords.append(record);
        for (SimulatedCard* member : group) {
            if (strikes(Fault::FalseAcknowledgement)) {
                m_unstored[member->number()].insert(index);
                m_doubtful.insert(member->number());
            }
        }
        if (record == protocol::EndRecord) {
            for (SimulatedCard* member : group)
                storeImage(*member);
            qCDebug(lcSim) << "image of" << m_acceptedRecords.size() << "records stored";
            m_stage = Stage::Idle;
        }
    }
}

// A card keeps what it really stored: without the records it only claimed,
// and nothing at all when the end record was among them.
void SimulatedSwitch::storeImage(SimulatedCard& member)
{
    const auto unstored = m_unstored.find(member.number());
    if (unstored == m_unstored.end()) {
        member.acceptImage(m_acceptedRecords);
        return;
    }
    if (unstored->second.contains(static_cast<int>(m_acceptedRecords.size()) - 1))
        return;
    QStringList stored;
    for (int i = 0; i < m_acceptedRecords.size(); ++i) {
        if (!unstored->second.contains(i))
            stored << m_acceptedRecords.at(i);
    }
    member.acceptImage(stored);
}

std::vector<int> SimulatedSwitch::cardsAddressedBy(const std::vector<Selection>& selections) const
{
    std::vector<int> result;
    for (const Selection& selection : selections) {
        if (selection.address == protocol::AllRemoteCardsAddress) {
            for (int number = protocol::FirstRemoteCard; number <= protocol::LastRemoteCard;
                 ++number)
                result.push_back(number);
        } else {
            result.push_back(selection.address - protocol::AddressBase);
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

std::vector<SimulatedCard*> SimulatedSwitch::groupOf(const std::vector<int>& cards)
{
    std::vector<SimulatedCard*> result;
    for (const int number : cards) {
        if (card(number).takesPart())
            result.push_back(&card(number));
    }
    return result;
}

// A group answers when its slowest member is ready.
std::int64_t SimulatedSwitch::groupReplyTime(const std::vector<SimulatedCard*>& group,
                                             std::int64_t time) const
{
    int delayMs = 0;
    for (const SimulatedCard* member : group)
        delayMs = std::max(delayMs, member->replyDelayMilliseconds());
    return time + std::int64_t{delayMs} * 1000;
}

// Every byte wakes a blocked wait when it arrives, so a reader that waits
// sees a reply grow byte by byte; one that sleeps meanwhile finds several
// bytes in one read.
void SimulatedSwitch::send(QByteArray bytes, std::int64_t readyAt,
                           const std::vector<int>& answering, int splitAfter, int gapMilliseconds)
{
    if (m_faults && tamper(bytes, readyAt, splitAfter, gapMilliseconds))
        m_doubtful.insert(answering.begin(), answering.end());
    std::int64_t ready = readyAt;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (splitAfter > 0 && i == splitAfter)
            ready = (m_wireTimeModelled ? m_toPc.freeAt() : ready) +
                    std::int64_t{gapMilliseconds} * 1000;
        const auto value = static_cast<std::uint8_t>(bytes[i]);
        const std::int64_t arrival =
            m_wireTimeModelled ? m_toPc.send(ready, protocol::BaudRate, protocol::BitsPerCharacter)
                               : ready;
        m_replies.push_back({value, arrival});
        m_trace.add({Direction::SwitchToPc, value, Parity::None, arrival});
        m_time.wakeAt(arrival);
    }
}

// Each line fault strikes a reply at most once. A split or late reply keeps
// its bytes: the PC gets the whole answer or none, and what arrives after it
// gave up is seen by the next exchange's check of the line.
bool SimulatedSwitch::tamper(QByteArray& bytes, std::int64_t& readyAt, int& splitAfter,
                             int& gapMilliseconds)
{
    FaultInjector& faults = *m_faults;
    bool changed = false;
    if (faults.strikes(Fault::Noise)) {
        QByteArray noise;
        for (int n = faults.between(1, 3); n > 0; --n)
            noise.append(static_cast<char>(faults.between(0, 255)));
        bytes.insert(faults.between(0, static_cast<int>(bytes.size())), noise);
        changed = true;
    }
    if (!bytes.isEmpty() && faults.strikes(Fault::DroppedByte)) {
        bytes.remove(faults.between(0, static_cast<int>(bytes.size()) - 1), 1);
        changed = true;
    }
    if (!bytes.isEmpty() && faults.strikes(Fault::DuplicatedByte)) {
        const int at = faults.between(0, static_cast<int>(bytes.size()) - 1);
        bytes.insert(at, bytes.at(at));
        changed = true;
    }
    if (bytes.size() >= 2 && faults.strikes(Fault::SplitReply)) {
        splitAfter = faults.between(1, static_cast<int>(bytes.size()) - 1);
        gapMilliseconds = faults.between(1, 400);
    }
    if (faults.strikes(Fault::LateReply))
        readyAt += std::int64_t{faults.between(250, 1500)} * 1000;
    return changed;
}

void SimulatedSwitch::doubtIfLineBusy(const std::vector<int>& cards)
{
    const bool busy =
        std::any_of(m_replies.begin(), m_replies.end(),
                    [this](const PendingByte& byte) { return byte.arrival > m_requestStart; });
    if (busy)
        m_doubtful.insert(cards.begin(), cards.end());
}

// A card that was not addressed says "R" for the silent cards that were.
void SimulatedSwitch::answerInTheirPlace(const std::vector<int>& cards, std::int64_t time)
{
    if (cards.empty() || !strikes(Fault::AnswerForAnother))
        return;
    m_doubtful.insert(cards.begin(), cards.end());
    send(readyByte, time, cards);
}

int SimulatedSwitch::someOtherCard(int number)
{
    const int other = m_faults->between(protocol::ManagementCard, protocol::LastRemoteCard - 1);
    return other >= number ? other + 1 : other;
}

} // namespace quorlink::sim
