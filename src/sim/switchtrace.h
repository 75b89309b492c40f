#pragma once

#include "platform/serialdevice.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorlink::sim {

enum class Direction
{
    PcToSwitch,
    SwitchToPc
};

// One byte on the line. For the PC's bytes, `parity` is the port's parity
// when the byte was written and `time` is when it had finished crossing the
// wire; for the cards' bytes, `parity` is None and `time` is when the byte
// arrives at the PC.
struct TraceEntry
{
    Direction direction = Direction::PcToSwitch;
    std::uint8_t value = 0;
    Parity parity = Parity::None;
    std::int64_t time = 0;
    friend bool operator==(const TraceEntry&, const TraceEntry&) = default;
};

// A byte the PC wrote, as a test asserts it.
struct PcByte
{
    std::uint8_t value = 0;
    Parity parity = Parity::None;
    std::int64_t time = 0;
    friend bool operator==(const PcByte&, const PcByte&) = default;
};

// Every byte that crossed the line, in time order.
class SwitchTrace
{
public:
    void add(const TraceEntry& entry);
    void clear() { m_entries.clear(); }

    const std::vector<TraceEntry>& entries() const { return m_entries; }
    std::vector<TraceEntry> entries(Direction direction) const;

    std::vector<PcByte> pcBytes() const;
    QByteArray pcData() const;
    // The PC's bytes as "m81 m10 s00": parity letter and value in hex, the
    // compact form for asserting whole exchanges.
    QString pcText() const;
    QList<std::int64_t> pcTimes() const;

    QByteArray switchData() const;
    QList<std::int64_t> switchTimes() const;

private:
    std::vector<TraceEntry> m_entries;
};

// "-> m81 @573" or "<- 52 @13010": one entry as text, for failure messages.
QString describe(const TraceEntry& entry);

} // namespace quorlink::sim
