#include "serialtrace.h"

#include "runtimeerror.h"
#include "timesource.h"

namespace quorlink {

namespace {

// Records every byte that passes, with the settings it passed under.
class TracingDevice final : public SerialDevice
{
public:
    TracingDevice(std::unique_ptr<SerialDevice> inner, const LineSettings& settings,
                  SerialTraceLog& log, QString name)
        : m_inner(std::move(inner)), m_settings(settings), m_log(log), m_name(std::move(name))
    {
    }
    ~TracingDevice() override { m_log.note(QStringLiteral("close %1").arg(m_name)); }
    TracingDevice(const TracingDevice&) = delete;
    TracingDevice& operator=(const TracingDevice&) = delete;

    DeviceReach reach() const override { return m_inner->reach(); }
    void apply(const LineSettings& settings) override
    {
        m_inner->apply(settings);
        m_settings = settings;
    }
    void write(const QByteArray& bytes) override
    {
        // Logged before the attempt: a write that fails was still meant.
        m_log.record("out", m_settings, bytes);
        m_inner->write(bytes);
    }
    int bytesWaiting() override { return m_inner->bytesWaiting(); }
    QByteArray readAll() override
    {
        QByteArray bytes = m_inner->readAll();
        if (!bytes.isEmpty())
            m_log.record("in ", m_settings, bytes);
        return bytes;
    }
    void discardInput() override
    {
        // What is thrown away was still received; support wants to see it.
        const QByteArray dropped = m_inner->bytesWaiting() > 0 ? m_inner->readAll() : QByteArray();
        if (!dropped.isEmpty())
            m_log.record("in ", m_settings, dropped);
        m_inner->discardInput();
    }

private:
    std::unique_ptr<SerialDevice> m_inner;
    LineSettings m_settings;
    SerialTraceLog& m_log;
    QString m_name;
};

} // namespace

SerialTraceLog::SerialTraceLog(const QString& path, const TimeSource& time)
    : m_file(path), m_time(time), m_start(time.nowMicroseconds())
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        throw RuntimeError(
            RuntimeError::PathAccess,
            QStringLiteral("%1: cannot write the trace: %2").arg(path, m_file.errorString()));
}

QString SerialTraceLog::lineSettingName(const LineSettings& settings)
{
    switch (settings.parity) {
    case Parity::Mark:
        return QStringLiteral("mark ");
    case Parity::Space:
        return QStringLiteral("space");
    case Parity::None:
        return QStringLiteral("none ");
    case Parity::Even:
        return QStringLiteral("even ");
    case Parity::Odd:
        return QStringLiteral("odd  ");
    }
    return {};
}

void SerialTraceLog::record(const char* direction, const LineSettings& settings,
                            const QByteArray& bytes)
{
    writeLine(QStringLiteral("%1 %2 %3 %4")
                  .arg(timeStamp(), QLatin1String(direction), lineSettingName(settings),
                       QString::fromLatin1(bytes.toHex(' '))));
}

void SerialTraceLog::note(const QString& text)
{
    writeLine(QStringLiteral("%1 -- %2").arg(timeStamp(), text));
}

QString SerialTraceLog::timeStamp() const
{
    const double seconds = static_cast<double>(m_time.nowMicroseconds() - m_start) / 1e6;
    return QStringLiteral("%1").arg(seconds, 12, 'f', 6);
}

void SerialTraceLog::writeLine(const QString& line)
{
    m_file.write(line.toUtf8());
    m_file.write("\n");
    m_file.flush();
}

std::unique_ptr<SerialDevice> TracingDeviceProvider::open(int comNumber,
                                                          const LineSettings& settings)
{
    const QString name = m_inner.deviceName(comNumber);
    std::unique_ptr<SerialDevice> device;
    try {
        device = m_inner.open(comNumber, settings);
    } catch (const RuntimeError& error) {
        m_log.note(QStringLiteral("open COM%1 failed: %2").arg(comNumber).arg(error.message()));
        throw;
    }
    m_log.note(QStringLiteral("open COM%1 %2 %3").arg(comNumber).arg(name, settings.toString()));
    return std::make_unique<TracingDevice>(std::move(device), settings, m_log, name);
}

} // namespace quorlink
