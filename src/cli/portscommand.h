#pragma once

#include "link/portprobe.h"

#include <QList>

namespace quorlink::cli {

struct Streams;

// COM1 to COM4 as the tool reports them: each probed as at start-up of the
// window, and a free one also tried with mark/space parity.
QList<link::PortDiagnosis> diagnosePorts(link::Link& link, const link::ProbeChecks& checks);

// {"ports": [{"com": int, "device": string, "state": string, "reason": string|null,
//             "latency": int|null, "advice": string|null}]}: the latency timer of
// a USB adapter in ms, and how to lower it where it slows updates down.
void printPortsJson(Streams& streams, const QList<link::PortDiagnosis>& ports);
// One line per port: "COM2  /dev/ttyS1  missing: /dev/ttyS1 does not exist".
void printPortsText(Streams& streams, const QList<link::PortDiagnosis>& ports);

} // namespace quorlink::cli
