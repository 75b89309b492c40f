#include "switchtrace.h"

#include <QStringList>

#include <algorithm>

namespace quorlink::sim {

namespace {

QChar parityLetter(Parity parity)
{
    static constexpr char letters[] = {'n', 'e', 'o', 'm', 's'};
    return QLatin1Char(letters[static_cast<int>(parity)]);
}

QString hexByte(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

// Replies are scheduled ahead of time, so an entry may belong before ones
// already recorded; equal times keep the order in which they were added.
void SwitchTrace::add(const TraceEntry& entry)
{
    const auto position = std::upper_bound(
        m_entries.begin(), m_entries.end(), entry.time,
        [](std::int64_t time, const TraceEntry& other) { return time < other.time; });
    m_entries.insert(position, entry);
}

std::vector<TraceEntry> SwitchTrace::entries(Direction direction) const
{
    std::vector<TraceEntry> result;
    std::copy_if(m_entries.begin(), m_entries.end(), std::back_inserter(result),
                 [direction](const TraceEntry& entry) { return entry.direction == direction; });
    return result;
}

std::vector<PcByte> SwitchTrace::pcBytes() const
{
    std::vector<PcByte> result;
    for (const TraceEntry& entry : entries(Direction::PcToSwitch))
        result.push_back({entry.value, entry.parity, entry.time});
    return result;
}

QByteArray SwitchTrace::pcData() const
{
    QByteArray result;
    for (const TraceEntry& entry : entries(Direction::PcToSwitch))
        result.append(static_cast<char>(entry.value));
    return result;
}

QString SwitchTrace::pcText() const
{
    QStringList parts;
    for (const TraceEntry& entry : entries(Direction::PcToSwitch))
        parts.append(parityLetter(entry.parity) + hexByte(entry.value));
    return parts.join(QLatin1Char(' '));
}

QList<std::int64_t> SwitchTrace::pcTimes() const
{
    QList<std::int64_t> result;
    for (const TraceEntry& entry : entries(Direction::PcToSwitch))
        result.append(entry.time);
    return result;
}

QByteArray SwitchTrace::switchData() const
{
    QByteArray result;
    for (const TraceEntry& entry : entries(Direction::SwitchToPc))
        result.append(static_cast<char>(entry.value));
    return result;
}

QList<std::int64_t> SwitchTrace::switchTimes() const
{
    QList<std::int64_t> result;
    for (const TraceEntry& entry : entries(Direction::SwitchToPc))
        result.append(entry.time);
    return result;
}

QString describe(const TraceEntry& entry)
{
    const QString arrow =
        entry.direction == Direction::PcToSwitch ? QStringLiteral("->") : QStringLiteral("<-");
    const QString parity =
        entry.direction == Direction::PcToSwitch ? QString(parityLetter(entry.parity)) : QString();
    return QStringLiteral("%1 %2%3 @%4").arg(arrow, parity, hexByte(entry.value)).arg(entry.time);
}

} // namespace quorlink::sim
