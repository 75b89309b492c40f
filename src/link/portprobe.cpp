#include "portprobe.h"

#include "link.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "platform/timesource.h"
#include "protocol.h"

#include <QByteArray>

namespace quorlink::link {

namespace {

bool listenForAnswer(Link& link)
{
    CommPort& port = link.port();
    static const QByteArray attention("AT\r");
    link.waitingForReply = true;
    port.output(attention);
    link.timer1().setEnabled(true);
    const Link::WaitBound bound(link.time(), link.timer1().interval());
    for (;;) {
        if (port.inBufferCount() != 0) {
            port.input(); // what answered does not matter
            return true;
        }
        if (!link.waitingForReply || bound.passed())
            return false;
        link.time().waitForEvent();
    }
}

// An open failure tells "missing" or "held" at best; the device node tells
// the rest, and on Linux the cure for a refused open is group membership.
PortDiagnosis whyNotOpened(PortDiagnosis diagnosis, const RuntimeError& error,
                           const DeviceAccess& access)
{
    const QString& device = diagnosis.device;
    if (error.code() == RuntimeError::DeviceUnavailable || !access.exists(device)) {
        diagnosis.state = PortState::Missing;
        diagnosis.reason = QStringLiteral("%1 does not exist").arg(device);
    } else if (!access.mayOpen(device)) {
        diagnosis.state = PortState::PermissionDenied;
        const QString group = access.owningGroup(device);
        diagnosis.reason =
            group.isEmpty()
                ? QStringLiteral("permission denied on %1").arg(device)
                : QStringLiteral("permission denied on %1: it belongs to the group \"%2\"; add "
                                 "yourself with \"sudo usermod -aG %2 $USER\" and log in again")
                      .arg(device, group);
    } else if (error.code() == RuntimeError::PortAlreadyOpen) {
        diagnosis.state = PortState::Held;
        diagnosis.reason = QStringLiteral("%1 is held by another program").arg(device);
    } else {
        diagnosis.state = PortState::NotSerial;
        diagnosis.reason = error.message();
    }
    return diagnosis;
}

void closeQuietly(Link& link)
{
    // Also after a failure: a forgotten Timer1 would go on clearing the
    // reply flag under later waits.
    link.timer1().setEnabled(false);
    try {
        if (link.port().portOpen())
            link.port().setPortOpen(false);
    } catch (const RuntimeError&) {
    }
}

} // namespace

PortDiagnosis diagnosePort(Link& link, int portNumber, const ProbeChecks& checks)
{
    CommPort& port = link.port();
    PortDiagnosis diagnosis;
    diagnosis.comNumber = portNumber;
    try {
        if (port.portOpen())
            port.setPortOpen(false);
        port.setCommPort(portNumber);
        diagnosis.device = port.deviceName();
        if (!port.portOpen())
            port.setPortOpen(true);
    } catch (const RuntimeError& error) {
        closeQuietly(link);
        return whyNotOpened(diagnosis, error, checks.access);
    }

    try {
        if (listenForAnswer(link)) {
            diagnosis.state = PortState::AnsweredAt;
            diagnosis.reason =
                QStringLiteral("something on %1 answers \"AT\" (a modem?)").arg(diagnosis.device);
        } else if (checks.markSpaceLost) {
            port.setSettings(protocol::DataSettings);
            if (checks.markSpaceLost(diagnosis.device)) {
                diagnosis.state = PortState::NoMarkSpace;
                diagnosis.reason = QStringLiteral("%1 does not keep mark/space parity; the cards "
                                                  "cannot be addressed through it")
                                       .arg(diagnosis.device);
            }
        }
    } catch (const RuntimeError& error) {
        // Opened but failing at once.
        diagnosis.state = PortState::NotSerial;
        diagnosis.reason = error.message();
    }
    closeQuietly(link);
    return diagnosis;
}

bool ProbePort(Link& link, int portNumber)
{
    return diagnosePort(link, portNumber).busy();
}

QString portStateName(PortState state)
{
    switch (state) {
    case PortState::Free:
        return QStringLiteral("free");
    case PortState::Missing:
        return QStringLiteral("missing");
    case PortState::PermissionDenied:
        return QStringLiteral("permission denied");
    case PortState::Held:
        return QStringLiteral("held");
    case PortState::NotSerial:
        return QStringLiteral("not a serial port");
    case PortState::AnsweredAt:
        return QStringLiteral("answers AT");
    case PortState::NoMarkSpace:
        return QStringLiteral("no mark/space parity");
    }
    return {};
}

} // namespace quorlink::link
