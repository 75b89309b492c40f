#pragma once

#include "serialdevice.h"

#include <QFile>
#include <QString>

#include <functional>
#include <memory>

namespace quorlink {

class TimeSource;

// A log of the serial traffic for support: one line per write or read,
//   "   12.345678 out mark  81 10"
//   "   12.351234 in  space 52"
// seconds since the log began, the direction as seen from the PC, the line
// setting in force (the parity the bytes left with, or the setting the port
// had when they were read) and the bytes in hex. Every line is flushed at
// once so that a crash or a pulled cable leaves the whole story behind.
class SerialTraceLog
{
public:
    // Writes to `path`; throws RuntimeError(PathAccess) when it cannot be created.
    SerialTraceLog(const QString& path, const TimeSource& time);

    void record(const char* direction, const LineSettings& settings, const QByteArray& bytes);
    // An event without bytes: a device opened, closed or failing.
    void note(const QString& text);

    static QString lineSettingName(const LineSettings& settings);

private:
    QString timeStamp() const;
    void writeLine(const QString& line);

    QFile m_file;
    const TimeSource& m_time;
    std::int64_t m_start = 0;
};

// Puts a trace between the program and the devices of another provider.
// Neither the provider nor the log is owned.
class TracingDeviceProvider final : public DeviceProvider
{
public:
    TracingDeviceProvider(DeviceProvider& inner, SerialTraceLog& log) : m_inner(inner), m_log(log)
    {
    }

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override;
    QString deviceName(int comNumber) const override { return m_inner.deviceName(comNumber); }

private:
    DeviceProvider& m_inner;
    SerialTraceLog& m_log;
};

} // namespace quorlink
