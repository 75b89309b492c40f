#pragma once

#include "link.h"

#include "platform/commport.h"
#include "platform/serialports.h"
#include "platform/serialtrace.h"

#include <QString>

#include <memory>
#include <vector>

namespace quorlink {
class Prompts;
class TimeSource;
} // namespace quorlink

namespace quorlink::link {

// How a session reaches the switch. By default: the machine's own serial
// devices, no trace.
struct SessionSetup
{
    // Stands in for the machine's serial devices (a simulated machine in tests
    // and benchmarks); not owned. The mappings then have nothing to map.
    DeviceProvider* devices = nullptr;
    // COM numbers served by other devices of the machine (--com N=DEVICE).
    std::vector<ComMapping> mappings;
    // Told once per device that turns out to ignore mark and space parity.
    MarkSpaceWarning markSpaceWarning;
    // Where the serial traffic is logged (--trace FILE); empty: nowhere.
    QString traceFile;
};

// Everything between a program and one switch: the device chain (the
// machine's devices or a stand-in, COM numbers routed elsewhere, the trace),
// the port, the link's two timers and the link. Time and prompts belong to
// the caller, so that tests can pass a virtual clock and a recorder. Nothing
// is shared between sessions.
class Session
{
public:
    // Throws RuntimeError when the trace file cannot be written.
    Session(TimeSource& time, Prompts& prompts, const SessionSetup& setup = {});
    // On `devices` in place of the machine's serial devices (a simulated
    // machine in tests and benchmarks); not owned.
    Session(TimeSource& time, Prompts& prompts, DeviceProvider& devices);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Serves COM `comNumber` by `devices` (the built-in simulated switch)
    // instead; the session keeps them, and the trace sees them too. Only
    // while that port is closed.
    void route(int comNumber, std::unique_ptr<DeviceProvider> devices);

    // Opens COM `comNumber` at the link's data setting; throws RuntimeError
    // naming the device when it cannot be opened.
    void open(int comNumber);

    CommPort& port() { return m_port; }
    LinkTimer& timer1() { return *m_timer1; }
    LinkTimer& timer2() { return *m_timer2; }
    Link& link() { return m_link; }
    TimeSource& time() { return m_time; }
    Prompts& prompts() { return m_prompts; }

private:
    DeviceProvider& portDevices(const SessionSetup& setup);

    TimeSource& m_time;
    Prompts& m_prompts;
    SystemDeviceProvider m_systemDevices;
    RoutingDeviceProvider m_routing;
    std::vector<std::unique_ptr<DeviceProvider>> m_routed;
    std::unique_ptr<SerialTraceLog> m_traceLog;
    std::unique_ptr<TracingDeviceProvider> m_tracing;
    CommPort m_port;
    std::unique_ptr<LinkTimer> m_timer1;
    std::unique_ptr<LinkTimer> m_timer2;
    Link m_link;
};

} // namespace quorlink::link
