#pragma once

#include <QString>

#include <optional>

namespace quorlink {

// USB-to-serial adapters hold a short reply back until their latency timer
// runs out (16 ms by default on the common FTDI chips), and every record of a
// download waits for a one-byte acknowledgement. So the port asks the driver
// for low-latency mode when it opens, and the tool shows what the adapter's
// timer stands at.

// The latency above which an adapter noticeably slows a download down.
inline constexpr int SlowAdapterLatencyMs = 2;

// Asks the driver behind the open descriptor for low-latency mode; false
// when it refuses (pseudo-terminals and built-in UARTs may, which is fine)
// or the system has no such request.
bool requestLowLatency(int fileDescriptor);

// Where sysfs is mounted: $QUORLINK_SYSFS_ROOT when set (tests put a
// fake tree there), else /sys.
QString sysfsRoot();

// The sysfs file of the adapter's latency timer behind `deviceName`
// (symbolic links followed), whether or not it exists.
QString latencyTimerPath(const QString& deviceName);

// The adapter's latency timer in milliseconds, when the device is a USB
// serial adapter that shows one.
std::optional<int> adapterLatencyMs(const QString& deviceName);

// How to lower the latency of the adapter behind `deviceName` for good, in
// one sentence, or empty when it is low enough or unknown.
QString slowAdapterAdvice(const QString& deviceName, std::optional<int> latencyMs);

} // namespace quorlink
