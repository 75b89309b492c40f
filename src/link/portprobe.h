#pragma once

namespace quorlink::link {

class Link;

// Tells whether COM `portNumber` is unusable for the switch: it cannot be
// opened, or something answers the modem attention command "AT" CR within
// one second (Timer1 at its resting interval). Leaves the port closed and
// Timer1 disabled, whatever happens.
bool ProbePort(link::Link& link, int portNumber);

} // namespace quorlink::link
