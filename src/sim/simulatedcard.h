#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>

namespace quorlink::sim {

// What a card sends back to one record: one byte, or nothing at all.
using Answer = std::optional<std::uint8_t>;
inline constexpr Answer NoAnswer = std::nullopt;

// One card of the simulated switch: its identity (present, version texts),
// the faults a test gives it, and what it went through (images received,
// resets). The switch drives the protocol; the card decides what to answer.
class SimulatedCard
{
public:
    explicit SimulatedCard(int number) : m_number(number) {}

    int number() const { return m_number; }

    SimulatedCard& setPresent(bool present);
    bool isPresent() const { return m_present; }
    SimulatedCard& setFirmwareVersion(const QString& text);
    QString firmwareVersion() const { return m_firmwareVersion; }
    SimulatedCard& setHardwareVersion(const QString& text);
    QString hardwareVersion() const { return m_hardwareVersion; }

    // Faults.
    // Answers every version query with "Not responding", as the switch does
    // for a card it has lost; takes no part in resets and downloads.
    SimulatedCard& setNotResponding(bool notResponding);
    // Never answers anything.
    SimulatedCard& setSilent(bool silent);
    // Time between the last byte of a request and the card's first reply byte.
    SimulatedCard& setReplyDelay(int milliseconds);
    int replyDelayMilliseconds() const { return m_replyDelayMs; }
    // A version reply pauses for `gapMilliseconds` after its first `firstBytes` bytes.
    SimulatedCard& setSplitReply(int firstBytes, int gapMilliseconds);
    // Bytes sent after the 0xFF that ends a version reply.
    SimulatedCard& setTrailingBytes(const QByteArray& bytes);
    // Replies to the next downloads' address phases, one per download; an empty
    // entry means no reply. Once used up the card answers "R" (0x52).
    SimulatedCard& scriptReadyReplies(const QList<QByteArray>& replies);
    // The same for the acknowledgements of the next resets.
    SimulatedCard& scriptResetReplies(const QList<QByteArray>& replies);
    // Answers to the next attempts at record `record` of a download (0 is the
    // first record; the end record has the next number after the last data
    // record), used up one per attempt; afterwards the record is accepted
    // (0x06). Scripts outlive a download, so they apply to the next attempts
    // wherever they come.
    SimulatedCard& scriptRecordAnswers(int record, const QList<Answer>& answers);
    // Extra time before the answers to the next attempts at record `record`,
    // one per attempt (for answers that arrive after the PC gave up waiting).
    SimulatedCard& delayRecordAnswers(int record, const QList<int>& milliseconds);

    // What happened to the card.
    // Every download completed with an acknowledged end record, in order; each
    // is the list of records as received (the end record included).
    const QList<QStringList>& images() const { return m_images; }
    // The times (microseconds) at which the card was told to restart.
    const QList<std::int64_t>& resetTimes() const { return m_resetTimes; }

    // Used by the switch.
    // Answers version queries at all (possibly "Not responding").
    bool answersQueries() const { return m_present && !m_silent; }
    // Takes part in resets and downloads.
    bool takesPart() const { return answersQueries() && !m_notResponding; }
    QByteArray versionReply(std::uint8_t command) const;
    int splitAfterBytes() const { return m_splitAfterBytes; }
    int splitGapMilliseconds() const { return m_splitGapMs; }
    QByteArray nextReadyReply();
    QByteArray nextResetReply();
    Answer answerRecord(int record);
    int recordAnswerDelayMilliseconds(int record);
    void acceptImage(const QStringList& records);
    void noteReset(std::int64_t time) { m_resetTimes.append(time); }

private:
    int m_number;
    bool m_present = true;
    QString m_firmwareVersion;
    QString m_hardwareVersion;
    bool m_notResponding = false;
    bool m_silent = false;
    int m_replyDelayMs = 0;
    int m_splitAfterBytes = 0;
    int m_splitGapMs = 0;
    QByteArray m_trailingBytes;
    QList<QByteArray> m_readyReplies;
    QList<QByteArray> m_resetReplies;
    std::map<int, QList<Answer>> m_recordAnswers;
    std::map<int, QList<int>> m_recordDelays;
    QList<QStringList> m_images;
    QList<std::int64_t> m_resetTimes;
};

} // namespace quorlink::sim
