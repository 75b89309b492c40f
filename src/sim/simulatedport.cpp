#include "simulatedport.h"

#include "platform/runtimeerror.h"
#include "serialwire.h"
#include "simulatedswitch.h"

#include <deque>

namespace quorlink::sim {

namespace {

void ensurePlugged(const SimulatedPortSlot& slot)
{
    if (slot.removed)
        throw RuntimeError(RuntimeError::DeviceUnavailable,
                           QStringLiteral("The serial device is no longer available"));
}

// A device on a port other than the switch's. The modem answers the
// attention command as a modem does, so the start-up probe counts its port
// as busy; the silent device takes everything and answers nothing.
class OtherDevice final : public SerialDevice
{
public:
    OtherDevice(TimeSource& time, std::shared_ptr<SimulatedPortSlot> slot,
                const LineSettings& settings)
        : m_time(time), m_slot(std::move(slot)), m_settings(settings)
    {
        m_slot->open = true;
    }
    ~OtherDevice() override { m_slot->open = false; }
    OtherDevice(const OtherDevice&) = delete;
    OtherDevice& operator=(const OtherDevice&) = delete;

    DeviceReach reach() const override { return DeviceReach::Simulation; }
    void apply(const LineSettings& settings) override
    {
        ensurePlugged(*m_slot);
        m_settings = settings;
    }

    void write(const QByteArray& bytes) override
    {
        ensurePlugged(*m_slot);
        if (m_slot->device != SimulatedDevice::Modem)
            return;
        const std::int64_t now = m_time.nowMicroseconds();
        const int bits = bitsPerCharacter(m_settings);
        std::int64_t crossed = now;
        for (const char byte : bytes) {
            crossed = m_toModem.send(now, m_settings.baud, bits);
            if (byte != '\r') {
                m_command.append(byte);
                continue;
            }
            if (m_command.trimmed().toUpper().endsWith("AT"))
                reply("\r\nOK\r\n", crossed + ModemDelayMicroseconds);
            m_command.clear();
        }
    }

    int bytesWaiting() override
    {
        ensurePlugged(*m_slot);
        const std::int64_t now = m_time.nowMicroseconds();
        int count = 0;
        for (const auto& [value, arrival] : m_replies) {
            if (arrival > now)
                break;
            ++count;
        }
        return count;
    }

    QByteArray readAll() override
    {
        QByteArray result;
        for (int count = bytesWaiting(); count > 0; --count) {
            result.append(m_replies.front().first);
            m_replies.pop_front();
        }
        return result;
    }

    void discardInput() override { readAll(); }

private:
    static constexpr std::int64_t ModemDelayMicroseconds = 2000;

    void reply(const QByteArray& bytes, std::int64_t readyAt)
    {
        const int bits = bitsPerCharacter(m_settings);
        for (const char byte : bytes) {
            m_replies.emplace_back(byte, m_toPc.send(readyAt, m_settings.baud, bits));
            m_time.wakeAt(m_replies.back().second);
        }
    }

    TimeSource& m_time;
    std::shared_ptr<SimulatedPortSlot> m_slot;
    LineSettings m_settings;
    SerialWire m_toModem;
    SerialWire m_toPc;
    QByteArray m_command;
    std::deque<std::pair<char, std::int64_t>> m_replies;
};

} // namespace

SimulatedPort::SimulatedPort(SimulatedSwitch& simulatedSwitch,
                             std::shared_ptr<SimulatedPortSlot> slot, const LineSettings& settings)
    : m_switch(simulatedSwitch), m_slot(std::move(slot)), m_settings(settings)
{
    m_slot->open = true;
    // What arrived while no connection was open is gone, as after a reopen.
    m_switch.discardArrived();
}

SimulatedPort::~SimulatedPort()
{
    m_slot->open = false;
}

void SimulatedPort::ensureConnected() const
{
    ensurePlugged(*m_slot);
}

void SimulatedPort::apply(const LineSettings& settings)
{
    ensureConnected();
    m_settings = settings;
}

void SimulatedPort::write(const QByteArray& bytes)
{
    ensureConnected();
    m_switch.receive(bytes, m_settings);
}

int SimulatedPort::bytesWaiting()
{
    ensureConnected();
    return m_switch.arrivedCount();
}

QByteArray SimulatedPort::readAll()
{
    ensureConnected();
    return m_switch.takeArrived();
}

void SimulatedPort::discardInput()
{
    ensureConnected();
    m_switch.discardArrived();
}

SimulatedDeviceProvider::SimulatedDeviceProvider(SimulatedSwitch& simulatedSwitch,
                                                 int switchComNumber)
    : m_switch(simulatedSwitch)
{
    setDevice(switchComNumber, SimulatedDevice::Switch);
}

SimulatedDeviceProvider::~SimulatedDeviceProvider() = default;

std::shared_ptr<SimulatedPortSlot> SimulatedDeviceProvider::slot(int comNumber)
{
    std::shared_ptr<SimulatedPortSlot>& entry = m_slots[comNumber];
    if (!entry)
        entry = std::make_shared<SimulatedPortSlot>();
    return entry;
}

void SimulatedDeviceProvider::setDevice(int comNumber, SimulatedDevice device)
{
    slot(comNumber)->device = device;
}

void SimulatedDeviceProvider::setHeld(int comNumber, bool held)
{
    slot(comNumber)->held = held;
}

void SimulatedDeviceProvider::setRemoved(int comNumber, bool removed)
{
    slot(comNumber)->removed = removed;
}

bool SimulatedDeviceProvider::isOpen(int comNumber) const
{
    const auto found = m_slots.find(comNumber);
    return found != m_slots.end() && found->second->open;
}

std::unique_ptr<SerialDevice> SimulatedDeviceProvider::open(int comNumber,
                                                            const LineSettings& settings)
{
    const std::shared_ptr<SimulatedPortSlot> port = slot(comNumber);
    if (port->device == SimulatedDevice::Missing || port->removed)
        throw RuntimeError(RuntimeError::DeviceUnavailable,
                           QStringLiteral("COM%1: no such device").arg(comNumber));
    if (port->held || port->open)
        throw RuntimeError(RuntimeError::PortAlreadyOpen, QStringLiteral("Port already open"));
    ++m_openCount;
    if (port->device == SimulatedDevice::Switch)
        return std::make_unique<SimulatedPort>(m_switch, port, settings);
    return std::make_unique<OtherDevice>(m_switch.time(), port, settings);
}

QString SimulatedDeviceProvider::deviceName(int comNumber) const
{
    const auto found = m_slots.find(comNumber);
    const SimulatedDevice device =
        found == m_slots.end() ? SimulatedDevice::Missing : found->second->device;
    switch (device) {
    case SimulatedDevice::Switch:
        return QStringLiteral("Simulated switch");
    case SimulatedDevice::Modem:
        return QStringLiteral("Simulated modem");
    case SimulatedDevice::Silent:
        return QStringLiteral("Simulated serial port");
    case SimulatedDevice::Missing:
        break;
    }
    return QStringLiteral("COM%1").arg(comNumber);
}

namespace {

class BuiltInSwitchDevices final : public DeviceProvider
{
public:
    BuiltInSwitchDevices(TimeSource& time, int comNumber)
        : m_switch(SimulatedSwitch::standard(time)), m_devices(*m_switch, comNumber)
    {
    }

    std::unique_ptr<SerialDevice> open(int comNumber, const LineSettings& settings) override
    {
        return m_devices.open(comNumber, settings);
    }
    QString deviceName(int comNumber) const override { return m_devices.deviceName(comNumber); }

private:
    std::unique_ptr<SimulatedSwitch> m_switch;
    SimulatedDeviceProvider m_devices;
};

} // namespace

std::unique_ptr<DeviceProvider> builtInSwitch(TimeSource& time, int comNumber)
{
    return std::make_unique<BuiltInSwitchDevices>(time, comNumber);
}

} // namespace quorlink::sim
