#include "faultinjector.h"

#include <QStringList>

#include <numeric>

namespace quorlink::sim {

bool FaultInjector::strikes(Fault fault)
{
    const double chance = m_chances[index(fault)];
    if (chance <= 0.0)
        return false;
    if (std::uniform_real_distribution<double>(0.0, 1.0)(m_random) >= chance)
        return false;
    ++m_counts[index(fault)];
    return true;
}

int FaultInjector::between(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(m_random);
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
