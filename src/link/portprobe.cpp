#include "portprobe.h"

#include "link.h"
#include "platform/commport.h"
#include "platform/runtimeerror.h"
#include "platform/timesource.h"

#include <QByteArray>

namespace quorlink::link {

namespace {

bool listenForAnswer(link::Link& link)
{
    CommPort& port = link.port();
    static const QByteArray attention("AT\r");
    link.waitingForReply = true;
    port.output(attention);
    link.timer1().setEnabled(true);
    for (;;) {
        if (port.inBufferCount() != 0) {
            port.input();  // what answered does not matter
            return true;
        }
        if (!link.waitingForReply)
            return false;
        link.time().waitForEvent();
    }
}

} // namespace

bool ProbePort(link::Link& link, int portNumber)
{
    CommPort& port = link.port();
    bool busy = true;
    try {
        if (port.portOpen())
            port.setPortOpen(false);
        port.setCommPort(portNumber);
        if (!port.portOpen())
            port.setPortOpen(true);
        busy = listenForAnswer(link);
    } catch (const RuntimeError&) {
        busy = true;  // a port that cannot be used counts as busy, silently
    }
    // Also after a failure: a forgotten Timer1 would go on clearing the
    // reply flag under later waits.
    link.timer1().setEnabled(false);
    try {
        if (port.portOpen())
            port.setPortOpen(false);
    } catch (const RuntimeError&) {
    }
    return busy;
}

} // namespace quorlink::link
