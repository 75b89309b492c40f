#pragma once

#include "timesource.h"

#include <QElapsedTimer>
#include <QObject>

namespace quorlink {

// Time for the programs: Qt timers and the Qt event loop. `Update` uses
// precise (high-resolution) timers, `Tamber` the coarse window timer; that is
// the only difference between the two programs.
class QtTimeSource final : public TimeSource
{
public:
    explicit QtTimeSource(Qt::TimerType timerType);

    std::unique_ptr<LinkTimer> createTimer() override;
    void yield() override;
    void waitForEvent() override;
    void sleep(int milliseconds) override;
    std::int64_t nowMicroseconds() const override;
    void wakeAt(std::int64_t atMicroseconds) override;

    Qt::TimerType timerType() const { return m_timerType; }

private:
    Qt::TimerType m_timerType;
    QElapsedTimer m_clock;
    QObject m_wakeContext;
};

} // namespace quorlink
