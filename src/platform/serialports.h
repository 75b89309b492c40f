#pragma once

#include "serialdevice.h"

#include <QSerialPort>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace quorlink {

// Called with the device name when a device turns out to ignore mark and
// space parity: the cards cannot be addressed through it.
using MarkSpaceWarning = std::function<void(const QString& deviceName)>;

// How long `queuedBytes` still waiting to be sent may take to leave at
// `settings` before a settings change gives up on them: their time on the
// wire, plus a margin.
qint64 drainLimitMs(qint64 queuedBytes, const LineSettings& settings);

// A real serial device driven through QSerialPort. The link writes a few
// bytes, sleeps without running the event loop and then changes parity, so
// every write goes to the driver at once and every settings change first
// waits until the driver has sent what it holds.
class QtSerialDevice final : public SerialDevice
{
public:
    // Opens `deviceName` exclusively; throws RuntimeError when it is missing
    // (DeviceUnavailable) or held by another program (PortAlreadyOpen).
    // `onMarkSpaceLost` is called whenever a mark or space setting does not
    // stick; pseudo-terminals, which carry no parity at all, are exempt
    // unless `exemptPseudoTerminals` is false.
    QtSerialDevice(const QString& deviceName, std::function<void()> onMarkSpaceLost = {},
                   bool exemptPseudoTerminals = true);
    ~QtSerialDevice() override;
    QtSerialDevice(const QtSerialDevice&) = delete;
    QtSerialDevice& operator=(const QtSerialDevice&) = delete;

    DeviceReach reach() const override
    {
        return m_pseudoTerminal ? DeviceReach::PseudoTerminal : DeviceReach::SerialLine;
    }
    void apply(const LineSettings& settings) override;
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override;
    QByteArray readAll() override;
    void discardInput() override;

    QString deviceName() const { return m_deviceName; }
    bool isPseudoTerminal() const { return m_pseudoTerminal; }
    // Whether low-latency mode was asked for on opening, and granted.
    bool lowLatencyRequested() const { return m_lowLatencyRequested; }
    bool lowLatency() const { return m_lowLatency; }

    // Tests: replaces the driver's count of bytes still to be sent, to play
    // a wedged adapter (a pseudo-terminal always reports an empty queue).
    void setTransmitQueueProbe(std::function<qint64()> probe)
    {
        m_transmitQueued = std::move(probe);
    }

private:
    void requireOpen();
    void pushToDriver();
    void drainDriver();
    qint64 driverTransmitQueue();
    void pullFromDriver();
    bool driverHasNews() const;
    bool markSpaceHonoured(Parity parity);
    void throwIfFailed(const char* action);
    [[noreturn]] void fail(const char* action, QSerialPort::SerialPortError error,
                           const QString& detail);
    bool deviceGone() const;

    QString m_deviceName;
    QSerialPort m_port;
    std::function<void()> m_onMarkSpaceLost;
    bool m_pseudoTerminal = false;
    bool m_exemptPseudoTerminals = true;
    bool m_markSpaceLossReported = false;
    bool m_lowLatencyRequested = false;
    bool m_lowLatency = false;
    std::optional<LineSettings> m_applied;
    std::function<qint64()> m_transmitQueued;
};

// One `--com N=DEVICE` value: COM number N (1..4) served by DEVICE. `error`
// is empty when the value is well formed.
struct ComMapping
{
    int comNumber = 0;
    QString device;
    QString error;

    bool isValid() const { return error.isEmpty(); }
};

ComMapping parseComMapping(const QString& value);

// The machine's serial devices: "COMn" on Windows, /dev/ttyS<n-1> elsewhere,
// unless a COM number has been mapped to another device (a USB adapter).
class SystemDeviceProvider final : public DeviceProvider
{
public:
    explicit SystemDeviceProvider(MarkSpaceWarning warning = {});

    // Lets the window connect the warning once it exists. The user is told
    // once per device, however often the port is reopened.
    void setMarkSpaceWarning(MarkSpaceWarning warning) { m_warning = std::move(warning); }
    void mapDevice(int comNumber, const QString& device);
    // Diagnostics: also warn about pseudo-terminals (they never carry parity).
    void setPseudoTerminalsExempt(bool exempt) { m_exemptPseudoTerminals = exempt; }

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override;
    QString deviceName(int comNumber) const override;

    static QString defaultDeviceName(int comNumber);

private:
    void warnOnce(const QString& device);

    std::map<int, QString> m_mapped;
    MarkSpaceWarning m_warning;
    QSet<QString> m_warned;
    bool m_exemptPseudoTerminals = true;
};

// Sends chosen COM numbers to another provider (the simulated switch takes
// the place of COM1) and every other number to the fallback. Neither
// provider is owned.
class RoutingDeviceProvider final : public DeviceProvider
{
public:
    explicit RoutingDeviceProvider(DeviceProvider& fallback) : m_fallback(fallback) {}

    void route(int comNumber, DeviceProvider& provider) { m_routes[comNumber] = &provider; }

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override
    {
        return providerFor(comNumber).open(comNumber, settings);
    }
    QString deviceName(int comNumber) const override
    {
        return providerFor(comNumber).deviceName(comNumber);
    }

private:
    DeviceProvider& providerFor(int comNumber) const
    {
        const auto found = m_routes.find(comNumber);
        return found == m_routes.end() ? m_fallback : *found->second;
    }

    DeviceProvider& m_fallback;
    std::map<int, DeviceProvider*> m_routes;
};

} // namespace quorlink
