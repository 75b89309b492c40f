#pragma once

#include "platform/timesource.h"

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace quorlink::sim {

// Deterministic time for tests: nothing happens in real time. yield()
// delivers what is due now; waitForEvent() jumps straight to the next timer
// tick or scheduled event; sleep() only moves the clock on. A one-second
// timeout therefore costs microseconds and ends at an exact virtual time.
class VirtualClock final : public TimeSource
{
public:
    VirtualClock();
    ~VirtualClock() override;

    std::unique_ptr<LinkTimer> createTimer() override;
    void yield() override;
    void waitForEvent() override;
    void sleep(int milliseconds) override;
    std::int64_t nowMicroseconds() const override { return m_now; }
    void wakeAt(std::int64_t atMicroseconds) override;

    // Runs `action` as an event at the given virtual time (for example a
    // click on Cancel in the middle of a wait).
    void post(std::int64_t atMicroseconds, std::function<void()> action);
    std::int64_t nowMilliseconds() const { return m_now / 1000; }

    // Counters for tests that check the waits do not spin.
    int yieldCount() const { return m_yields; }
    int waitCount() const { return m_waits; }
    // Sum of all sleep() calls, in milliseconds.
    std::int64_t sleptMilliseconds() const { return m_slept; }


private:
    friend class VirtualTimer;
    struct TimerEntry;

    bool deliverDue();
    std::int64_t nextEventTime() const;
    void registerTimer(TimerEntry* entry);
    void unregisterTimer(TimerEntry* entry);

    std::int64_t m_now = 0;
    std::vector<TimerEntry*> m_timers;
    std::multimap<std::int64_t, std::function<void()>> m_events;
    int m_yields = 0;
    int m_waits = 0;
    std::int64_t m_slept = 0;
};

} // namespace quorlink::sim
