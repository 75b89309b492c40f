#pragma once

#include "platform/serialdevice.h"

#include <map>
#include <memory>

namespace quorlink {
class TimeSource;
}

namespace quorlink::sim {

class SimulatedSwitch;

// What the simulation puts behind each COM number.
enum class SimulatedDevice
{
    Missing, // no such port: opening fails
    Switch,  // the simulated switch
    Modem,   // answers "AT" CR with CR LF "OK" CR LF
    Silent,  // opens, takes every byte, never answers
};

// The state of one simulated COM port, shared by the provider and the
// connection open on it.
struct SimulatedPortSlot
{
    SimulatedDevice device = SimulatedDevice::Missing;
    bool held = false;    // another program holds it: opening fails
    bool removed = false; // unplugged: operations on an open connection fail
    bool open = false;
};

// One open connection to the switch. The parity set by apply() is the parity
// the following bytes leave with; replies are counted and read only once
// they have arrived by the switch's clock.
class SimulatedPort final : public SerialDevice
{
public:
    SimulatedPort(SimulatedSwitch& simulatedSwitch, std::shared_ptr<SimulatedPortSlot> slot,
                  const LineSettings& settings);
    ~SimulatedPort() override;
    SimulatedPort(const SimulatedPort&) = delete;
    SimulatedPort& operator=(const SimulatedPort&) = delete;

    DeviceReach reach() const override { return DeviceReach::Simulation; }
    void apply(const LineSettings& settings) override;
    void write(const QByteArray& bytes) override;
    int bytesWaiting() override;
    QByteArray readAll() override;
    void discardInput() override;

    const LineSettings& settings() const { return m_settings; }

private:
    void ensureConnected() const;

    SimulatedSwitch& m_switch;
    std::shared_ptr<SimulatedPortSlot> m_slot;
    LineSettings m_settings;
};

// The COM ports of the simulation. By default the switch sits on one COM
// number and every other number is missing; tests may put a modem or a
// silent device on other numbers, hold a port or unplug it.
class SimulatedDeviceProvider final : public DeviceProvider
{
public:
    explicit SimulatedDeviceProvider(SimulatedSwitch& simulatedSwitch, int switchComNumber = 1);
    ~SimulatedDeviceProvider() override;

    void setDevice(int comNumber, SimulatedDevice device);
    // A held port cannot be opened, as when another program uses it.
    void setHeld(int comNumber, bool held);
    // Unplugging makes every operation on an open connection throw
    // RuntimeError(DeviceUnavailable) and later opens fail until plugged in.
    void setRemoved(int comNumber, bool removed);
    bool isOpen(int comNumber) const;
    int openCount() const { return m_openCount; }

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override;
    QString deviceName(int comNumber) const override;

private:
    std::shared_ptr<SimulatedPortSlot> slot(int comNumber);

    SimulatedSwitch& m_switch;
    std::map<int, std::shared_ptr<SimulatedPortSlot>> m_slots;
    int m_openCount = 0;
};

// The switch of --simulate (SimulatedSwitch::standard on `time`) on COM
// `comNumber`, every other number missing: one provider that owns its switch,
// for a session to route that port to.
std::unique_ptr<DeviceProvider> builtInSwitch(TimeSource& time, int comNumber);

} // namespace quorlink::sim
