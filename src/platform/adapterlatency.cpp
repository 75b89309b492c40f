#include "adapterlatency.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace quorlink {

bool requestLowLatency(int fileDescriptor)
{
#if defined(Q_OS_LINUX)
    serial_struct serial = {};
    if (::ioctl(fileDescriptor, TIOCGSERIAL, &serial) != 0)
        return false;
    if (serial.flags & ASYNC_LOW_LATENCY)
        return true;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ::ioctl(fileDescriptor, TIOCSSERIAL, &serial) == 0;
#else
    (void)fileDescriptor;
    return false;
#endif
}

QString sysfsRoot()
{
    const QString root = qEnvironmentVariable("QUORLINK_SYSFS_ROOT");
    return root.isEmpty() ? QStringLiteral("/sys") : root;
}

QString latencyTimerPath(const QString& deviceName)
{
    // /dev/serial/by-id/... and udev's own links lead to /dev/ttyUSB0.
    const QString resolved = QFileInfo(deviceName).canonicalFilePath();
    const QString node = QFileInfo(resolved.isEmpty() ? deviceName : resolved).fileName();
    return QDir(sysfsRoot()).filePath(QStringLiteral("class/tty/%1/device/latency_timer").arg(node));
}

std::optional<int> adapterLatencyMs(const QString& deviceName)
{
    QFile file(latencyTimerPath(deviceName));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    bool number = false;
    const int value = file.read(16).trimmed().toInt(&number);
    if (!number || value < 0)
        return std::nullopt;
    return value;
}

QString slowAdapterAdvice(const QString& deviceName, std::optional<int> latencyMs)
{
    if (!latencyMs || *latencyMs <= SlowAdapterLatencyMs)
        return {};
    return QStringLiteral("The adapter holds replies for %1 ms, which slows every record of an "
                          "update; write 1 to %2 (as root), or add a udev rule that does, as the "
                          "README shows.")
        .arg(*latencyMs)
        .arg(latencyTimerPath(deviceName));
}

} // namespace quorlink
