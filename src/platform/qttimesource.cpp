#include "qttimesource.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace quorlink {

namespace {

// Ticks every interval, never before it has run: Qt's coarse timers may
// fire up to 5 % early, which would cut a reply wait short. Each period is
// a single shot, and a shot that comes early is topped up to the full time.
class QtLinkTimer final : public LinkTimer
{
public:
    explicit QtLinkTimer(Qt::TimerType type)
    {
        m_timer.setTimerType(type);
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { onTimeout(); });
    }

    // Like the timer controls: a new interval restarts a running timer.
    void setInterval(int milliseconds) override
    {
        m_interval = milliseconds;
        if (m_enabled)
            startPeriod();
    }
    int interval() const override { return m_interval; }
    void setEnabled(bool enabled) override
    {
        if (enabled == m_enabled)
            return;
        m_enabled = enabled;
        if (enabled)
            startPeriod();
        else
            m_timer.stop();
    }
    bool isEnabled() const override { return m_enabled; }

private:
    void startPeriod()
    {
        m_periodStart.start();
        m_timer.start(m_interval);
    }

    void onTimeout()
    {
        const qint64 remainingNs = qint64(m_interval) * 1000000 - m_periodStart.nsecsElapsed();
        if (remainingNs > 0) {
            m_timer.start(static_cast<int>((remainingNs + 999999) / 1000000));
            return;
        }
        startPeriod();
        deliverTick();
    }

    QTimer m_timer;
    QElapsedTimer m_periodStart;
    int m_interval = RestingIntervalMs;
    bool m_enabled = false;
};

} // namespace

QtTimeSource::QtTimeSource(Qt::TimerType timerType) : m_timerType(timerType)
{
    m_clock.start();
}

std::unique_ptr<LinkTimer> QtTimeSource::createTimer()
{
    return std::make_unique<QtLinkTimer>(m_timerType);
}

void QtTimeSource::yield()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtTimeSource::waitForEvent()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void QtTimeSource::sleep(int milliseconds)
{
    if (milliseconds > 0)
        QThread::msleep(static_cast<unsigned long>(milliseconds));
}

std::int64_t QtTimeSource::nowMicroseconds() const
{
    return m_clock.nsecsElapsed() / 1000;
}

void QtTimeSource::wakeAt(std::int64_t atMicroseconds)
{
    const std::int64_t delayUs = atMicroseconds - nowMicroseconds();
    // Qt's timers count whole milliseconds. Rounding up would make every
    // simulated reply up to a millisecond late; instead the timer fires at
    // the last whole millisecond before the moment and the rest is slept,
    // which costs no CPU and lands within the scheduler's precision. Its
    // arrival is what ends a blocked waitForEvent().
    const int delayMs = delayUs <= 0 ? 0 : static_cast<int>(delayUs / 1000);
    QTimer::singleShot(delayMs, Qt::PreciseTimer, &m_wakeContext, [this, atMicroseconds] {
        const std::int64_t remainingUs = atMicroseconds - nowMicroseconds();
        if (remainingUs > 0)
            QThread::usleep(static_cast<unsigned long>(remainingUs));
    });
}

} // namespace quorlink
