#include "session.h"

#include "protocol.h"

#include "platform/timesource.h"

namespace quorlink::link {

Session::Session(TimeSource& time, Prompts& prompts, const SessionSetup& setup)
    : m_time(time), m_prompts(prompts), m_systemDevices(setup.markSpaceWarning),
      m_routing(setup.devices ? *setup.devices : m_systemDevices), m_port(portDevices(setup)),
      m_timer1(time.createTimer()), m_timer2(time.createTimer()),
      m_link(m_port, *m_timer1, *m_timer2, time, prompts)
{
    for (const ComMapping& mapping : setup.mappings)
        m_systemDevices.mapDevice(mapping.comNumber, mapping.device);
}

namespace {

SessionSetup standingIn(DeviceProvider& devices)
{
    SessionSetup setup;
    setup.devices = &devices;
    return setup;
}

} // namespace

Session::Session(TimeSource& time, Prompts& prompts, DeviceProvider& devices)
    : Session(time, prompts, standingIn(devices))
{
}

Session::~Session() = default;

// The trace sits outside the routing, so that it also sees a simulated switch.
DeviceProvider& Session::portDevices(const SessionSetup& setup)
{
    if (setup.traceFile.isEmpty())
        return m_routing;
    m_traceLog = std::make_unique<SerialTraceLog>(setup.traceFile, m_time);
    m_tracing = std::make_unique<TracingDeviceProvider>(m_routing, *m_traceLog);
    return *m_tracing;
}

void Session::route(int comNumber, std::unique_ptr<DeviceProvider> devices)
{
    m_routing.route(comNumber, *devices);
    m_routed.push_back(std::move(devices));
}

void Session::open(int comNumber)
{
    m_port.setSettings(protocol::DataSettings);
    m_port.setCommPort(comNumber);
    m_port.setPortOpen(true);
}

} // namespace quorlink::link
