#include "virtualclock.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace quorlink::sim {

struct VirtualClock::TimerEntry
{
    int intervalMs = LinkTimer::RestingIntervalMs;
    bool enabled = false;
    std::int64_t due = 0;
    std::function<void()> tick;
};

class VirtualTimer final : public LinkTimer
{
public:
    explicit VirtualTimer(VirtualClock& clock) : m_clock(clock)
    {
        m_entry.tick = [this] { deliverTick(); };
        m_clock.registerTimer(&m_entry);
    }
    ~VirtualTimer() override { m_clock.unregisterTimer(&m_entry); }

    void setInterval(int milliseconds) override
    {
        m_entry.intervalMs = std::max(0, milliseconds);
        if (m_entry.enabled)
            restart();
    }
    int interval() const override { return m_entry.intervalMs; }
    void setEnabled(bool enabled) override
    {
        if (enabled && !m_entry.enabled) {
            m_entry.enabled = true;
            restart();
        } else if (!enabled) {
            m_entry.enabled = false;
        }
    }
    bool isEnabled() const override { return m_entry.enabled; }

private:
    void restart() { m_entry.due = m_clock.nowMicroseconds() + m_entry.intervalMs * 1000LL; }

    VirtualClock& m_clock;
    VirtualClock::TimerEntry m_entry;
};

VirtualClock::VirtualClock() = default;
VirtualClock::~VirtualClock() = default;

std::unique_ptr<LinkTimer> VirtualClock::createTimer()
{
    return std::make_unique<VirtualTimer>(*this);
}

void VirtualClock::registerTimer(TimerEntry* entry)
{
    m_timers.push_back(entry);
}

void VirtualClock::unregisterTimer(TimerEntry* entry)
{
    m_timers.erase(std::remove(m_timers.begin(), m_timers.end(), entry), m_timers.end());
}

void VirtualClock::post(std::int64_t atMicroseconds, std::function<void()> action)
{
    m_events.emplace(std::max(atMicroseconds, m_now), std::move(action));
}

void VirtualClock::wakeAt(std::int64_t atMicroseconds)
{
    post(atMicroseconds, {});
}

// Delivers everything due at the current time, earliest first, each timer at
// most once (missed ticks of a timer coalesce, as with window timers).
bool VirtualClock::deliverDue()
{
    bool delivered = false;
    for (;;) {
        TimerEntry* dueTimer = nullptr;
        for (TimerEntry* timer : m_timers) {
            if (timer->enabled && timer->due <= m_now && (!dueTimer || timer->due < dueTimer->due))
                dueTimer = timer;
        }
        const bool eventDue = !m_events.empty() && m_events.begin()->first <= m_now;
        if (!dueTimer && !eventDue)
            return delivered;
        delivered = true;
        if (eventDue && (!dueTimer || m_events.begin()->first <= dueTimer->due)) {
            auto action = std::move(m_events.begin()->second);
            m_events.erase(m_events.begin());
            if (action)
                action();
            continue;
        }
        const std::int64_t period = std::max<std::int64_t>(1, dueTimer->intervalMs * 1000LL);
        while (dueTimer->due <= m_now)
            dueTimer->due += period;
        // A handler may delete or re-time the timer, so it runs last.
        auto tick = dueTimer->tick;
        tick();
    }
}

std::int64_t VirtualClock::nextEventTime() const
{
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (const TimerEntry* timer : m_timers) {
        if (timer->enabled)
            next = std::min(next, timer->due);
    }
    if (!m_events.empty())
        next = std::min(next, m_events.begin()->first);
    return next;
}

void VirtualClock::yield()
{
    ++m_yields;
    deliverDue();
}

void VirtualClock::waitForEvent()
{
    ++m_waits;
    if (deliverDue())
        return;
    const std::int64_t next = nextEventTime();
    if (next == std::numeric_limits<std::int64_t>::max())
        throw std::logic_error("VirtualClock::waitForEvent: nothing is scheduled, the wait would "
                               "block for ever");
    m_now = std::max(m_now, next);
    deliverDue();
}

void VirtualClock::sleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    m_slept += milliseconds;
    m_now += milliseconds * 1000LL;
}

} // namespace quorlink::sim
