#include "faultinjector.h"

#include <QStringList>

#include <numeric>

namespace quorlink::sim {

bool FaultInjector::strikes(Fault fault)
{
    const double chance = m_chances[index(fault)];
    if (chance <= 0.0)
        return false;
    // The generator's numbers are the same everywhere; the standard
    // distributions are not, so a seed would replay differently elsewhere.
    if (static_cast<double>(m_random()) / 4294967296.0 >= chance)
        return false;
    ++m_counts[index(fault)];
    return true;
}

int FaultInjector::between(int low, int high)
{
    const auto range = static_cast<std::uint32_t>(high - low) + 1;
    return low + static_cast<int>(m_random() % range);
}

int FaultInjector::totalCount() const
{
    return std::accumulate(m_counts.begin(), m_counts.end(), 0);
}

void FaultInjector::vanish() const
{
    if (m_vanish)
        m_vanish();
}

QString FaultInjector::name(Fault fault)
{
    switch (fault) {
    case Fault::Noise:
        return QStringLiteral("noise");
    case Fault::DroppedByte:
        return QStringLiteral("dropped byte");
    case Fault::DuplicatedByte:
        return QStringLiteral("duplicated byte");
    case Fault::SplitReply:
        return QStringLiteral("split reply");
    case Fault::LateReply:
        return QStringLiteral("late reply");
    case Fault::AnswerForAnother:
        return QStringLiteral("answer for another card");
    case Fault::FalseAcknowledgement:
        return QStringLiteral("false acknowledgement");
    case Fault::DeviceVanished:
        return QStringLiteral("device vanished");
    }
    return {};
}

QString FaultInjector::summary() const
{
    QStringList parts;
    for (int kind = 0; kind < FaultKindCount; ++kind) {
        const auto fault = static_cast<Fault>(kind);
        if (count(fault) != 0)
            parts << QStringLiteral("%1 %2").arg(name(fault)).arg(count(fault));
    }
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

} // namespace quorlink::sim
