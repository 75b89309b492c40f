#include "qttimesource.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace quorlink {

namespace {

class QtLinkTimer final : public LinkTimer
{
public:
    explicit QtLinkTimer(Qt::TimerType type)
    {
        m_timer.setTimerType(type);
        m_timer.setInterval(RestingIntervalMs);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { deliverTick(); });
    }

    void setInterval(int milliseconds) override { m_timer.setInterval(milliseconds); }
    int interval() const override { return m_timer.interval(); }
    void setEnabled(bool enabled) override
    {
        if (enabled && !m_timer.isActive())
            m_timer.start();
        else if (!enabled)
            m_timer.stop();
    }
    bool isEnabled() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
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
    const int delayMs = delayUs <= 0 ? 0 : static_cast<int>((delayUs + 999) / 1000);
    // An empty single-shot is enough: its arrival ends a blocked waitForEvent().
    QTimer::singleShot(delayMs, Qt::PreciseTimer, &m_wakeContext, [] {});
}

} // namespace quorlink
