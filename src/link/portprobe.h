#pragma once

#include "platform/deviceaccess.h"

#include <QString>

#include <functional>

namespace quorlink::link {

class Link;

// Tells whether COM `portNumber` is unusable for the switch: it cannot be
// opened, or something answers the modem attention command "AT" CR within
// one second (Timer1 at its resting interval). Leaves the port closed and
// Timer1 disabled, whatever happens.
bool ProbePort(Link& link, int portNumber);

// Why a port can or cannot carry the switch.
enum class PortState
{
    Free,
    Missing,          // no such device
    PermissionDenied, // the device exists but this user may not open it
    Held,             // another program has it open
    NotSerial,        // opens as something else, or fails at once
    AnsweredAt,       // something (a modem) answers "AT"
    NoMarkSpace,      // the driver drops mark and space parity
};

struct PortDiagnosis
{
    int comNumber = 0;
    QString device;
    PortState state = PortState::Free;
    // One sentence for the user; empty for a free port.
    QString reason;

    bool busy() const { return state != PortState::Free; }
};

// What diagnosePort may ask beyond the port itself: the file system (why an
// open failed) and, when given, whether the device dropped mark/space parity
// when the link's data setting was applied.
struct ProbeChecks
{
    DeviceAccess access = DeviceAccess::system();
    std::function<bool(const QString& device)> markSpaceLost;
};

// The probe of ProbePort with its reason. The port is busy exactly when
// ProbePort would call it busy, unless `checks.markSpaceLost` is given: then
// a device that cannot keep mark/space parity is busy as well.
PortDiagnosis diagnosePort(Link& link, int portNumber, const ProbeChecks& checks = {});

// Short names for the states ("free", "missing", "permission denied", "held",
// "not a serial port", "answers AT", "no mark/space parity"), as the
// command-line tool prints them.
QString portStateName(PortState state);

} // namespace quorlink::link
