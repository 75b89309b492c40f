#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace quorlink {

// A millisecond timer as the link uses it: Interval, Enabled, and one tick
// delivered on the GUI thread while the event loop runs (during a yield or a
// wait). A disabled timer delivers no tick; the tick does not disable it.
class LinkTimer
{
public:
    static constexpr int RestingIntervalMs = 1000;

    virtual ~LinkTimer() = default;

    virtual void setInterval(int milliseconds) = 0;
    virtual int interval() const = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;

    void setTickHandler(std::function<void()> handler) { m_tickHandler = std::move(handler); }

protected:
    void deliverTick()
    {
        if (m_tickHandler)
            m_tickHandler();
    }

private:
    std::function<void()> m_tickHandler;
};

// Time as the program sees it. The programs use Qt's event loop and timers;
// the tests use a virtual clock so that waits and timeouts cost no real time
// and their virtual durations can be asserted exactly.
class TimeSource
{
public:
    virtual ~TimeSource() = default;

    // A new timer, disabled, with the resting interval of 1000 ms.
    virtual std::unique_ptr<LinkTimer> createTimer() = 0;

    // Processes the events pending now, once; returns at once when none are.
    virtual void yield() = 0;
    // Blocks until at least one event (a timer tick, received data, user
    // input) has arrived, and processes it. Used by the polling waits so that
    // they never spin a core.
    virtual void waitForEvent() = 0;
    // Blocks the thread without processing events (received bytes still
    // accumulate in the port).
    virtual void sleep(int milliseconds) = 0;

    virtual std::int64_t nowMicroseconds() const = 0;
    // Makes sure a waitForEvent() blocked at `atMicroseconds` wakes up then;
    // used by simulated devices whose data arrives at a scheduled time.
    virtual void wakeAt(std::int64_t atMicroseconds) = 0;
};

} // namespace quorlink
